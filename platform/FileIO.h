#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zevlo::platform {

// True when something (file, folder, link target) exists at the path.
bool PathExists(const std::string &path);
// True when a regular file (after following links) exists at the path.
bool FileExists(const std::string &path);

// Which file a path names and how it stands, cheaply: equal stamps mean the same file,
// untouched since (its identity, size, last change and permissions).
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::int64_t changed = 0;
    std::uint32_t mode = 0;
    bool operator==(const FileStamp &) const = default;
};

// The stamp of the regular file at the path (links followed); none when there is none.
std::optional<FileStamp> StampOf(const std::string &path);

// True when users other than the owner may open the file the stamp was taken of (POSIX group
// or other bits). Windows files get their access list when written: false there.
bool OthersHaveAccess(const FileStamp &stamp);

// Who may open a file the program writes, and whose it must be.
enum class FileAccess {
    // Settings.ini, which holds the password: a new file is readable by its owner alone and an
    // existing one loses any access of others.
    Private,
    // log.txt: a new file is readable by its owner alone; an existing one keeps its permissions.
    NewPrivate,
    // A file the user named (an export, the login entry): created as the umask allows.
    Usual,
};

// Private and NewPrivate files are the program's own, and on POSIX systems these hold for them
// when read, written or probed: a symbolic link is followed only when the link itself belongs to
// the user (in a shared folder another user could plant one that leads to a file of the user's;
// the kernel's protected_symlinks rule), and a file of another user is neither read nor written.
// A refused link is reported as the system reports a link that O_NOFOLLOW meets.

// The whole file as bytes. Throws FileError "Cannot open file \"path\". <system text>".
std::string ReadWholeFile(const std::string &path);
// The same for one of the program's own files; `stamp`, when given, gets the stamp of the file
// that was read.
std::string ReadOwnFile(const std::string &path, FileStamp *stamp = nullptr);

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
// Permissions as `access` says. A symbolic link at `path` that may be followed is written
// through: its target is replaced, the link stays. An existing file that its owner made
// read-only (no owner write bit; the read-only attribute on Windows) is never written, not even
// by root. When the folder refuses the temporary file but the existing file may be written, the
// file is rewritten in place and flushed instead; it keeps its owner and its permissions (on
// POSIX less those of others for Private files). Returns the stamp of the file written. Throws
// FileError "Cannot create file \"path\". <system text>"; the temporary file is removed.
FileStamp ReplaceFileAtomically(const std::string &path, std::string_view bytes, FileAccess access,
                                TemporaryName temporaryName = TemporaryName::Fixed);

// Throws the FileError that ReplaceFileAtomically(path, bytes, access) would meet now (a
// read-only file, folder or file system, a full disk), changing nothing: the temporary file is
// written with the bytes, unflushed, and removed again.
void CheckReplaceable(const std::string &path, std::string_view bytes, FileAccess access);

// Appends the bytes to one of the program's own files, unflushed (a crash may cost the torn end
// of what was appended, never what was there), when it is still the file `expected` describes;
// `expected` then describes it with them. False, writing nothing, when it is not (changed by
// someone else, replaced, gone): the caller writes it whole. Throws FileError "Cannot create
// file ..." as ReplaceFileAtomically does (a read-only file is never appended to); the file's
// end may then hold part of the bytes.
bool AppendToOwnFile(const std::string &path, std::string_view bytes, FileStamp &expected);

// The system's text for an error number (errno / GetLastError).
std::string SystemErrorText(int error);

} // namespace zevlo::platform
