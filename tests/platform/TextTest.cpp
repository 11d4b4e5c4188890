#include "platform/Text.h"
#include "platform/FileVersion.h"
#include "platform/ProcessRunner.h"

#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <regex>

namespace zevlo::platform {
namespace {

using namespace zevlo::test;

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

TEST(LowerCaseLocale, CLocaleLowersOnlyAsciiLetters) {
    ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
    std::string expected = AllBytes();
    for (char &c : expected) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    EXPECT_EQ(LowerCaseLocale(AllBytes()), expected);
    EXPECT_EQ(LowerCaseLocale("GOOD 1.2.3.4"), "good 1.2.3.4");
    EXPECT_EQ(LowerCaseLocale(""), "");
}

// Under an 8-bit locale the letters above 127 follow its table too; `tr` in the same
// locale is the reference, and a few ISO 8859-1 pairs are checked by hand.
TEST(LowerCaseLocale, EightBitLocaleLowersItsOwnLetters) {
    TempFolder dir;
    ProcessRunner runner;
    const std::string made = runner
                                 .RunCommand("localedef -i de_DE -f ISO-8859-1 " +
                                                 QuoteForInterpreter(dir.Path() + "de_DE.ISO-8859-1") + " && echo made",
                                             dir.Path())
                                 .output;
    if (made.find("made") == std::string::npos) {
        GTEST_SKIP() << "cannot build a Latin-1 locale here: " << made;
    }
    ScopedEnv locpath("LOCPATH", dir.Path());
    const std::string reference =
        runner.RunProgram({"env", "LC_ALL=de_DE.ISO-8859-1", "tr", "[:upper:]", "[:lower:]"}, dir.Path(), AllBytes())
            .output;
    ASSERT_EQ(reference.size(), 256u);

    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "de_DE.ISO-8859-1"), nullptr);
    const std::string lowered = LowerCaseLocale(AllBytes());
    const std::string words = LowerCaseLocale("\xC4RGER \xDE\xD7\xDF");
    std::setlocale(LC_CTYPE, previous.c_str());

    EXPECT_EQ(lowered, reference);
    EXPECT_EQ(words, "\xE4rger \xFE\xD7\xDF"); // A-umlaut, thorn lowered; times sign, sharp s kept
}

TEST(GetFileVersionText, IsTheProjectVersionWithFourNumbers) {
    const std::string cmake = ReadBytes(std::string(ZEVLO_SOURCE_DIR) + "/CMakeLists.txt");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(cmake, match, std::regex(R"(project\(Zevlo VERSION (\d+)\.(\d+)\.(\d+))")));
    const std::string expected = match[1].str() + "." + match[2].str() + "." + match[3].str() + ".0";
    EXPECT_EQ(GetFileVersionText("/proc/self/exe"), expected);
}

} // namespace
} // namespace zevlo::platform
