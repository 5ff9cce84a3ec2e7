#pragma once

// The names of the process-wide notifications posted through CCNotifier.

// The current puzzle or the board's look changed: the board and the tool strip redraw, the
// application controller saves everything.
inline constexpr char kSwitchNotification[] = "wmjigsaw.switch";
// The new-puzzle dialog's grid reloads.
inline constexpr char kReloadNotification[] = "wmjigsaw.reload";
// The interface appearance changed.
inline constexpr char kDarkModeNotification[] = "wrenmoor.darkMode";
