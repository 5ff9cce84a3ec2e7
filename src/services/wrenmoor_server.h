#pragma once

#include <QString>
#include <QUrl>

// The maker's web server. WRENMOOR_SERVER (for example "http://127.0.0.1:8123") replaces the
// built-in address, so a local copy of the server folder can be tried out and tested.
inline constexpr char kWrenmoorServerVariable[] = "WRENMOOR_SERVER";
inline constexpr char kDefaultWrenmoorServer[] = "https://wrenmoor.example";

inline constexpr char kPuzzlesPath[] = "/puzzles/";
inline constexpr char kDownloadsPath[] = "/downloads";
inline constexpr char kNewsPath[] = "/news/index.html";

// The server's base address; a variable that isn't an http or https address with a host is
// ignored in favour of the default.
QUrl WrenmoorServerBase();

// The base address with path (decoded text, starting with "/") appended to its own path.
// Characters such as blanks, "#" and "?" in path become part of the path, percent-encoded.
QUrl WrenmoorServerUrl(const QString &path);
