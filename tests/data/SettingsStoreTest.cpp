#include "data/SettingsSchema.h"
#include "data/Tdm.h"
#include "platform/FileError.h"
#include "tests/data/StoreFiles.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <optional>

namespace zevlo::test {
namespace {

class SettingsStore : public testing::Test {
protected:
    TempFolder folder;
    std::string settingsPath = folder.File("Settings.ini");

    // A store that has loaded the settings file as it is, or with the given content.
    std::unique_ptr<Tdm> Reloaded() {
        auto dm = StoreOn(settingsPath);
        dm->LoadSettings();
        return dm;
    }
    std::unique_ptr<Tdm> LoadedFrom(std::string_view bytes) {
        WriteBytes(settingsPath, bytes);
        return Reloaded();
    }
};

const char *const kEveryKeySet = "FMaxLog=1000\r\n"
                                 "FSET_LAST_IP=203.0.113.7\r\n"
                                 "FSET_FrmX=-1\r\n"
                                 "FSET_FrmY=42\r\n"
                                 "FSET_Interval=15\r\n"
                                 "FSET_StartWithWindows=TRUE\r\n"
                                 "FSET_User=alice\r\n"
                                 "FSET_Pass=c2VjcmV0\r\n"
                                 "FSET_Hostname=home.example.net\r\n"
                                 "FSET_FirstRun=FALSE\r\n"
                                 "FSET_Enabled=TRUE\r\n"
                                 "FSET_RememberPaused=TRUE\r\n"
                                 "FSET_StateIsPaused=FALSE\r\n"
                                 "FSET_UPD_Protocol=1\r\n"
                                 "FSET_UPD_Port=8443\r\n"
                                 "FSET_UPD_Server=upd.example.net\r\n"
                                 "FSET_UPD_BaseURI=/update\r\n"
                                 "FSET_UPD_Method=1\r\n"
                                 "FSET_UPD_Auth=1\r\n"
                                 "FSET_CIP_Protocol=1\r\n"
                                 "FSET_CIP_Port=8080\r\n"
                                 "FSET_CIP_BaseURI=/ip\r\n"
                                 "FSET_CIP_Method=1\r\n"
                                 "FSET_CIP_Auth=2\r\n"
                                 "FSET_CIP_Server=ip.example.net\r\n"
                                 "FSET_CIP_CHKCUSTOM=TRUE\r\n"
                                 "FSET_CIP_CUSTOMSCRIPT=/opt/my script.sh\r\n"
                                 // A service whose values are none of the above: all are saved.
                                 "FSET_UPD_Service=nsupdate\r\n"
                                 "FSET_UPD_Refusal=1715508000 5d41402abc4b2a76b9719d911017c592aaf4c3e1 badauth\r\n"
                                 "FSET_UPD_WaitUntil=1715509800\r\n"
                                 "FSET_UPD_LastAnswered=1715508000\r\n"
                                 "FSET_UPD_AnsweredFor=2fd4e1c67a2d28fced849ee1bb76e7391b93eb12\r\n";

// The value kEveryKeySet holds for a key.
std::optional<std::string> KnownValue(const std::string &key) {
    for (const std::string &line : zevlo::SplitLines(kEveryKeySet)) {
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

// Sets a setting from the text a file holds, read with the standard library's own rules.
void SetFromText(const Setting &setting, Tdm &dm, const std::string &text) {
    switch (setting.kind) {
    case SettingKind::Text:
        dm.*setting.text = text;
        return;
    case SettingKind::Integer:
        dm.*setting.integer = std::stoi(text);
        return;
    case SettingKind::Flag:
        dm.*setting.flag = text == "TRUE";
        return;
    case SettingKind::Time:
        dm.*setting.time = std::chrono::sys_seconds(std::chrono::seconds(std::stoll(text)));
        return;
    }
}

TEST_F(SettingsStore, NewFileHoldsEveryKeyInSaveOrderWithCrLf) {
    {
        const auto dm = StoreOn(settingsPath);
        for (const Setting &setting : SettingsSchema()) {
            const std::optional<std::string> value = KnownValue(setting.key);
            ASSERT_TRUE(value) << setting.key << " has no line in kEveryKeySet";
            SetFromText(setting, *dm, *value);
        }
        EXPECT_TRUE(dm->SaveSettings());
        EXPECT_EQ(ReadBytes(settingsPath), kEveryKeySet);
    }
    EXPECT_FALSE(std::filesystem::exists(settingsPath + ".tmp"));
}

TEST_F(SettingsStore, NewFileFromCreationValuesLeavesEmptyTextsOut) {
    ASSERT_TRUE(StoreOn(settingsPath)->SaveSettings());
    EXPECT_EQ(ReadBytes(settingsPath), "FMaxLog=500\r\nFSET_FrmX=0\r\nFSET_FrmY=0\r\nFSET_Interval=5\r\n"
                                       "FSET_StartWithWindows=TRUE\r\nFSET_FirstRun=FALSE\r\nFSET_Enabled=FALSE\r\n"
                                       "FSET_RememberPaused=FALSE\r\nFSET_StateIsPaused=FALSE\r\n"
                                       "FSET_UPD_Protocol=0\r\nFSET_UPD_Method=0\r\nFSET_UPD_Auth=0\r\n"
                                       "FSET_CIP_Protocol=0\r\nFSET_CIP_Method=0\r\nFSET_CIP_Auth=0\r\n"
                                       "FSET_CIP_CHKCUSTOM=FALSE\r\n");
}

TEST_F(SettingsStore, LoadReadsEveryKeyIntoItsField) {
    const auto dm = LoadedFrom(kEveryKeySet);
    // Saved afresh, the fields alone must give the same text again.
    dm->SettingsList.clear();
    dm->SettingsFile = folder.File("Fresh.ini");
    ASSERT_TRUE(dm->SaveSettings());
    EXPECT_EQ(ReadBytes(dm->SettingsFile), kEveryKeySet);
}

TEST_F(SettingsStore, MissingKeysOfAnExistingFileTakeTheirAbsentValues) {
    const auto dm = LoadedFrom("FMaxLog=300\r\n");
    EXPECT_EQ(dm->FMaxLog, 300);
    EXPECT_EQ(dm->FSET_Hostname, "-");
    EXPECT_EQ(dm->FSET_CIP_Auth, 1);
    EXPECT_EQ(dm->FSET_FrmX, -1);
    EXPECT_EQ(dm->FSET_FrmY, -1);
    EXPECT_EQ(dm->FSET_Interval, 5);
    EXPECT_FALSE(dm->FSET_StartWithWindows);
    EXPECT_EQ(dm->FSET_User, "");
    EXPECT_EQ(dm->FSET_UPD_Auth, 0);

    const auto empty = LoadedFrom("");
    EXPECT_EQ(empty->FMaxLog, 500);
    EXPECT_EQ(empty->FSET_Hostname, "-");
}

TEST_F(SettingsStore, MissingFileKeepsCreationValues) {
    Tdm dm;
    dm.SettingsFile = settingsPath;
    dm.SettingsList = {"kept"};
    dm.LoadSettings();
    EXPECT_EQ(dm.SettingsList, TextList{"kept"});
    EXPECT_EQ(dm.FMaxLog, 500);
    EXPECT_EQ(dm.FSET_Interval, 5);
    EXPECT_TRUE(dm.FSET_StartWithWindows);
    EXPECT_EQ(dm.FSET_FrmX, 0);
    EXPECT_EQ(dm.FSET_Hostname, "");
    EXPECT_EQ(dm.FSET_CIP_Auth, 0);
    EXPECT_FALSE(dm.SettingsUnreadable());
}

TEST_F(SettingsStore, EachLoadRecordsTheKeysTheFileLacks) {
    struct Row {
        const char *file;
        const char *key;
        bool absent;
    };
    const Row rows[] = {
        {"FSET_User=alice\r\n", "FSET_User", false},
        {"fset_user=alice\r\n", "FSET_User", false},
        {"FSET_User=\r\n", "FSET_User", true},
        {"FSET_User=\r\nFSET_User=bob\r\n", "FSET_User", true}, // the first line decides, as for the value
        {"FSET_User\r\n", "FSET_User", true},
        {"FSET_Interval=ten\r\n", "FSET_Interval", false}, // there, though no number
        {"FSET_StartWithWindows=FALSE\r\n", "FSET_StartWithWindows", false},
        {"FSET_User=alice\r\n", "FSET_Hostname", true},
        {"", "FMaxLog", true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        EXPECT_EQ(LoadedFrom(row.file)->KeyWasAbsent(row.key), row.absent) << row.key;
    }

    // The record is the last file's.
    const auto dm = LoadedFrom("FSET_User=alice\r\n");
    WriteBytes(settingsPath, "FSET_Hostname=h\r\n");
    dm->LoadSettings();
    EXPECT_TRUE(dm->KeyWasAbsent("FSET_User"));
    EXPECT_FALSE(dm->KeyWasAbsent("FSET_Hostname"));
    EXPECT_TRUE(Tdm().KeyWasAbsent("FSET_Hostname")) << "nothing was read yet";
}

// The setting of a key, as the file's text shows its value.
std::string StoredText(const Tdm &dm, const std::string &key) {
    for (const Setting &setting : SettingsSchema())
        if (setting.key == key)
            return zevlo::SettingText(setting, dm);
    ADD_FAILURE() << "no setting " << key;
    return {};
}

TEST_F(SettingsStore, AStoredServiceFillsTheEndpointKeysTheFileLeavesEmpty) {
    struct Row {
        const char *file;
        const char *key;
        const char *value;
    };
    const Row rows[] = {
        {"FSET_UPD_Service=dyn\r\n", "FSET_UPD_Server", "members.dyndns.org"},
        {"FSET_UPD_Service=dyn\r\n", "FSET_UPD_BaseURI", "/nic/update"},
        {"FSET_UPD_Service=dyn\r\n", "FSET_UPD_Port", "443"},
        {"FSET_UPD_Service=dyn\r\n", "FSET_CIP_Protocol", "1"},
        {"FSET_UPD_Service=dyn\r\n", "FSET_CIP_Port", "80"},
        // The check page is a third party's: no account goes there, unlike a file of one's own.
        {"FSET_UPD_Service=dyn\r\n", "FSET_CIP_Auth", "0"},
        {"FSET_UPD_Service=DYN\r\nFSET_UPD_Server=\r\n", "FSET_UPD_Server", "members.dyndns.org"},
        {"FSET_UPD_Service=dyn\r\nFSET_CIP_Protocol=https\r\n", "FSET_CIP_Protocol", "1"},
        {"FSET_UPD_Service=dyn\r\nFSET_UPD_Server=my.example.net\r\n", "FSET_UPD_Server", "my.example.net"},
        {"FSET_UPD_Service=dyn\r\nFSET_CIP_Auth=2\r\n", "FSET_CIP_Auth", "2"},
        {"FSET_UPD_Service=dyn\r\n", "FSET_Hostname", "-"},
        // An id this program does not know leaves the endpoints the user's own.
        {"FSET_UPD_Service=nosuch\r\n", "FSET_UPD_Server", ""},
        {"FSET_UPD_Service=nosuch\r\n", "FSET_CIP_Auth", "1"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        EXPECT_EQ(StoredText(*LoadedFrom(row.file), row.key), row.value) << row.key;
    }
}

TEST_F(SettingsStore, FieldsHoldingTheServicesValuesAreSavedEmpty) {
    const auto dm = LoadedFrom("FSET_User=alice\r\nFSET_UPD_Service=dyn\r\nFSET_UPD_Port=443\r\n"
                               "FSET_CIP_Server=checkip.dyndns.com\r\nFSET_CIP_Auth=1\r\n");
    ASSERT_TRUE(dm->SaveSettings());
    const std::string rest = "FMaxLog=500\r\nFSET_FrmX=-1\r\nFSET_FrmY=-1\r\nFSET_Interval=5\r\n"
                             "FSET_StartWithWindows=FALSE\r\nFSET_Hostname=-\r\nFSET_FirstRun=FALSE\r\n"
                             "FSET_Enabled=FALSE\r\nFSET_RememberPaused=FALSE\r\nFSET_StateIsPaused=FALSE\r\n"
                             "FSET_CIP_CHKCUSTOM=FALSE\r\n";
    EXPECT_EQ(ReadBytes(settingsPath), "FSET_User=alice\r\nFSET_UPD_Service=dyn\r\nFSET_CIP_Auth=1\r\n" + rest);

    dm->FSET_UPD_Server = "my.example.net";
    dm->FSET_CIP_Auth = 0;
    ASSERT_TRUE(dm->SaveSettings());
    EXPECT_EQ(ReadBytes(settingsPath),
              "FSET_User=alice\r\nFSET_UPD_Service=dyn\r\n" + rest + "FSET_UPD_Server=my.example.net\r\n");

    // Without the service every field is the user's own and written.
    dm->FSET_UPD_Service.clear();
    ASSERT_TRUE(dm->SaveSettings());
    const std::string saved = ReadBytes(settingsPath);
    for (const char *line : {"FSET_UPD_Port=443", "FSET_CIP_Server=checkip.dyndns.com", "FSET_CIP_Protocol=1"})
        EXPECT_NE(saved.find(std::string("\n") + line + "\r\n"), std::string::npos) << line;
}

TEST_F(SettingsStore, NamesIgnoreCaseAndFirstMatchWins) {
    const auto dm = LoadedFrom("; comment\r\nfset_interval=10\r\nFSET_USER=alice\r\nFSET_User=bob\r\n"
                               "FSET_UPD_BaseURI=/u?a=b\r\nFSET_Hostname\r\nFSET_Hostname =x\r\n");
    EXPECT_EQ(dm->FSET_Interval, 10);
    EXPECT_EQ(dm->FSET_User, "alice");
    EXPECT_EQ(dm->FSET_UPD_BaseURI, "/u?a=b");
    EXPECT_EQ(dm->FSET_Hostname, "-"); // neither a line without "=" nor "name =" matches

    ASSERT_TRUE(dm->SaveSettings());
    const TextList lines = zevlo::SplitLines(ReadBytes(settingsPath));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(TextList(lines.begin(), lines.begin() + 7),
              (TextList{"; comment", "FSET_Interval=10", "FSET_User=alice", "FSET_User=bob", "FSET_UPD_BaseURI=/u?a=b",
                        "FSET_Hostname", "FSET_Hostname =x"}));
}

TEST_F(SettingsStore, UnknownLinesStayInPlaceAndMissingKeysAreAppendedInSaveOrder) {
    const auto dm = LoadedFrom("[Zevlo]\r\n; note\r\n\r\nFSET_Interval=7\r\nOther=1\r\nFSET_User=alice\r\n");
    dm->FSET_Interval = 9;
    dm->FSET_User = "carol";
    ASSERT_TRUE(dm->SaveSettings());
    EXPECT_EQ(ReadBytes(settingsPath),
              "[Zevlo]\r\n; note\r\n\r\nFSET_Interval=9\r\nOther=1\r\nFSET_User=carol\r\n"
              "FMaxLog=500\r\nFSET_FrmX=-1\r\nFSET_FrmY=-1\r\nFSET_StartWithWindows=FALSE\r\nFSET_Hostname=-\r\n"
              "FSET_FirstRun=FALSE\r\nFSET_Enabled=FALSE\r\nFSET_RememberPaused=FALSE\r\nFSET_StateIsPaused=FALSE\r\n"
              "FSET_UPD_Protocol=0\r\nFSET_UPD_Method=0\r\nFSET_UPD_Auth=0\r\nFSET_CIP_Protocol=0\r\n"
              "FSET_CIP_Method=0\r\nFSET_CIP_Auth=1\r\nFSET_CIP_CHKCUSTOM=FALSE\r\n");
}

TEST_F(SettingsStore, EmptyTextValuesRemoveEveryLineOfTheirKey) {
    const auto dm = LoadedFrom("FSET_LAST_IP=198.51.100.1\r\nA=1\r\nfset_last_ip=198.51.100.2\r\n"
                               "FSET_User=\r\nFSET_User=bob\r\n");
    EXPECT_EQ(dm->FSET_LAST_IP, "198.51.100.1");
    EXPECT_EQ(dm->FSET_User, ""); // the first line is empty: the default
    dm->FSET_LAST_IP.clear();
    ASSERT_TRUE(dm->SaveSettings());
    const std::string saved = ReadBytes(settingsPath);
    EXPECT_EQ(saved.find("LAST_IP"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("FSET_User"), std::string::npos) << saved;
    EXPECT_EQ(saved.rfind("A=1\r\n", 0), 0u) << saved;

    // The duplicate did not come back.
    const auto reloaded = Reloaded();
    EXPECT_EQ(reloaded->FSET_LAST_IP, "");
    EXPECT_EQ(reloaded->FSET_User, "");
}

TEST_F(SettingsStore, SetReplacesTheFirstMatchingLineWithTheCallersName) {
    Tdm dm;
    dm.SettingsList = {"x", "KEY=1", "key=2"};
    dm.SetStr("Key", "a=b");
    dm.SetBool("Flag", true);
    dm.SetInt("Number", std::numeric_limits<std::int32_t>::min());
    dm.SetBool("flag", false);
    EXPECT_EQ(dm.SettingsList, (TextList{"x", "Key=a=b", "key=2", "flag=FALSE", "Number=-2147483648"}));
    EXPECT_EQ(dm.GetStr("KEY", "d"), "a=b");
    EXPECT_EQ(dm.GetStr("missing", "d"), "d");
    dm.SetStr("KEY", "");
    EXPECT_EQ(dm.SettingsList, (TextList{"x", "flag=FALSE", "Number=-2147483648"}));
}

TEST_F(SettingsStore, LineBreaksInATextValueCannotSplitItsLine) {
    auto dm = LoadedFrom("FSET_Interval=10\r\n");
    dm->FSET_User = "alice\r\nFSET_Interval=2";
    dm->FSET_Hostname = std::string("home\n\0.example.net", 19);
    ASSERT_TRUE(dm->SaveSettings());

    const auto reloaded = Reloaded();
    EXPECT_EQ(reloaded->FSET_User, "aliceFSET_Interval=2");
    EXPECT_EQ(reloaded->FSET_Hostname, std::string("home\0.example.net", 18)); // a zero byte splits nothing
    EXPECT_EQ(reloaded->FSET_Interval, 10);
}

TEST_F(SettingsStore, FlagsReadAnythingButFalseAsTrue) {
    struct Case {
        const char *line;
        bool whenDefaultFalse;
        bool whenDefaultTrue;
    };
    const Case cases[] = {
        {"F=no", true, true},      {"F=0", true, true},       {"F=true", true, true},    {"F=TRUE", true, true},
        {"F=false", false, false}, {"F=False", false, false}, {"F=FALSE", false, false}, {"F=fAlSe", false, false},
        {"F= FALSE", true, true},  {"F=FALSE ", true, true},  {"F=", false, true},       {"G=FALSE", false, true},
        {"F", false, true},        {"F=FALSE=x", true, true},
    };
    for (const auto &c : cases) {
        Tdm dm;
        dm.SettingsList = {c.line};
        EXPECT_EQ(dm.GetBool("F", false), c.whenDefaultFalse) << c.line;
        EXPECT_EQ(dm.GetBool("f", true), c.whenDefaultTrue) << c.line;
    }
}

TEST_F(SettingsStore, IntegersReadThroughTheFile) {
    struct Case {
        const char *file;
        std::int32_t interval;
    };
    const Case cases[] = {
        {"FSET_Interval=10 min\r\n", 5}, {"FSET_Interval=\r\n", 5},      {"FSET_Interval= 15\r\n", 15},
        {"FSET_Interval=$0F\r\n", 15},   {"FSET_Interval=0x3c\r\n", 60}, {"FSET_Interval=4294967301\r\n", 5},
        {"FSET_Interval=-7\r\n", -7},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LoadedFrom(c.file)->FSET_Interval, c.interval) << c.file;
}

TEST(ParseSettingsIntTest, AcceptsDecimalAndHexWithinThirtyTwoBits) {
    struct Case {
        const char *text;
        bool valid;
        std::int32_t value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"15", true, 15},
        {" 15", true, 15},
        {"  \t15", true, 15},
        {"+7", true, 7},
        {"-1", true, -1},
        {"0000000000000000012", true, 12},
        {"$0F", true, 15},
        {"$ff", true, 255},
        {"x10", true, 16},
        {"X10", true, 16},
        {"0x1A", true, 26},
        {"0X1a", true, 26},
        {"0x0", true, 0},
        {"-$10", true, -16},
        {"-0x10", true, -16},
        {"+x10", true, 16},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"$7FFFFFFF", true, 2147483647},
        {"-$80000000", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"$80000000", false, 0},
        {"$FFFFFFFF", false, 0},
        {"99999999999999999999999", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"x", false, 0},
        {"0x", false, 0},
        {"-0x", false, 0},
        {"10 min", false, 0},
        {"15 ", false, 0},
        {"1 5", false, 0},
        {"--1", false, 0},
        {"+-1", false, 0},
        {"- 1", false, 0},
        {"$-1", false, 0},
        {"$G", false, 0},
        {"0x0x1", false, 0},
        {"00x1", false, 0},
        {"1e3", false, 0},
        {"12abc", false, 0},
        {"1.5", false, 0},
    };
    const auto check = [](const auto &table) {
        for (const auto &c : table) {
            decltype(c.value) value = 12345;
            EXPECT_EQ(ParseSettingsInt(c.text, value), c.valid) << '"' << c.text << '"';
            if (c.valid) {
                EXPECT_EQ(value, c.value) << '"' << c.text << '"';
            }
        }
    };
    check(cases);

    // Times are read in 64 bits; the limits are those of a signed 64-bit integer.
    struct WideCase {
        const char *text;
        bool valid;
        std::int64_t value;
    };
    const WideCase wideCases[] = {
        {"2147483648", true, 2147483648},
        {"-$80000001", true, -2147483649},
        {"9223372036854775807", true, std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", true, std::numeric_limits<std::int64_t>::min()},
        {"$7FFFFFFFFFFFFFFF", true, std::numeric_limits<std::int64_t>::max()},
        {"9223372036854775808", false, 0},
        {"-9223372036854775809", false, 0},
        {"$8000000000000000", false, 0},
        {"18446744073709551616", false, 0},
        {"1700000000 ", false, 0},
    };
    check(wideCases);
}

TEST_F(SettingsStore, OnlyLineEndsSplitTheFileAndAZeroByteStaysInItsLine) {
    using namespace std::string_literals;
    struct Case {
        const char *name;
        std::string bytes;
        std::string user;
        std::string pass;
        std::string savedStart;
    };
    const Case cases[] = {
        {"every kind of line end", "FSET_User=a\rFSET_Pass=b\nFSET_Hostname=h\r\nFSET_Interval=9\r\nFSET_UPD_Port=1"s,
         "a", "b",
         "FSET_User=a\r\nFSET_Pass=b\r\nFSET_Hostname=h\r\nFSET_Interval=9\r\nFSET_UPD_Port=1\r\nFMaxLog=500\r\n"},
        // The first line's name holds the byte and matches no key; nothing after it is lost.
        {"zero byte in the first line",
         "\0FSET_User=x\r\nFSET_User=a\r\nFSET_Pass=b\r\nFSET_Hostname=h\r\n"
         "FSET_Interval=9\r\nFSET_UPD_Port=1\r\n"s,
         "a", "b",
         "\0FSET_User=x\r\nFSET_User=a\r\nFSET_Pass=b\r\nFSET_Hostname=h\r\nFSET_Interval=9\r\n"
         "FSET_UPD_Port=1\r\nFMaxLog=500\r\n"s},
        {"zero byte in a value",
         "FSET_User=a\0b\r\nFSET_Pass=b\r\nFSET_Hostname=h\r\nFSET_Interval=9\r\nFSET_UPD_Port=1"s, "a\0b"s, "b",
         "FSET_User=a\0b\r\nFSET_Pass=b\r\nFSET_Hostname=h\r\nFSET_Interval=9\r\nFSET_UPD_Port=1\r\n"
         "FMaxLog=500\r\n"s},
    };
    for (const auto &c : cases) {
        const auto dm = LoadedFrom(c.bytes);
        EXPECT_EQ(dm->FSET_User, c.user) << c.name;
        EXPECT_EQ(dm->FSET_Pass, c.pass) << c.name;
        EXPECT_EQ(dm->FSET_Hostname, "h") << c.name;
        EXPECT_EQ(dm->FSET_Interval, 9) << c.name;
        EXPECT_EQ(dm->FSET_UPD_Port, "1") << c.name;
        ASSERT_TRUE(dm->SaveSettings()) << c.name;
        EXPECT_EQ(ReadBytes(settingsPath).rfind(c.savedStart, 0), 0u) << c.name;
    }
}

TEST_F(SettingsStore, ErrorsNameTheFileAndTheCause) {
    std::filesystem::create_directory(settingsPath);
    const auto dm = StoreOn(settingsPath);
    dm->FSET_User = "kept";
    dm->SettingsList = {"kept=1"};
    ExpectFileError([&] { dm->LoadSettings(); }, "Cannot open file \"" + settingsPath + "\". ");
    EXPECT_EQ(dm->FSET_User, "kept");
    EXPECT_EQ(dm->FSET_StartWithWindows, true);
    EXPECT_EQ(dm->SettingsList, TextList{"kept=1"});

    const auto elsewhere = StoreOn(folder.File("missing/Settings.ini"));
    ExpectFileError([&] { elsewhere->SaveSettings(); }, "Cannot create file \"" + elsewhere->SettingsFile + "\". ");
}

TEST_F(SettingsStore, FailedLoadMakesLaterSavesRefuseUnlessForced) {
    std::filesystem::create_directory(settingsPath);
    const auto dm = StoreOn(settingsPath);
    EXPECT_THROW(dm->LoadSettings(), FileError);
    EXPECT_TRUE(dm->SettingsUnreadable());
    EXPECT_FALSE(dm->SaveSettings());
    EXPECT_TRUE(dm->SettingsList.empty());
    // The explicit save tries, and a folder cannot be replaced.
    EXPECT_THROW(dm->SaveSettings(true), FileError);
    EXPECT_TRUE(std::filesystem::is_directory(settingsPath));

    // The refusal holds for the run until an explicit save succeeds.
    std::filesystem::remove(settingsPath);
    EXPECT_FALSE(dm->SaveSettings());
    EXPECT_FALSE(std::filesystem::exists(settingsPath));
    EXPECT_TRUE(dm->SaveSettings(true));
    EXPECT_FALSE(dm->SettingsUnreadable());
    dm->FSET_User = "later";
    EXPECT_TRUE(dm->SaveSettings());
    EXPECT_NE(ReadBytes(settingsPath).find("FSET_User=later\r\n"), std::string::npos);
}

TEST_F(SettingsStore, EmptyPathSavesNothing) {
    Tdm dm;
    EXPECT_FALSE(dm.SaveSettings());
    EXPECT_FALSE(dm.SaveSettings(true));
    EXPECT_TRUE(dm.SettingsList.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder.Root()));
}

TEST_F(SettingsStore, FailedSaveLeavesTheOldFileWhole) {
    const auto dm = LoadedFrom("FSET_User=old\r\n");
    std::filesystem::create_directory(settingsPath + ".tmp"); // where the new text would go
    dm->FSET_User = "new";
    ExpectFileError([&] { dm->SaveSettings(); }, "Cannot create file \"" + settingsPath + "\". ");
    EXPECT_EQ(ReadBytes(settingsPath), "FSET_User=old\r\n");
}

TEST_F(SettingsStore, LeftoverTemporaryFileIsReplaced) {
    WriteBytes(settingsPath + ".tmp", "half-written garbage that is longer than the new text will be by far");
    const auto dm = StoreOn(settingsPath);
    dm->FSET_User = "u";
    ASSERT_TRUE(dm->SaveSettings());
    EXPECT_FALSE(std::filesystem::exists(settingsPath + ".tmp"));
    EXPECT_EQ(ReadBytes(settingsPath).find("garbage"), std::string::npos);
    EXPECT_NE(ReadBytes(settingsPath).find("FSET_User=u\r\n"), std::string::npos);
}

TEST_F(SettingsStore, DestructionSavesSettingsAndLog) {
    {
        const auto dm = StoreOn(settingsPath, folder.File("log.txt"));
        dm->FSET_Hostname = "at-exit.example.net";
        dm->LogLines = {"one", "two"};
    }
    EXPECT_NE(ReadBytes(settingsPath).find("FSET_Hostname=at-exit.example.net\r\n"), std::string::npos);
    EXPECT_EQ(ReadBytes(folder.File("log.txt")), "one\r\ntwo\r\n");
}

TEST_F(SettingsStore, DestructionReportsFileErrorsOnStandardError) {
    testing::internal::CaptureStderr();
    StoreOn(folder.File("missing/Settings.ini"), folder.File("missing/log.txt"))->LogLines = {"line"};
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Cannot create file \"" + folder.File("missing/Settings.ini") + "\". "), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("Cannot create file \"" + folder.File("missing/log.txt") + "\". "), std::string::npos)
        << errors;
}

TEST_F(SettingsStore, DestructionAfterFailedLoadIsQuiet) {
    std::filesystem::create_directory(settingsPath);
    testing::internal::CaptureStderr();
    EXPECT_THROW(StoreOn(settingsPath)->LoadSettings(), FileError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(std::filesystem::is_directory(settingsPath));
}

} // namespace
} // namespace zevlo::test
