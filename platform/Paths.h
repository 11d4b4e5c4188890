#pragma once

#include <string>

namespace zevlo::platform {

// The folder separator of the system ("/" or "\").
const char *PathSeparator();

// The file-dialog pattern that matches every file: "*.*" on Windows, "*" where the usual
// scripts have no extension.
const char *AllFilesPattern();

// The device that takes any bytes and keeps none: "/dev/null", "NUL".
const char *NullDevice();

// Full path of the running executable.
std::string ExecutablePath();

// The folder part of a path with its trailing separator; empty when the path has none.
std::string DirectoryOf(const std::string &path);

// The per-user data folder: $XDG_CONFIG_HOME/zevlo (default ~/.config/zevlo) or %APPDATA%\Zevlo,
// with a trailing separator. Not created here.
std::string PerUserDataDir();

// True when the file exists and belongs to the user running the program.
bool IsOwnedByCurrentUser(const std::string &path);

// True when the program may create files in the folder.
bool IsDirWritable(const std::string &dir);

// Creates the folder and its parents when missing; false on failure.
bool MakeDirs(const std::string &dir);

// Where Settings.ini and log.txt live: the program's folder when a Settings.ini owned by
// the current user is there, or when that folder is writable and no per-user Settings.ini
// exists; otherwise the per-user folder. A Settings.ini there that is not the user's (a link
// counts as the user's only when it and its target both are) sends it to the per-user folder,
// so another user's file is never read. Both folders end in a separator; so does the result.
std::string ChooseDataDir(const std::string &programDir, const std::string &perUserDir);

// Why the command line must not use the files of a data folder it was given, or empty: a
// Settings.ini or log.txt there that is not the user's (a link counts as the user's only when it
// and its target both are; another user may have planted it in a shared folder), or, on POSIX,
// a folder that others may write to without the sticky bit (they could put their own files in
// place of the user's at any moment). The text names the file and its owner.
std::string DataFolderRefusal(const std::string &dataDir);

// The data folder every mode of the program uses: ChooseDataDir's answer, or always the
// per-user folder for an installed copy (IsInstalledCopy: the Windows installer's folder, a
// packaged Linux build), whose own folder an upgrade or a removal replaces.
std::string DataDirForProgram(const std::string &programDir, const std::string &perUserDir);

} // namespace zevlo::platform
