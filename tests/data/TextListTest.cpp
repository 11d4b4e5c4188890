#include "data/TextList.h"

#include <gtest/gtest.h>

using zevlo::JoinLines;
using zevlo::SplitLines;
using zevlo::TextList;

TEST(TextList, SplitsOnEveryKindOfLineEnd) {
    struct Case {
        std::string text;
        TextList lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"\r\n", {""}},
        {std::string("a\r\nb\0c\r\nd", 9), {"a", std::string("b\0c", 3), "d"}},
        {std::string("\0\r\n\0", 4), {std::string(1, '\0'), std::string(1, '\0')}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SplitLines(c.text), c.lines) << testing::PrintToString(c.text);
}

TEST(TextList, JoinEndsEveryLineWithCrLf) {
    EXPECT_EQ(JoinLines({}), "");
    EXPECT_EQ(JoinLines({""}), "\r\n");
    EXPECT_EQ(JoinLines({"a", "b"}), "a\r\nb\r\n");
    EXPECT_EQ(SplitLines(JoinLines({"x", "", "y"})), (TextList{"x", "", "y"}));
}
