#include "engine/TextRules.h"

#include "platform/FileIO.h"

#include <vector>

namespace zevlo::text {

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}
bool IsBlankOrControl(unsigned char c) {
    return c <= 0x20 || c == 0x7F;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool NeedsPercent(unsigned char c) {
    if (IsControl(c) || c > 127)
        return true;
    switch (c) {
    case ' ':
    case '"':
    case '#':
    case '%':
    case '&':
    case '+':
    case '=':
    case '?':
    case '[':
    case ']':
    case '{':
    case '}':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '|':
        return true;
    default:
        return false;
    }
}

struct CurlMeaning {
    int status;
    const char *words;
};

// curl's exit statuses that a request of ours can end with, as a user would say them.
constexpr CurlMeaning kCurlMeanings[] = {
    {3, "the address is malformed"},
    {5, "could not resolve the proxy"},
    {6, "could not resolve the host name"},
    {7, "could not connect to the server"},
    {22, "the server answered with an HTTP error"},
    {28, "the request timed out"},
    {35, "the secure connection failed"},
    {47, "too many redirects"},
    {52, "the server sent no answer"},
    {55, "sending the request failed"},
    {56, "the connection was broken"},
    {58, "the client certificate could not be used"},
    {60, "the server's certificate is not trusted"},
    {67, "the server refused the login"},
    {77, "the trusted certificates could not be read"},
};

// curl's own complaint stands in for a status the table does not know.
std::string CurlStatusText(int status, std::string_view errors) {
    const std::string number = "curl error " + std::to_string(status);
    for (const CurlMeaning &meaning : kCurlMeanings)
        if (meaning.status == status)
            return std::string(meaning.words) + " (" + number + ")";
    const std::string complaint = TrimBlanks(FirstLine(TrimBlanks(errors), 120));
    return complaint.empty() ? number : complaint + " (" + number + ")";
}

// "60 seconds", "1.5 seconds", "1 second".
std::string SecondsText(int milliseconds) {
    std::string text = std::to_string(milliseconds / 1000);
    if (milliseconds % 1000 != 0) {
        std::string fraction = std::to_string(1000 + milliseconds % 1000).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        text += "." + fraction;
    }
    return text + (milliseconds == 1000 ? " second" : " seconds");
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

// Groups of one IPv6 side ("" for none); counts an embedded IPv4 tail as two groups.
bool CountIpv6Groups(std::string_view side, bool mayEndInIpv4, int &groups) {
    groups = 0;
    if (side.empty())
        return true;
    const auto parts = Split(side, ':');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        if (i + 1 == parts.size() && mayEndInIpv4 && part.find('.') != std::string_view::npos) {
            if (!IsIpv4Address(part))
                return false;
            groups += 2;
            continue;
        }
        if (part.empty() || part.size() > 4)
            return false;
        for (char c : part)
            if (!IsHexDigit(c))
                return false;
        ++groups;
    }
    return true;
}

// The first `maxBytes` bytes at most, stepping back over up to three UTF-8 continuation
// bytes so a character is never split (harmless for 8-bit code pages: the text only gets shorter).
std::string_view CutAt(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    std::size_t cut = maxBytes;
    for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back)
        --cut;
    return text.substr(0, cut);
}

} // namespace

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool ContainsTooManyRequests(std::string_view text) {
    return LowerAscii(text).find("too many requests") != std::string::npos;
}

std::string TrimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlankOrControl(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1])))
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::string EncodeQueryValue(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsPercent(c)) {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        } else {
            encoded += ch;
        }
    }
    return encoded;
}

std::string QuoteConfigValue(std::string_view value) {
    std::string quoted;
    quoted.reserve(value.size() + 2);
    for (char c : value) {
        switch (c) {
        case '\\':
            quoted += "\\\\";
            break;
        case '"':
            quoted += "\\\"";
            break;
        case '\t':
            quoted += "\\t";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\v':
            quoted += "\\v";
            break;
        default:
            quoted += c;
        }
    }
    return quoted;
}

std::string WithoutControlBytes(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text)
        if (!IsControl(static_cast<unsigned char>(c)))
            kept += c;
    return kept;
}

bool IsIpv4Address(std::string_view text) {
    const auto parts = Split(text, '.');
    if (parts.size() != 4)
        return false;
    for (std::string_view part : parts) {
        if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
            return false;
        int value = 0;
        for (char c : part) {
            if (!IsDigit(c))
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255)
            return false;
    }
    return true;
}

bool IsIpv6Address(std::string_view text) {
    const std::size_t gap = text.find("::");
    if (gap == std::string_view::npos) {
        int groups = 0;
        return CountIpv6Groups(text, true, groups) && groups == 8;
    }
    const std::string_view head = text.substr(0, gap);
    const std::string_view tail = text.substr(gap + 2);
    if (tail.find("::") != std::string_view::npos)
        return false;
    // ":::" and "1:::2" leave a stray colon at a side's edge, which the group count rejects.
    int headGroups = 0;
    int tailGroups = 0;
    if (!CountIpv6Groups(head, false, headGroups) || !CountIpv6Groups(tail, true, tailGroups))
        return false;
    return headGroups + tailGroups <= 7;
}

std::string FirstLine(std::string_view text, std::size_t maxBytes) {
    std::string shown(CutAt(text.substr(0, text.find_first_of("\r\n")), maxBytes));
    for (char &c : shown)
        if (IsControl(static_cast<unsigned char>(c)))
            c = ' ';
    return shown;
}

std::string OneLogLine(std::string_view text, std::size_t maxBytes) {
    std::string flat;
    flat.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        flat += IsControl(c) ? ' ' : text[i];
    }
    flat = TrimBlanks(flat);
    if (flat.size() <= maxBytes)
        return flat;
    static constexpr std::size_t kMarkBytes = 3;
    return std::string(CutAt(flat, maxBytes > kMarkBytes ? maxBytes - kMarkBytes : 0)) + "...";
}

std::string NoAnswerReason(const platform::RunResult &run, AnswerSource source) {
    const bool script = source == AnswerSource::Script;
    switch (run.end) {
    case platform::ChildEnd::NotStarted:
        if (run.startError != 0 && !platform::IsNotFoundError(run.startError))
            return std::string(script ? "the script" : "curl") +
                   " could not be started: " + platform::SystemErrorText(run.startError);
        return script ? "the script could not be started" : "curl was not found";
    case platform::ChildEnd::Exited:
        if (run.status == 0)
            return {};
        return script ? "the script ended with status " + std::to_string(run.status)
                      : CurlStatusText(run.status, run.errors);
    case platform::ChildEnd::Signalled:
        return std::string(script ? "the script" : "curl") + " was ended by signal " + std::to_string(run.status);
    case platform::ChildEnd::TimedOut:
        return "no answer within " + SecondsText(run.status);
    case platform::ChildEnd::Terminated:
        return "the program is ending";
    }
    return {};
}

bool GotNoAnswer(const platform::RunResult &run, AnswerSource source) {
    if (run.end == platform::ChildEnd::TimedOut)
        return true;
    // curl's exit statuses as its manual lists them.
    constexpr int kCouldNotResolveHost = 6, kCouldNotConnect = 7, kOperationTimedOut = 28;
    return source == AnswerSource::Curl && run.end == platform::ChildEnd::Exited &&
           (run.status == kCouldNotResolveHost || run.status == kCouldNotConnect || run.status == kOperationTimedOut);
}

std::string NoAnswerText(const platform::RunResult &run, AnswerSource source) {
    const std::string reason = NoAnswerReason(run, source);
    return "ERROR - Empty string returned" + (reason.empty() ? std::string() : " [" + reason + "]");
}

} // namespace zevlo::text
