#include "platform/DateTime.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace zevlo::platform {
namespace {

TEST(WindowsText, LowerCasesWithTheAnsiCodePage) {
    EXPECT_EQ(LowerCaseLocale("GOOD 203.0.113.7"), "good 203.0.113.7");
    EXPECT_EQ(LowerCaseLocale("NoChg"), "nochg");
    EXPECT_EQ(LowerCaseLocale(""), "");
    EXPECT_EQ(LowerCaseLocale(std::string("A\0B", 3)), std::string("a\0b", 3));
    if (GetACP() == 1252) {
        // Beyond A to Z: the capital letters of the Windows Western code page.
        EXPECT_EQ(LowerCaseLocale("\xC4\xD6\xDC\xC9"), "\xE4\xF6\xFC\xE9");
    }
}

std::tm MakeTm(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return tm;
}

TEST(WindowsDateTime, TextsFollowTheUserFormats) {
    const std::tm when = MakeTm(2024, 3, 5, 13, 7, 9);
    const std::string date = ShortDateText(when);
    const std::string time = LongTimeText(when);
    // Whatever the user's order, the parts are there and nothing else is.
    EXPECT_NE(date.find('5'), std::string::npos) << date;
    EXPECT_NE(date.find('3'), std::string::npos) << date;
    EXPECT_NE(date.find("24"), std::string::npos) << date;
    EXPECT_EQ(date.find(':'), std::string::npos) << date;
    EXPECT_NE(time.find("07"), std::string::npos) << time;
    EXPECT_NE(time.find("09"), std::string::npos) << time;
    EXPECT_EQ(time.find("2024"), std::string::npos) << time;
    EXPECT_NE(ShortDateText(MakeTm(2024, 3, 6, 13, 7, 9)), date);
    EXPECT_NE(LongTimeText(MakeTm(2024, 3, 5, 13, 7, 10)), time);
    const std::string shortTime = ShortTimeText(when);
    EXPECT_NE(shortTime.find("07"), std::string::npos) << shortTime;
    EXPECT_EQ(shortTime.find("09"), std::string::npos) << "no seconds: " << shortTime;
}

TEST(WindowsDateTime, EnglishUsFormatsWhenThatIsTheUserLocale) {
    if (GetUserDefaultLCID() != MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT)) {
        GTEST_SKIP() << "the user locale is not English (United States)";
    }
    EXPECT_EQ(ShortDateText(MakeTm(2024, 3, 5, 13, 7, 9)), "3/5/2024");
    EXPECT_EQ(LongTimeText(MakeTm(2024, 3, 5, 13, 7, 9)), "1:07:09 PM");
    EXPECT_EQ(LongTimeText(MakeTm(2024, 12, 31, 0, 0, 0)), "12:00:00 AM");
    EXPECT_EQ(ShortTimeText(MakeTm(2024, 3, 5, 13, 7, 9)), "1:07 PM");
    EXPECT_EQ(ShortTimeText(MakeTm(2024, 12, 31, 0, 0, 0)), "12:00 AM");
}

TEST(WindowsDateTime, LocalTimeOfAKnownMomentInUtc) {
    // TZ overrides the system's zone for the C runtime.
    _putenv("TZ=UTC0");
    _tzset();
    const std::tm local = ToLocalTime(std::chrono::system_clock::from_time_t(1709644029)); // 2024-03-05 13:07:09 UTC
    EXPECT_EQ(local.tm_year, 124);
    EXPECT_EQ(local.tm_mon, 2);
    EXPECT_EQ(local.tm_mday, 5);
    EXPECT_EQ(local.tm_hour, 13);
    EXPECT_EQ(local.tm_min, 7);
    EXPECT_EQ(local.tm_sec, 9);
    EXPECT_EQ(local.tm_wday, 2);
}

} // namespace
} // namespace zevlo::platform
