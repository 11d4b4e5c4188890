#include "engine/CurlReply.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>

namespace zevlo {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits at `at`; moves past them. None when there are none or too many to be ours.
std::optional<long long> Number(const std::string &text, std::size_t &at) {
    const std::size_t start = at;
    long long value = 0;
    while (at < text.size() && IsDigit(text[at]) && at - start < 18)
        value = value * 10 + (text[at++] - '0');
    if (at == start)
        return std::nullopt;
    return value;
}

struct Trailer {
    std::size_t begin = 0; // where its mark starts
    std::size_t end = 0;   // just past it
    int status = 0;
    long long received = 0;
};

// The trailer whose mark starts at `at`, when "<digits> <digits>" follows the mark.
std::optional<Trailer> TrailerAt(const std::string &text, std::size_t at, const std::string &mark) {
    std::size_t next = at + mark.size();
    const std::optional<long long> status = Number(text, next);
    if (!status || next >= text.size() || text[next] != ' ')
        return std::nullopt;
    ++next;
    const std::optional<long long> received = Number(text, next);
    // The closing bracket keeps a body that follows (a second request's) out of the number.
    if (!received || *status > 999 || next >= text.size() || text[next] != '>')
        return std::nullopt;
    return Trailer{at, next + 1, static_cast<int>(*status), *received};
}

} // namespace

std::string NewStatusMark() {
    std::uint64_t bits = 0;
    try {
        std::random_device device;
        bits = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (...) {
    }
    // Should the device fail, the clock still gives a mark no service can foresee.
    bits ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    static constexpr char kHex[] = "0123456789abcdef";
    std::string mark = "<zevlo-";
    for (int shift = 60; shift >= 0; shift -= 4)
        mark += kHex[(bits >> shift) & 0xF];
    return mark + " ";
}

std::string StatusTrailerFormat(const std::string &mark) {
    return mark + "%{http_code} %{size_download}>";
}

CurlReply ReadCurlReply(const std::string &output, const std::string &mark) {
    CurlReply reply;
    const std::size_t last = output.rfind(mark);
    const std::optional<Trailer> trailer = last == std::string::npos ? std::nullopt : TrailerAt(output, last, mark);
    if (!trailer || trailer->end != output.size()) {
        reply.body = output;
        return reply;
    }
    std::size_t begin = 0;
    for (std::size_t at = last; at > 0;) {
        at = output.rfind(mark, at - 1);
        if (at == std::string::npos)
            break;
        if (const std::optional<Trailer> earlier = TrailerAt(output, at, mark)) {
            begin = earlier->end;
            break;
        }
    }
    reply.body = output.substr(begin, last - begin);
    reply.status = trailer->status;
    reply.received = trailer->received;
    return reply;
}

} // namespace zevlo
