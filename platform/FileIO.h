#pragma once

#include <string>
#include <string_view>

namespace zevlo::platform {

// True when something (file, folder, link target) exists at the path.
bool PathExists(const std::string &path);
// True when a regular file (after following links) exists at the path.
bool FileExists(const std::string &path);

// The whole file as bytes. Throws FileError "Cannot open file \"path\". <system text>".
std::string ReadWholeFile(const std::string &path);

// How the temporary file of a replace is named.
enum class TemporaryName {
    // `path` + ".tmp"; one that a crash left there is removed first. For the program's own files.
    Fixed,
    // A new name of its own beside `path`, never one that exists: for a file the user named,
    // whose folder may hold a "<name>.tmp" of the user's.
    Unique,
};

// Writes the bytes to a temporary file in the same folder (named as `temporaryName` says),
// flushes it to disk and renames it over `path`, so a failed save leaves the old file whole.
// With ownerOnly a new file is readable by its owner alone and an existing one loses any
// access of others; otherwise an existing file keeps its permissions. A symbolic link at
// `path` is written through: its target is replaced, the link stays. An existing file that
// its owner made read-only (no owner write bit; the read-only attribute on Windows) is never
// written, not even by root. When the folder refuses the temporary file but the existing file
// may be written, the file is rewritten in place and flushed instead; it keeps its owner and
// its permissions (on POSIX less those of others with ownerOnly). Throws FileError "Cannot
// create file \"path\". <system text>"; the temporary file is removed.
void ReplaceFileAtomically(const std::string &path, std::string_view bytes, bool ownerOnly,
                           TemporaryName temporaryName = TemporaryName::Fixed);

// True when users other than the owner may open the file (POSIX group or other bits).
// Windows files get their access list when written and are not looked at: false there.
bool OthersHaveAccess(const std::string &path);

// The system's text for an error number (errno / GetLastError).
std::string SystemErrorText(int error);

} // namespace zevlo::platform
