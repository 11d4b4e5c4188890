#include "platform/FileIO.h"

#include "platform/FileError.h"
#include "platform/posix/UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zevlo::platform {

namespace {

// strerror_r comes in two shapes (GNU returns the text, XSI fills the buffer).
[[maybe_unused]] const char *ErrorTextOf(const char *gnuResult, const char *) {
    return gnuResult;
}
[[maybe_unused]] const char *ErrorTextOf(int xsiResult, const char *buffer) {
    return xsiResult == 0 ? buffer : "Unknown error";
}

std::string Quoted(const std::string &path) {
    return "\"" + path + "\"";
}

[[noreturn]] void ThrowOpenError(const std::string &path, int error) {
    throw FileError("Cannot open file " + Quoted(path) + ". " + SystemErrorText(error));
}

[[noreturn]] void ThrowCreateError(const std::string &path, int error) {
    throw FileError("Cannot create file " + Quoted(path) + ". " + SystemErrorText(error));
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

FileStamp StampFrom(const struct stat &info) {
    FileStamp stamp;
    stamp.volume = static_cast<std::uint64_t>(info.st_dev);
    stamp.index = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.changed = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.mode = static_cast<std::uint32_t>(info.st_mode & 07777);
    return stamp;
}

// -1 with errno when the descriptor cannot be looked at.
int StampOfOpen(int fd, FileStamp &stamp) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return -1;
    stamp = StampFrom(info);
    return 0;
}

bool IsOwnFileAccess(FileAccess access) {
    return access != FileAccess::Usual;
}

// A link that is not the user's is not followed: another user could have planted it in a
// shared folder, leading to a file of the user's.
bool MayFollowLink(const struct stat &link, FileAccess access) {
    return !IsOwnFileAccess(access) || link.st_uid == ::geteuid();
}

// Opens one of the program's own files: a link only when it is the user's, a regular file only
// when it is the user's. -1 with errno otherwise.
int OpenOwnFile(const std::string &path, int flags) {
    // Non-blocking, so that a FIFO in the file's place cannot hold the program up.
    const int common = flags | O_CLOEXEC | O_NONBLOCK;
    int fd;
    do
        fd = ::open(path.c_str(), common | O_NOFOLLOW);
    while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == ELOOP) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || !MayFollowLink(link, FileAccess::Private)) {
            errno = ELOOP;
            return -1;
        }
        do
            fd = ::open(path.c_str(), common);
        while (fd < 0 && errno == EINTR);
    }
    if (fd < 0)
        return -1;
    UniqueFd file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return -1;
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    if (info.st_uid != ::geteuid()) {
        errno = EACCES;
        return -1;
    }
    return file.Release();
}

void SyncFolderOf(const std::string &path) {
    const auto cut = path.find_last_of('/');
    const std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // Best effort: the rename is done; some file systems refuse fsync on folders.
    (void)::fsync(fd);
    ::close(fd);
}

// Creates the temporary file beside `target`; -1 with errno when it cannot be created.
int OpenTemporary(const std::string &target, TemporaryName naming, mode_t mode, std::string &temporary) {
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    if (naming == TemporaryName::Fixed) {
        temporary = target + ".tmp";
        int fd = ::open(temporary.c_str(), flags, mode);
        if (fd < 0 && errno == EEXIST && ::unlink(temporary.c_str()) == 0) // left over from a crash
            fd = ::open(temporary.c_str(), flags, mode);
        return fd;
    }
    // A name that is taken belongs to someone else: try another, never remove it.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        temporary = target + suffix;
        const int fd = ::open(temporary.c_str(), flags, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Where a replace writes and what it replaces, once the rules for the path were applied.
struct ReplaceTarget {
    std::string path; // the link's target when a link may be followed
    struct stat existing {};
    bool replacing = false; // a regular file is there
};

ReplaceTarget TargetOf(const std::string &path, FileAccess access) {
    ReplaceTarget target{path};
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (!MayFollowLink(link, access))
            ThrowCreateError(path, ELOOP);
        // Written through, so a user's symbolic link to the file stays a link.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr)
            target.path = resolved;
    }
    target.replacing = ::stat(target.path.c_str(), &target.existing) == 0 && S_ISREG(target.existing.st_mode);
    if (target.replacing && IsOwnFileAccess(access) && target.existing.st_uid != ::geteuid())
        ThrowCreateError(path, EACCES);
    // Checked by hand: root may write any file, but a file its owner made read-only stays so.
    if (target.replacing && (target.existing.st_mode & S_IWUSR) == 0)
        ThrowCreateError(path, EACCES);
    return target;
}

mode_t CreateModeFor(FileAccess access) {
    return IsOwnFileAccess(access) ? 0600 : 0666;
}

// The folder refuses new files, but the file itself may be writable (a portable folder where
// only the files were handed to the user): write over it where it is. Without a temporary
// file a failure part way can leave it damaged; that is the price of saving at all.
FileStamp RewriteInPlace(const std::string &path, const std::string &target, std::string_view bytes, FileAccess access,
                         int createError) {
    int fd;
    do
        fd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        ThrowCreateError(path, createError);
    UniqueFd file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        ThrowCreateError(path, createError);
    // Secrets are not written into a file others may read.
    if (access == FileAccess::Private && (info.st_mode & 077) != 0 && ::fchmod(fd, info.st_mode & 0700) != 0)
        ThrowCreateError(path, errno);
    if (!WriteAll(fd, bytes))
        ThrowCreateError(path, errno);
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        ThrowCreateError(path, errno);
    if (::fsync(fd) != 0)
        ThrowCreateError(path, errno);
    FileStamp stamp;
    if (StampOfOpen(fd, stamp) != 0)
        ThrowCreateError(path, errno);
    if (file.Close() != 0)
        ThrowCreateError(path, errno);
    return stamp;
}

} // namespace

bool PathExists(const std::string &path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool FileExists(const std::string &path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<FileStamp> StampOf(const std::string &path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return StampFrom(info);
}

bool OthersHaveAccess(const FileStamp &stamp) {
    return (stamp.mode & (S_IRWXG | S_IRWXO)) != 0;
}

namespace {

std::string ReadAll(const std::string &path, UniqueFd file, FileStamp *stamp) {
    std::string bytes;
    struct stat info {};
    if (::fstat(file.Get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowOpenError(path, errno);
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    if (stamp != nullptr && StampOfOpen(file.Get(), *stamp) != 0)
        ThrowOpenError(path, errno);
    return bytes;
}

} // namespace

std::string ReadWholeFile(const std::string &path) {
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        ThrowOpenError(path, errno);
    return ReadAll(path, UniqueFd(fd), nullptr);
}

std::string ReadOwnFile(const std::string &path, FileStamp *stamp) {
    const int fd = OpenOwnFile(path, O_RDONLY);
    if (fd < 0)
        ThrowOpenError(path, errno);
    return ReadAll(path, UniqueFd(fd), stamp);
}

FileStamp ReplaceFileAtomically(const std::string &path, std::string_view bytes, FileAccess access,
                                TemporaryName temporaryName) {
    const ReplaceTarget target = TargetOf(path, access);

    std::string temporary;
    const int fd = OpenTemporary(target.path, temporaryName, CreateModeFor(access), temporary);
    if (fd < 0) {
        const int error = errno;
        if (target.replacing && (error == EACCES || error == EPERM))
            return RewriteInPlace(path, target.path, bytes, access, error);
        ThrowCreateError(path, error);
    }
    UniqueFd file(fd);

    auto fail = [&](int error) {
        if (file.IsOpen())
            file.Close();
        ::unlink(temporary.c_str());
        ThrowCreateError(path, error);
    };

    if (target.replacing) {
        const struct stat &existing = target.existing;
        // An existing file keeps its permissions (and, where allowed, its group), less those of
        // others when it holds secrets.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            (void)::fchown(fd, existing.st_uid, existing.st_gid); // best effort
        const mode_t keptMode = existing.st_mode & (access == FileAccess::Private ? 0700 : 07777);
        if (::fchmod(fd, keptMode) != 0)
            fail(errno);
    }
    FileStamp stamp;
    if (!WriteAll(fd, bytes))
        fail(errno);
    if (::fsync(fd) != 0)
        fail(errno);
    if (StampOfOpen(fd, stamp) != 0)
        fail(errno);
    if (file.Close() != 0)
        fail(errno);
    if (::rename(temporary.c_str(), target.path.c_str()) != 0)
        fail(errno);
    SyncFolderOf(target.path);
    return stamp;
}

void CheckReplaceable(const std::string &path, std::string_view bytes, FileAccess access) {
    const ReplaceTarget target = TargetOf(path, access);
    std::string temporary;
    const int fd = OpenTemporary(target.path, TemporaryName::Fixed, CreateModeFor(access), temporary);
    if (fd < 0) {
        const int error = errno;
        // The save would rewrite the file where it is: it must open for writing.
        if (target.replacing && (error == EACCES || error == EPERM)) {
            UniqueFd file(::open(target.path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
            if (file.IsOpen())
                return;
        }
        ThrowCreateError(path, error);
    }
    UniqueFd file(fd);
    const bool written = WriteAll(fd, bytes);
    const int error = written ? 0 : errno;
    const int closed = file.Close();
    const int closeError = errno;
    ::unlink(temporary.c_str());
    if (!written)
        ThrowCreateError(path, error);
    if (closed != 0)
        ThrowCreateError(path, closeError);
}

bool AppendToOwnFile(const std::string &path, std::string_view bytes, FileStamp &expected) {
    const int fd = OpenOwnFile(path, O_WRONLY | O_APPEND);
    if (fd < 0) {
        if (errno == ENOENT)
            return false;
        ThrowCreateError(path, errno);
    }
    UniqueFd file(fd);
    FileStamp now;
    if (StampOfOpen(fd, now) != 0)
        ThrowCreateError(path, errno);
    if (now != expected)
        return false;
    // Checked by hand: root may write any file, but a file its owner made read-only stays so.
    if ((now.mode & S_IWUSR) == 0)
        ThrowCreateError(path, EACCES);
    if (!WriteAll(fd, bytes))
        ThrowCreateError(path, errno);
    if (StampOfOpen(fd, expected) != 0)
        ThrowCreateError(path, errno);
    if (file.Close() != 0)
        ThrowCreateError(path, errno);
    return true;
}

std::string SystemErrorText(int error) {
    char buffer[256] = {};
    return ErrorTextOf(::strerror_r(error, buffer, sizeof buffer), buffer);
}

} // namespace zevlo::platform
