#pragma once

#include <QString>

// A file name that does not yet exist in folder: "/" and ":" removed from name, an own
// extension moved before "zip", then "name-1.ext" ... "name-99.ext", then a fresh GUID.
// Returns the bare file name; the full path is folder + "/" + result.
QString UniqueName(const QString &name, const QString &extension, const QString &folder);

// Whether a name read from a file or a download can be joined to a folder and stay inside
// it: not empty, not hidden (no leading dot), no slash, backslash, colon or control character.
bool IsPlainFileName(const QString &name);

// The full path of a shipped resource ("textures/Brown.jpg"), looked up in the installed
// resource folder, beside the executable, and in the source tree; empty when absent. An
// executable with a share/tobbin-jigsaw folder beside its bin folder looks only there (and in
// $TOBBIN_RESOURCES).
QString ResourcePath(const QString &relativePath);

// The kinds of user folder PathForUserFolder finds.
enum UserFolderKind { CachesFolder = 13, ApplicationSupportFolder = 14 };

// The user's folder of that kind (XDG data or cache folder), created with intermediate
// folders when missing; empty when there is none or it can't be made.
QString PathForUserFolder(UserFolderKind kind);

// The user's home folder, looked up once.
QString HomeFolderPath();

// The path with the home folder written as "~", and back.
QString AbbreviateHome(const QString &path);
QString ExpandTilde(const QString &path);
