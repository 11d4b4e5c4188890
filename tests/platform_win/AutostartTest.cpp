#include "platform/win/RunValueAutostart.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

namespace zevlo::platform {
namespace {

// A value of its own beside the program's "Zevlo", so a run on a real desktop leaves
// the user's entry alone.
const std::string kValue = "ZevloTest_" + std::to_string(GetCurrentProcessId());

std::optional<std::string> ReadValueNamed(const std::string &name) {
    char data[1024];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, win::kRunKey, name.c_str(), RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    return std::string(data);
}

void WriteRawNamed(const std::string &name, const std::string &text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, win::kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

std::optional<std::string> ReadValue() {
    return ReadValueNamed(kValue);
}
void WriteRaw(const std::string &text) {
    WriteRawNamed(kValue, text);
}

class WindowsAutostart : public ::testing::Test {
protected:
    void TearDown() override { entry->Remove(); }
    std::unique_ptr<IAutostart> entry = win::MakeRunValueAutostart(kValue);
};

TEST_F(WindowsAutostart, WrittenQuotedReadBackAndDeleted) {
    ASSERT_TRUE(entry->Remove());
    EXPECT_FALSE(entry->IsPresent());

    const std::string exe = "C:\\Program Files\\Zevlo\\Zevlo.exe";
    ASSERT_TRUE(entry->Write(exe));
    EXPECT_TRUE(entry->IsPresent());
    EXPECT_EQ(ReadValue(), "\"" + exe + "\"");

    // Writing again replaces, it does not pile quotes up.
    ASSERT_TRUE(entry->Write("D:\\Tools\\Zevlo.exe"));
    EXPECT_EQ(ReadValue(), std::string("\"D:\\Tools\\Zevlo.exe\""));

    ASSERT_TRUE(entry->Remove());
    EXPECT_FALSE(entry->IsPresent());
    EXPECT_EQ(ReadValue(), std::nullopt);
    EXPECT_TRUE(entry->Remove()) << "removing what is gone is no failure";
}

TEST_F(WindowsAutostart, ExistingValueCountsInEitherForm) {
    for (const std::string value : {"C:\\Zevlo\\Zevlo.exe", "\"C:\\Program Files\\Zevlo\\Zevlo.exe\""}) {
        WriteRaw(value);
        EXPECT_TRUE(entry->IsPresent()) << value;
        EXPECT_EQ(ReadValue(), value) << "a present value is left as it is";
    }
}

TEST(WindowsAutostartOfTheProgram, UsesTheRunValueZevlo) {
    // The user's own entry is put back as it was, whatever happens in between.
    struct Saved {
        std::optional<std::string> value = ReadValueNamed("Zevlo");
        ~Saved() {
            if (value) {
                WriteRawNamed("Zevlo", *value);
            } else {
                RegDeleteKeyValueA(HKEY_CURRENT_USER, win::kRunKey, "Zevlo");
            }
        }
    } saved;
    auto entry = MakeUserAutostart();
    ASSERT_TRUE(entry->Write("C:\\Zevlo\\Zevlo.exe"));
    EXPECT_EQ(ReadValueNamed("Zevlo"), std::string("\"C:\\Zevlo\\Zevlo.exe\""));
    ASSERT_TRUE(entry->Remove());
    EXPECT_EQ(ReadValueNamed("Zevlo"), std::nullopt);
}

} // namespace
} // namespace zevlo::platform
