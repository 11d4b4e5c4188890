#include "engine/CheckPage.h"

#include "engine/TextRules.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zevlo::text {

namespace {

bool CanBeInAddress(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '.' || c == ':';
}

// The four numbers of a valid dotted IPv4 address.
std::array<unsigned, 4> Octets(std::string_view address) {
    std::array<unsigned, 4> octets{};
    std::size_t index = 0;
    for (const char c : address) {
        if (c == '.')
            ++index;
        else
            octets[index] = octets[index] * 10 + static_cast<unsigned>(c - '0');
    }
    return octets;
}

bool IsPublicIpv4(std::string_view address) {
    const auto [a, b, c, d] = Octets(address);
    (void)c;
    (void)d;
    return !(a == 0 || a == 10 || a == 127 || a >= 224 || (a == 100 && b >= 64 && b < 128) || (a == 169 && b == 254) ||
             (a == 172 && b >= 16 && b < 32) || (a == 192 && b == 168));
}

// 2000::/3: the first group's top three bits are 001 (a text starting "::" has a zero group).
bool IsGlobalIpv6(std::string_view address) {
    if (address.starts_with(":"))
        return false;
    unsigned first = 0;
    for (const char c : address.substr(0, address.find(':'))) {
        const unsigned digit = c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>((c | 0x20) - 'a' + 10);
        first = first * 16 + digit;
    }
    return (first & 0xE000) == 0x2000;
}

} // namespace

bool IsPublicUnicast(std::string_view address) {
    if (IsIpv4Address(address))
        return IsPublicIpv4(address);
    return IsIpv6Address(address) && IsGlobalIpv6(address);
}

std::string AddressInPage(std::string_view page) {
    std::string found;
    std::size_t i = 0;
    while (i < page.size()) {
        if (!CanBeInAddress(page[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < page.size() && CanBeInAddress(page[end]))
            ++end;
        std::string_view word = page.substr(i, end - i);
        i = end;
        // A sentence's full stop or a label's colon around the address is no part of it.
        while (!word.empty() && (word.back() == '.' || word.back() == ':'))
            word.remove_suffix(1);
        while (word.size() > 1 && word.front() == ':' && word[1] != ':')
            word.remove_prefix(1);
        if (!IsPublicUnicast(word))
            continue;
        if (!found.empty() && found != word)
            return {};
        found = word;
    }
    return found;
}

std::string MoreLinesNote(std::string_view answer) {
    const std::size_t lineEnd = answer.find_first_of("\r\n");
    if (lineEnd == std::string_view::npos || !IsIpAddress(TrimBlanks(answer.substr(0, lineEnd))))
        return {};
    int more = 0;
    std::string_view rest = answer.substr(lineEnd);
    while (!rest.empty()) {
        const std::size_t next = rest.find_first_of("\r\n");
        const std::string_view line = rest.substr(0, next);
        if (!TrimBlanks(line).empty())
            ++more;
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
    }
    if (more == 0)
        return {};
    return " and " + std::to_string(more) + (more == 1 ? " more line" : " more lines");
}

} // namespace zevlo::text
