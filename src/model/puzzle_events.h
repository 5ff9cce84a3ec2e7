#pragma once

#include <QString>

// Shows a message to the user through the alert service (or the log when headless).
void ShowPuzzleAlert(const QString &message, const QString &moreInfo);

// Tells the application that the current puzzle or the board's look changed.
void PostPuzzleSwitch();
