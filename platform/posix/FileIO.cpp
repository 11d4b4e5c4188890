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

// A link at the path is written through, so a user's symbolic link to the file stays a link.
std::string ResolveTarget(const std::string &path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path;
    return resolved;
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

// The folder refuses new files, but the file itself may be writable (a portable folder where
// only the files were handed to the user): write over it where it is. Without a temporary
// file a failure part way can leave it damaged; that is the price of saving at all.
void RewriteInPlace(const std::string &path, const std::string &target, std::string_view bytes, bool ownerOnly,
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
    if (ownerOnly && (info.st_mode & 077) != 0 && ::fchmod(fd, info.st_mode & 0700) != 0)
        ThrowCreateError(path, errno);
    if (!WriteAll(fd, bytes))
        ThrowCreateError(path, errno);
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        ThrowCreateError(path, errno);
    if (::fsync(fd) != 0)
        ThrowCreateError(path, errno);
    if (file.Close() != 0)
        ThrowCreateError(path, errno);
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

std::string ReadWholeFile(const std::string &path) {
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        ThrowOpenError(path, errno);
    UniqueFd file(fd);

    std::string bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowOpenError(path, errno);
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

void ReplaceFileAtomically(const std::string &path, std::string_view bytes, bool ownerOnly,
                           TemporaryName temporaryName) {
    const std::string target = ResolveTarget(path);

    // An existing file keeps its permissions (and, where allowed, its owner), less those of
    // others when it holds secrets; a new one gets 0600 then, else what the umask allows.
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // Checked by hand: root may write any file, but a file its owner made read-only stays so.
    if (replacing && (existing.st_mode & S_IWUSR) == 0)
        ThrowCreateError(path, EACCES);
    const mode_t createMode = ownerOnly ? 0600 : 0666;

    std::string temporary;
    const int fd = OpenTemporary(target, temporaryName, createMode, temporary);
    if (fd < 0) {
        const int error = errno;
        if (replacing && (error == EACCES || error == EPERM)) {
            RewriteInPlace(path, target, bytes, ownerOnly, error);
            return;
        }
        ThrowCreateError(path, error);
    }
    UniqueFd file(fd);

    auto fail = [&](int error) {
        if (file.IsOpen())
            file.Close();
        ::unlink(temporary.c_str());
        ThrowCreateError(path, error);
    };

    if (replacing) {
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            (void)::fchown(fd, existing.st_uid, existing.st_gid); // only root may; best effort
        const mode_t keptMode = existing.st_mode & (ownerOnly ? 0700 : 07777);
        if (::fchmod(fd, keptMode) != 0)
            fail(errno);
    }
    if (!WriteAll(fd, bytes))
        fail(errno);
    if (::fsync(fd) != 0)
        fail(errno);
    if (file.Close() != 0)
        fail(errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        fail(errno);
    SyncFolderOf(target);
}

bool OthersHaveAccess(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

std::string SystemErrorText(int error) {
    char buffer[256] = {};
    return ErrorTextOf(::strerror_r(error, buffer, sizeof buffer), buffer);
}

} // namespace zevlo::platform
