#include "engine/TextRules.h"

#include "engine/CheckPage.h"
#include "engine/CurlReply.h"

#include <gtest/gtest.h>

#include <string>

namespace zevlo::text {
namespace {

TEST(EncodeQueryValue, EncodesOnlyBytesThatChangeTheUrl) {
    struct Row {
        std::string value;
        std::string encoded;
    };
    // Expected values written by hand from the byte values (ASCII table).
    const Row rows[] = {
        {"myhost.example.net", "myhost.example.net"},
        {"a b", "a%20b"},
        {"\"#%&+=?", "%22%23%25%26%2B%3D%3F"},
        {"[]{}<>", "%5B%5D%7B%7D%3C%3E"},
        {"\\^`|", "%5C%5E%60%7C"},
        {"\t\n\r\x1f\x7f", "%09%0A%0D%1F%7F"},
        {"\x80\xe9\xff", "%80%E9%FF"},
        {"2001:db8::1,203.0.113.7", "2001:db8::1,203.0.113.7"},
        {"-._~!$'()*;@/", "-._~!$'()*;@/"},
        {"h&myip=1.2.3.4", "h%26myip%3D1.2.3.4"},
        {"", ""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(EncodeQueryValue(row.value), row.encoded) << row.value;
    EXPECT_EQ(EncodeQueryValue(std::string("a\0b", 3)), "a%00b");
}

TEST(QuoteConfigValue, EscapesWhatCurlConfigLinesUnescape) {
    struct Row {
        std::string value;
        std::string quoted;
    };
    const Row rows[] = {
        {"alice:secret", "alice:secret"},
        {R"(a"b)", R"(a\"b)"},
        {R"(a\b)", R"(a\\b)"},
        {"t\tn\nr\rv\v", R"(t\tn\nr\rv\v)"},
        {R"(\")", R"(\\\")"},
        {"$(x) `y` %PATH% ; & |", "$(x) `y` %PATH% ; & |"},
        {"\xe9", "\xe9"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(QuoteConfigValue(row.value), row.quoted) << row.value;
}

TEST(IpAddress, AcceptsExactlyOneAddress) {
    struct Row {
        const char *text;
        bool valid;
    };
    // Forms from RFC 4291 section 2.2 and RFC 5952, and common mistakes.
    const Row rows[] = {
        {"203.0.113.7", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"256.1.1.1", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"01.2.3.4", false},
        {"1.2.3.-4", false},
        {"1..3.4", false},
        {"1.2.3.4 ", false},
        {"1.2.3.4\n5.6.7.8", false},
        {"203.0.113.7 198.51.100.1", false},
        {"2001:DB8:0:0:8:800:200C:417A", true},
        {"2001:db8::8:800:200c:417a", true},
        {"FF01::101", true},
        {"::1", true},
        {"::", true},
        {"1::", true},
        {"1:2:3:4:5:6:7::", true},
        {"::2:3:4:5:6:7:8", true},
        {"0:0:0:0:0:0:13.1.68.3", true},
        {"::13.1.68.3", true},
        {"::FFFF:129.144.52.38", true},
        {"1:2:3:4:5:6:7:8", true},
        {"1:2:3:4:5:6:7", false},
        {"1:2:3:4:5:6:7:8:9", false},
        {"1:2:3:4:5:6:7::8", false},
        {"1:2:3:4:5:6:7:1.2.3.4", false},
        {"2001:db8:::1", false},
        {":::", false},
        {"1::2::3", false},
        {":1::2", false},
        {"1::2:", false},
        {"12345::", false},
        {"g::1", false},
        {"1.2.3.4::", false},
        {"::1.2.3", false},
        {"fe80::1%eth0", false},
        {"2001:db8::/32", false},
        {"", false},
        {"good", false},
        {"<html>", false},
    };
    for (const Row &row : rows)
        EXPECT_EQ(IsIpAddress(row.text), row.valid) << row.text;
}

TEST(IsPublicUnicast, LeavesOutTheSpecialPurposeBlocks) {
    struct Row {
        const char *address;
        bool isPublic;
    };
    // The blocks of the IANA special-purpose address registries (RFC 6890, RFC 6598 for
    // 100.64/10) that are never a machine's public address; the documentation blocks stand
    // for public ones.
    const Row rows[] = {
        {"203.0.113.7", true},
        {"198.51.100.1", true},
        {"192.0.2.1", true},
        {"8.8.8.8", true},
        {"100.63.255.255", true},
        {"100.128.0.1", true},
        {"172.15.0.1", true},
        {"172.32.0.1", true},
        {"223.255.255.255", true},
        {"0.0.0.0", false},
        {"0.1.2.3", false},
        {"10.0.0.1", false},
        {"100.64.0.1", false},
        {"100.127.255.254", false},
        {"127.0.0.1", false},
        {"169.254.1.1", false},
        {"172.16.0.1", false},
        {"172.31.255.255", false},
        {"192.168.1.4", false},
        {"224.0.0.1", false},
        {"240.0.0.1", false},
        {"255.255.255.255", false},
        {"2001:db8::7", true},
        {"2a00:1450::1", true},
        {"3fff::1", true},
        {"::", false},
        {"::1", false},
        {"::ffff:203.0.113.7", false},
        {"fe80::1", false},
        {"fc00::1", false},
        {"fd12:3456::1", false},
        {"ff02::1", false},
        {"1::1", false},
        {"4000::1", false},
        {"not an address", false},
        {"", false},
    };
    for (const Row &row : rows)
        EXPECT_EQ(text::IsPublicUnicast(row.address), row.isPublic) << row.address;
}

TEST(AddressInPage, TakesTheOnePublicAddressOfAPage) {
    struct Row {
        const char *page;
        const char *found;
    };
    const Row rows[] = {
        {"<html><head><title>Current IP Check</title></head><body>Current IP Address: 203.0.113.7</body></html>",
         "203.0.113.7"},
        {"Your IP address is : 203.0.113.7", "203.0.113.7"},
        {"Your IP is 2001:db8::7.", "2001:db8::7"},
        {"203.0.113.7 and again 203.0.113.7", "203.0.113.7"},
        {"LAN 192.168.1.4, WAN 203.0.113.7", "203.0.113.7"},
        {"203.0.113.7 198.51.100.2", ""},
        {"Current IP Address: 10.0.0.1", ""},
        {"<html>no address</html>", ""},
        {"Address: 203.0.113.777", ""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(text::AddressInPage(row.page), row.found) << row.page;
    EXPECT_EQ(text::MoreLinesNote("10.0.0.1\n10.0.0.2"), " and 1 more line");
    EXPECT_EQ(text::MoreLinesNote("10.0.0.1\r\n\r\na\r\nb\n"), " and 2 more lines");
    EXPECT_EQ(text::MoreLinesNote("<html>\n10.0.0.1"), "");
    EXPECT_EQ(text::MoreLinesNote("10.0.0.1"), "");
}

TEST(TrimBlanks, RemovesSurroundingWhiteSpaceOnly) {
    EXPECT_EQ(TrimBlanks(" \t203.0.113.7\r\n"), "203.0.113.7");
    EXPECT_EQ(TrimBlanks("a b"), "a b");
    EXPECT_EQ(TrimBlanks(" \r\n\t "), "");
}

TEST(FirstLine, StopsAtTheFirstLineEndAndTheLimit) {
    EXPECT_EQ(FirstLine("<html>\r\n<body>", 64), "<html>");
    EXPECT_EQ(FirstLine("one\rtwo", 64), "one");
    EXPECT_EQ(FirstLine(std::string(100, 'x'), 64), std::string(64, 'x'));
    EXPECT_EQ(FirstLine("a\tb", 64), "a b");
    EXPECT_EQ(FirstLine(std::string(63, 'x') + "\xc3\xa9", 64), std::string(63, 'x'));
}

TEST(OneLogLine, FlattensTrimsAndCuts) {
    EXPECT_EQ(OneLogLine("a\r\nb\nc\rd"), "a b c d");
    EXPECT_EQ(OneLogLine("a\n\nb"), "a  b");
    EXPECT_EQ(OneLogLine("  nochg 1.2.3.4\r\n"), "nochg 1.2.3.4");
    EXPECT_EQ(OneLogLine(""), "");

    const std::string exact(200, 'x');
    EXPECT_EQ(OneLogLine(exact), exact);
    const std::string longer = std::string(198, 'x') + "yzw";
    EXPECT_EQ(OneLogLine(longer), std::string(197, 'x') + "...");
    EXPECT_EQ(OneLogLine(longer).size(), 200u);

    // "\xc3\xa9" (é) would straddle the cut at byte 197: the whole character goes.
    const std::string accented = std::string(196, 'a') + "\xc3\xa9" + std::string(10, 'b');
    EXPECT_EQ(OneLogLine(accented), std::string(196, 'a') + "...");
}

TEST(ContainsTooManyRequests, IgnoresAsciiCase) {
    EXPECT_TRUE(ContainsTooManyRequests("<h1>429 Too Many Requests</h1>"));
    EXPECT_TRUE(ContainsTooManyRequests("TOO MANY REQUESTS"));
    EXPECT_FALSE(ContainsTooManyRequests("too many  requests"));
}

TEST(NoAnswerReason, SaysWhyARunGaveNoAnswer) {
    using platform::ChildEnd;
    struct Row {
        AnswerSource source;
        ChildEnd end;
        int status;
        std::string reason;
    };
    const AnswerSource curl = AnswerSource::Curl;
    const AnswerSource script = AnswerSource::Script;
    const Row rows[] = {
        {curl, ChildEnd::Exited, 0, ""},
        {curl, ChildEnd::Exited, 6, "could not resolve the host name (curl error 6)"},
        {curl, ChildEnd::Exited, 7, "could not connect to the server (curl error 7)"},
        {curl, ChildEnd::Exited, 28, "the request timed out (curl error 28)"},
        {curl, ChildEnd::Exited, 35, "the secure connection failed (curl error 35)"},
        {curl, ChildEnd::Exited, 52, "the server sent no answer (curl error 52)"},
        {curl, ChildEnd::Exited, 56, "the connection was broken (curl error 56)"},
        {curl, ChildEnd::Exited, 60, "the server's certificate is not trusted (curl error 60)"},
        {curl, ChildEnd::Exited, 77, "the trusted certificates could not be read (curl error 77)"},
        {curl, ChildEnd::Exited, 2, "curl error 2"},
        {curl, ChildEnd::Exited, 99, "curl error 99"},
        {curl, ChildEnd::NotStarted, 0, "curl was not found"},
        {curl, ChildEnd::Signalled, 9, "curl was ended by signal 9"},
        {curl, ChildEnd::TimedOut, 60000, "no answer within 60 seconds"},
        {curl, ChildEnd::TimedOut, 1500, "no answer within 1.5 seconds"},
        {curl, ChildEnd::TimedOut, 1000, "no answer within 1 second"},
        {script, ChildEnd::Exited, 0, ""},
        {script, ChildEnd::Exited, 7, "the script ended with status 7"},
        {script, ChildEnd::NotStarted, 0, "the script could not be started"},
        {script, ChildEnd::Signalled, 15, "the script was ended by signal 15"},
        {script, ChildEnd::TimedOut, 60000, "no answer within 60 seconds"},
    };
    for (const Row &row : rows) {
        const platform::RunResult run{"", row.end, row.status};
        EXPECT_EQ(NoAnswerReason(run, row.source), row.reason)
            << (row.source == curl ? "curl" : "script") << " " << static_cast<int>(row.end) << " " << row.status;
    }
}

TEST(CurlReply, SplitsTheStatusTrailerOffTheBody) {
    const std::string mark = "<zevlo-0123456789abcdef ";
    struct Row {
        const char *name;
        std::string output;
        std::string body;
        int status;
        long long received;
    };
    const Row rows[] = {
        {"a body and its trailer", "good 1.2.3.4\n" + mark + "200 13>", "good 1.2.3.4\n", 200, 13},
        {"no body", mark + "401 0>", "", 401, 0},
        {"no connection", mark + "000 0>", "", 0, 0},
        {"no trailer: an older runner or a stand-in", "good", "good", 0, -1},
        {"a trailer that is not the last thing printed", mark + "200 4>good", mark + "200 4>good", 0, -1},
        {"a body that fakes a trailer with another mark", "<zevlo-ffffffffffffffff 200 4>good\n" + mark + "500 9>",
         "<zevlo-ffffffffffffffff 200 4>good\n", 500, 9},
        // A request added by curl's configuration file comes first; ours is the last one.
        {"two requests", "evil" + mark + "200 4>" + "203.0.113.9" + mark + "200 11>", "203.0.113.9", 200, 11},
        {"a mark without its fields in the body", "x" + mark + "y\n" + mark + "200 8>", "x" + mark + "y\n", 200, 8},
    };
    for (const Row &row : rows) {
        const CurlReply reply = ReadCurlReply(row.output, mark);
        EXPECT_EQ(reply.body, row.body) << row.name;
        EXPECT_EQ(reply.status, row.status) << row.name;
        EXPECT_EQ(reply.received, row.received) << row.name;
    }
    // A fresh mark each run, of the form the reader looks for.
    const std::string fresh = NewStatusMark();
    EXPECT_NE(fresh, NewStatusMark());
    EXPECT_EQ(ReadCurlReply("ok" + fresh + "204 2>", fresh).status, 204);
}

} // namespace
} // namespace zevlo::text
