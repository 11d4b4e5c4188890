#include "platform/FileIO.h"
#include "platform/FileError.h"
#include "platform/Paths.h"
#include "platform/win/Security.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>

#include <functional>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

std::string MessageOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const FileError &error) {
        return error.what();
    }
    return "no FileError";
}

TEST(WindowsFileIO, ReplacesWholeAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const std::string path = folder.Path() + "Settings.ini";
    ReplaceFileAtomically(path, "FSET_User=old\r\n", FileAccess::Usual);
    const std::string bytes("FSET_User=new\r\n\0\xff end", 21);
    ReplaceFileAtomically(path, bytes, FileAccess::Usual);
    EXPECT_EQ(ReadWholeFile(path), bytes);
    EXPECT_FALSE(PathExists(path + ".tmp"));
    ReplaceFileAtomically(path, "", FileAccess::Usual);
    EXPECT_EQ(ReadWholeFile(path), "");
}

TEST(WindowsFileIO, FailedSaveKeepsTheOldFileAndTellsWhy) {
    TempFolder folder;
    const std::string path = folder.Path() + "log.txt";
    ReplaceFileAtomically(path, "kept\r\n", FileAccess::Usual);
    // A folder where the temporary file has to go.
    ASSERT_TRUE(CreateDirectoryA((path + ".tmp").c_str(), nullptr));
    const std::string message = MessageOf([&] { ReplaceFileAtomically(path, "lost\r\n", FileAccess::Usual); });
    EXPECT_EQ(message.rfind("Cannot create file \"" + path + "\". ", 0), 0u) << message;
    EXPECT_EQ(ReadWholeFile(path), "kept\r\n");

    // A file its owner made read-only is not replaced, whatever the folder allows.
    ASSERT_TRUE(RemoveDirectoryA((path + ".tmp").c_str()));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    for (const FileAccess access : {FileAccess::Usual, FileAccess::NewPrivate, FileAccess::Private}) {
        EXPECT_EQ(MessageOf([&] { ReplaceFileAtomically(path, "lost\r\n", access); }),
                  "Cannot create file \"" + path + "\". " + SystemErrorText(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(ReadWholeFile(path), "kept\r\n");
    EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(PathExists(path + ".tmp"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)); // so the folder can go
}

TEST(WindowsFileIO, MessagesHaveTheShapeOfThePosixOnes) {
    TempFolder folder;
    const std::string missing = folder.Path() + "missing.ini";
    const std::string openMessage = MessageOf([&] { ReadWholeFile(missing); });
    const std::string openPrefix = "Cannot open file \"" + missing + "\". ";
    ASSERT_EQ(openMessage.rfind(openPrefix, 0), 0u) << openMessage;
    const std::string reason = openMessage.substr(openPrefix.size());
    EXPECT_EQ(reason, SystemErrorText(ERROR_FILE_NOT_FOUND));

    const std::string inMissingFolder = folder.Path() + "no folder\\Settings.ini";
    const std::string createMessage =
        MessageOf([&] { ReplaceFileAtomically(inMissingFolder, "x", FileAccess::Usual); });
    EXPECT_EQ(createMessage.rfind("Cannot create file \"" + inMissingFolder + "\". ", 0), 0u) << createMessage;
    EXPECT_FALSE(PathExists(folder.Path() + "no folder"));

    // A folder is not a file to read.
    EXPECT_EQ(MessageOf([&] { ReadWholeFile(folder.Path()); }).rfind("Cannot open file", 0), 0u);
}

TEST(WindowsFileIO, SystemTextIsOneCleanSentenceTail) {
    for (const int error : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND, ERROR_DISK_FULL}) {
        const std::string text = SystemErrorText(error);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.back(), '.') << text;
        EXPECT_NE(text.back(), ' ') << text;
    }
    EXPECT_NE(SystemErrorText(ERROR_FILE_NOT_FOUND), SystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(WindowsFileIO, ExistenceOfFilesAndFolders) {
    TempFolder folder;
    const std::string file = folder.Path() + "a.txt";
    WriteBytes(file, "a");
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(PathExists(folder.Path()));
    EXPECT_FALSE(FileExists(folder.Path()));
    EXPECT_FALSE(PathExists(folder.Path() + "b.txt"));
    EXPECT_FALSE(FileExists(folder.Path() + "b.txt"));
}

struct Access {
    bool read = false;
    bool userHasFullAccess = false;
    bool othersAllowed = false; // anyone but the user and the system itself
    bool ownerIsUser = false;
};

Access ReadAccess(const std::string &path) {
    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    Access result;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return result;
    }
    std::vector<BYTE> user = win::CurrentUserSid();
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID system = nullptr;
    AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system);
    result.read = acl != nullptr;
    result.ownerIsUser = owner != nullptr && EqualSid(owner, user.data());
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void *ace = nullptr;
        GetAce(acl, i, &ace);
        if (static_cast<ACE_HEADER *>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;
        }
        const auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(ace);
        PSID sid = const_cast<DWORD *>(&allowed->SidStart);
        if (EqualSid(sid, user.data())) {
            result.userHasFullAccess = (allowed->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
        } else if (!EqualSid(sid, system)) {
            result.othersAllowed = true;
        }
    }
    FreeSid(system);
    LocalFree(descriptor);
    return result;
}

TEST(WindowsFileIO, TheProgramsOwnFilesAreOpenToTheirOwnerAlone) {
    const struct {
        const char *name;
        bool existing;
        FileAccess access;
        bool othersAllowed;
    } cases[] = {
        // The settings lose any other access; a new log is the user's alone, an existing one
        // keeps what it had.
        {"Settings.ini", true, FileAccess::Private, false},
        {"log.txt", false, FileAccess::NewPrivate, false},
        {"old-log.txt", true, FileAccess::NewPrivate, true},
        {"export.csv", false, FileAccess::Usual, true},
    };
    TempFolder folder;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path() + c.name;
        if (c.existing) {
            ReplaceFileAtomically(path, "old", FileAccess::Usual);
            const Access before = ReadAccess(path);
            ASSERT_TRUE(before.read);
            EXPECT_TRUE(before.othersAllowed) << "an ordinary file is open to more than its owner";
        }
        ReplaceFileAtomically(path, "FSET_Pass=hMG3\r\n", c.access);
        EXPECT_EQ(ReadWholeFile(path), "FSET_Pass=hMG3\r\n");
        const Access after = ReadAccess(path);
        ASSERT_TRUE(after.read);
        EXPECT_EQ(after.othersAllowed, c.othersAllowed);
        EXPECT_TRUE(after.userHasFullAccess);
        if (!c.othersAllowed) {
            EXPECT_TRUE(after.ownerIsUser);
            EXPECT_TRUE(IsOwnedByCurrentUser(path));
        }
    }
}

} // namespace
} // namespace zevlo::platform
