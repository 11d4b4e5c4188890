#include "crypto/Password.h"

#include <gtest/gtest.h>

#include <string>

namespace zevlo {
namespace {

using namespace std::string_literals;

struct Case {
    const char *name;
    std::string in;
    std::string out;
};

// RFC 4648 section 10, and high bytes checked with: printf '\xff\xfe\xfd\x00\x80' | openssl base64 -A
const Case kEncodeCases[] = {
    {"empty", "", ""},
    {"one", "f", "Zg=="},
    {"two", "fo", "Zm8="},
    {"three", "foo", "Zm9v"},
    {"four", "foob", "Zm9vYg=="},
    {"five", "fooba", "Zm9vYmE="},
    {"six", "foobar", "Zm9vYmFy"},
    {"high_and_zero_bytes", "\xff\xfe\xfd\x00\x80"s, "//79AIA="},
};

TEST(Base64, EncodesAsRfc4648) {
    for (const Case &c : kEncodeCases)
        EXPECT_EQ(Base64Encode(c.in), c.out) << c.name;
}

// The lenient decoding, worked out by hand from its rules: slots A-Z 0-25, a-z 26-51,
// 0-9 52-61, + 62, / 63, "=" 255; b1 = 4*s0 + s1/16, b2 = 16*s1 + s2/4, b3 = 64*s2 + s3,
// all mod 256; s2 "=" gives b1 only, else s3 "=" gives b1 b2, else all three.
const Case kDecodeCases[] = {
    {"empty", "", ""},
    {"one_char", "Q", ""},
    {"two_chars", "QU", ""},
    {"three_chars", "QUJ", ""},
    {"full_group", "QUJD", "ABC"},
    {"tail_ignored", "QUJDRA", "ABC"},
    {"two_groups", "QUJDREVG", "ABCDEF"},
    {"two_pads_one_byte", "QQ==", "A"},
    {"one_pad_two_bytes", "QUI=", "AB"},
    {"pad_third_ignores_fourth", "QU=x", "A"},
    {"pad_third_and_fourth_alphabet", "QU=J", "A"},
    // s0 = 255: b1 = (1020 + 1) mod 256 = 0xFD; b2 = 256 + 5 -> 0x05; b3 = 1280 + 9 -> 0x09.
    {"pad_first", "=QUJ", "\xfd\x05\x09"s},
    // s1 = 255: b1 = 64 + 15 = 0x4F; b2 = 4080 + 2 -> 0xF2; b3 = 576 + 3 -> 0x43.
    {"pad_second", "Q=JD", "\x4f\xf2\x43"s},
    // All four 255: s2 is the marker, b1 = 1020 + 15 -> 0x0B.
    {"all_pads", "====", "\x0b"s},
    {"pad_in_middle_keeps_decoding", "QQ==QUJD", "AABC"},
    {"two_short_groups", "QUI=QQ==", "ABA"},
    // Slots start at zero: "*" leaves s0 = 0; b1 = 0 + 1, b2 = 320 + 2 -> 0x42, b3 = 576 + 3 -> 0x43.
    {"foreign_first_group_uses_zero", "*UJD", "\x01\x42\x43"s},
    {"foreign_bytes_above_127_first_group", "\xc3\xa9JD"s, "\x00\x02\x43"s},
    {"foreign_keeps_previous_slot", "QUJDQ*JD", "ABCABC"},
    // The kept slot may be the marker: "*" in third place inherits "=", so one byte.
    {"foreign_keeps_previous_marker_third", "QQ==QU*D", "AA"},
    {"foreign_keeps_previous_marker_fourth", "QUI=QUJ\n", "ABAB"},
    // CR LF take two places: the second group is "\r\nRE" with s0, s1 kept from "QU":
    // b1 = 65, b2 = 320 + 4 -> 0x44, b3 = 1088 + 4 -> 0x44; "VG" is the ignored tail.
    {"line_break_shifts_grouping", "QUJD\r\nREVG", "ABCADD"},
    // " REV": s0 kept (16), s1 = 17, s2 = 4, s3 = 21: b1 = 65, b2 = 273 -> 0x11, b3 = 277 -> 0x15.
    {"space_shifts_grouping", "QUJD REVG", "ABC\x41\x11\x15"s},
};

TEST(Base64, DecodesByTheLenientRules) {
    for (const Case &c : kDecodeCases)
        EXPECT_EQ(Base64Decode(c.in), c.out) << c.name;
}

} // namespace
} // namespace zevlo
