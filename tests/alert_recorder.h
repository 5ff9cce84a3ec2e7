#pragma once

#include "support/cc_alert.h"

#include <QList>

namespace tj::test {

// While it lives, every alert is recorded here instead of being shown, and answered with the
// first button.
class AlertRecorder : public CCAlertPresenter
{
public:
    AlertRecorder() { CCAlert::sharedInstance()->setPresenter(this); }
    ~AlertRecorder() override { CCAlert::sharedInstance()->setPresenter(nullptr); }
    AlertRecorder(const AlertRecorder &) = delete;
    AlertRecorder &operator=(const AlertRecorder &) = delete;

    std::optional<int> runModal(const CCAlertRequest &request, bool *) override
    {
        shown.append(request);
        return kAlertFirstButton;
    }
    bool beginSheet(const CCAlertRequest &request, QObject *, std::function<void(int, bool)> done) override
    {
        shown.append(request);
        done(kAlertFirstButton, false);
        return true;
    }

    QList<CCAlertRequest> shown;
};

}
