#include "platform/FileIO.h"

#include "platform/FileError.h"
#include "platform/win/Security.h"
#include "platform/win/WinHandle.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace zevlo::platform {

namespace {

using win::UniqueHandle;

[[noreturn]] void Throw(const char *what, const std::string &path, DWORD error) {
    throw FileError(std::string(what) + " \"" + path + "\". " + SystemErrorText(static_cast<int>(error)));
}

DWORD WriteAll(HANDLE file, std::string_view bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
        DWORD count = 0;
        if (!WriteFile(file, bytes.data() + written, chunk, &count, nullptr)) {
            return GetLastError();
        }
        written += count;
    }
    return ERROR_SUCCESS;
}

FileStamp StampFrom(const BY_HANDLE_FILE_INFORMATION &info) {
    FileStamp stamp;
    stamp.volume = info.dwVolumeSerialNumber;
    stamp.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.changed = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                              info.ftLastWriteTime.dwLowDateTime);
    stamp.mode = info.dwFileAttributes & FILE_ATTRIBUTE_READONLY;
    return stamp;
}

// False with the error in GetLastError when the handle cannot be looked at.
bool StampOfOpen(HANDLE file, FileStamp &stamp) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return false;
    stamp = StampFrom(info);
    return true;
}

// A fresh file beside `path`, so that it has our security and not that of a leftover;
// invalid with the error in GetLastError when it cannot be created.
UniqueHandle CreateTemporary(const std::string &path, TemporaryName naming, SECURITY_ATTRIBUTES *security,
                             std::string &temporary) {
    auto create = [&] {
        return UniqueHandle(
            CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    if (naming == TemporaryName::Fixed) {
        temporary = path + ".tmp";
        DeleteFileA(temporary.c_str()); // left over from a crash
        return create();
    }
    // A name that is taken belongs to someone else: try another, never remove it.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        temporary = path + suffix;
        UniqueHandle file = create();
        if (file.Valid() || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)) {
            return file;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return UniqueHandle();
}

// The folder refuses new files, but the file itself may be writable (a portable folder where
// only the files were handed to the user): write over it where it is. Without a temporary
// file a failure part way can leave it damaged; that is the price of saving at all.
FileStamp RewriteInPlace(const std::string &path, std::string_view bytes, DWORD createError) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        Throw("Cannot create file", path, createError);
    }
    DWORD error = WriteAll(file.Get(), bytes);
    if (error == ERROR_SUCCESS && !SetEndOfFile(file.Get())) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) {
        error = GetLastError();
    }
    FileStamp stamp;
    if (error == ERROR_SUCCESS && !StampOfOpen(file.Get(), stamp)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        Throw("Cannot create file", path, error);
    }
    return stamp;
}

bool IsRegularFile(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// True when a file is there to be replaced; throws for one its owner made read-only, which a
// rename would carry the new file over.
bool IsReplaceable(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool replacing = IsRegularFile(attributes);
    if (replacing && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        Throw("Cannot create file", path, ERROR_ACCESS_DENIED);
    }
    return replacing;
}

// The security of a new file: the user's alone for the program's own files (an existing log
// keeps the default of its folder, as it had), the folder's default otherwise. Throws when it
// cannot be built.
SECURITY_ATTRIBUTES *SecurityFor(FileAccess access, bool replacing, win::OwnerOnlySecurity &ownerOnly,
                                 const std::string &path) {
    const bool privateFile = access == FileAccess::Private || (access == FileAccess::NewPrivate && !replacing);
    if (!privateFile)
        return nullptr;
    SECURITY_ATTRIBUTES *security = ownerOnly.Attributes();
    if (security == nullptr)
        Throw("Cannot create file", path, GetLastError());
    return security;
}

} // namespace

bool PathExists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<FileStamp> StampOf(const std::string &path) {
    if (path.empty() || !IsRegularFile(GetFileAttributesA(path.c_str())))
        return std::nullopt;
    UniqueHandle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    FileStamp stamp;
    if (!file.Valid() || !StampOfOpen(file.Get(), stamp))
        return std::nullopt;
    return stamp;
}

bool OthersHaveAccess(const FileStamp &) {
    return false;
}

std::string ReadWholeFile(const std::string &path) {
    return ReadOwnFile(path, nullptr);
}

// Windows files carry their access lists, which the program sets when it creates them.
std::string ReadOwnFile(const std::string &path, FileStamp *stamp) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        Throw("Cannot open file", path, GetLastError());
    }
    if (stamp != nullptr && !StampOfOpen(file.Get(), *stamp)) {
        Throw("Cannot open file", path, GetLastError());
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &count, nullptr)) {
            Throw("Cannot open file", path, GetLastError());
        }
        if (count == 0) {
            return bytes;
        }
        bytes.append(buffer, count);
    }
}

FileStamp ReplaceFileAtomically(const std::string &path, std::string_view bytes, FileAccess access,
                                TemporaryName temporaryName) {
    const bool replacing = IsReplaceable(path);
    win::OwnerOnlySecurity ownerOnlySecurity;
    SECURITY_ATTRIBUTES *security = SecurityFor(access, replacing, ownerOnlySecurity, path);
    DWORD error = ERROR_SUCCESS;
    std::string temporary;
    FileStamp stamp;
    {
        UniqueHandle file = CreateTemporary(path, temporaryName, security, temporary);
        if (!file.Valid()) {
            error = GetLastError();
            // Denied in the folder, not blocked by something of that name: write the file itself.
            if (replacing && error == ERROR_ACCESS_DENIED &&
                GetFileAttributesA(temporary.c_str()) == INVALID_FILE_ATTRIBUTES) {
                return RewriteInPlace(path, bytes, error);
            }
            Throw("Cannot create file", path, error);
        }
        error = WriteAll(file.Get(), bytes);
        if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) {
            error = GetLastError();
        }
        if (error == ERROR_SUCCESS && !StampOfOpen(file.Get(), stamp)) {
            error = GetLastError();
        }
    }
    if (error == ERROR_SUCCESS &&
        !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileA(temporary.c_str());
        Throw("Cannot create file", path, error);
    }
    // A rename keeps the file and its size; the folder's volume may report the time anew.
    return StampOf(path).value_or(stamp);
}

void CheckReplaceable(const std::string &path, std::string_view bytes, FileAccess access) {
    const bool replacing = IsReplaceable(path);
    win::OwnerOnlySecurity ownerOnlySecurity;
    SECURITY_ATTRIBUTES *security = SecurityFor(access, replacing, ownerOnlySecurity, path);
    std::string temporary;
    DWORD error = ERROR_SUCCESS;
    {
        UniqueHandle file = CreateTemporary(path, TemporaryName::Fixed, security, temporary);
        if (!file.Valid()) {
            error = GetLastError();
            const bool inFolder = GetFileAttributesA(temporary.c_str()) == INVALID_FILE_ATTRIBUTES;
            // The save would rewrite the file where it is: it must open for writing.
            if (replacing && error == ERROR_ACCESS_DENIED && inFolder &&
                UniqueHandle(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
                    .Valid()) {
                return;
            }
            Throw("Cannot create file", path, error);
        }
        error = WriteAll(file.Get(), bytes);
    }
    DeleteFileA(temporary.c_str());
    if (error != ERROR_SUCCESS) {
        Throw("Cannot create file", path, error);
    }
}

bool AppendToOwnFile(const std::string &path, std::string_view bytes, FileStamp &expected) {
    UniqueHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return false;
        Throw("Cannot create file", path, error);
    }
    FileStamp now;
    if (!StampOfOpen(file.Get(), now)) {
        Throw("Cannot create file", path, GetLastError());
    }
    if (now != expected)
        return false;
    const DWORD error = WriteAll(file.Get(), bytes);
    if (error != ERROR_SUCCESS) {
        Throw("Cannot create file", path, error);
    }
    // Taken after the close, which may set the time of the last write.
    file.Close();
    expected = StampOf(path).value_or(FileStamp{});
    return true;
}

std::string SystemErrorText(int error) {
    char *buffer = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char *>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr) {
        text.assign(buffer, length);
    }
    LocalFree(buffer);
    // The system texts end in ".\r\n"; the message puts them after "path". as a tail.
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "System error " + std::to_string(error);
    }
    return text;
}

} // namespace zevlo::platform
