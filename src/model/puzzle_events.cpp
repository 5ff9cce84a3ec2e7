#include "model/puzzle_events.h"

#include "support/cc_alert.h"
#include "support/cc_notifier.h"

void ShowPuzzleAlert(const QString &message, const QString &moreInfo)
{
    CCAlert::sharedInstance()->giveAlertMessage(message, moreInfo);
}

void PostPuzzleSwitch()
{
    CCNotifier::sharedInstance()->post(QLatin1String(kSwitchNotification));
}
