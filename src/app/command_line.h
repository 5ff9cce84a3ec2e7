#pragma once

#include <QStringList>

#include <optional>

// The headless commands ("create", "info"): runs the one named by arguments[1] and gives
// its exit status, or nothing when the arguments name no command (the game starts).
// Needs a QGuiApplication.
std::optional<int> RunCommandLine(const QStringList &arguments);

// True when arguments[1] names a headless command.
bool IsCommandLine(int argc, char **argv);
