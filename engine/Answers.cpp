#include "engine/Answers.h"

#include "engine/TextRules.h"

#include <string>
#include <vector>

namespace zevlo {

namespace {

struct Code {
    const char *prefix; // lower case
    AnswerClass kind;
    const char *meaning;
};

constexpr const char *kRefusedLogin = "the service refused the user name or password";
constexpr const char *kTrouble = "the service has a problem";
constexpr const char *kNextTry = "; next try in 30 minutes";

// The dyndns2 return codes and the two generic forms, read by prefix.
constexpr Code kCodes[] = {
    {"good", AnswerClass::Success, "the service took the address"},
    {"success:", AnswerClass::Success, "the service took the address"},
    {"nochg", AnswerClass::Warning, "the service already had this address"},
    {"warning:", AnswerClass::Warning, ""},
    {"badauth", AnswerClass::Refusal, kRefusedLogin},
    {"!donator", AnswerClass::Refusal, "the account does not allow this update"},
    {"notfqdn", AnswerClass::Refusal, "the host name is not a full domain name"},
    {"nohost", AnswerClass::Refusal, "the host name does not belong to this account"},
    {"numhost", AnswerClass::Refusal, "too many host names in one update"},
    {"abuse", AnswerClass::Refusal, "the service blocked the host name for too many updates"},
    {"badagent", AnswerClass::Refusal, "the service refused this program or the request method"},
    {"badsys", AnswerClass::Refusal, "the service refused the request's system parameter"},
    {"dnserr", AnswerClass::ServiceTrouble, kTrouble},
    {"911", AnswerClass::ServiceTrouble, kTrouble},
};

struct Reason {
    int status;
    const char *phrase;
};

// RFC 9110's reason phrases (429: RFC 6585) of the statuses a service is likely to send.
constexpr Reason kReasons[] = {
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {204, "No Content"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {307, "Temporary Redirect"},
    {308, "Permanent Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "Not Acceptable"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {413, "Content Too Large"},
    {414, "URI Too Long"},
    {415, "Unsupported Media Type"},
    {429, "Too Many Requests"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
};

const Code *CodeAtStart(std::string_view line) {
    const std::string lowered = text::LowerAscii(line.substr(0, 16));
    for (const Code &code : kCodes)
        if (lowered.rfind(code.prefix, 0) == 0)
            return &code;
    return nullptr;
}

// A status without a code in the body, as the table reads it.
Verdict ByStatus(int status) {
    Verdict verdict{AnswerClass::Error, StatusText(status), ""};
    if (status == 401 || status == 403) {
        verdict.kind = AnswerClass::Refusal;
        verdict.meaning = kRefusedLogin;
    } else if (status == 404) {
        verdict.meaning = "no such page at the service: check the server and base URI";
    } else if (status >= 500) {
        verdict.kind = AnswerClass::ServiceTrouble;
        verdict.meaning = kTrouble;
    } else if (status == 429) {
        verdict.meaning = "the service asks for fewer requests";
    } else if (status >= 400) {
        verdict.meaning = "the service refused the request";
    } else if (status >= 300) {
        verdict.meaning = "the service sends the request elsewhere: check the protocol, server and base URI";
    } else {
        verdict.meaning = "the service sent no answer text";
    }
    return verdict;
}

std::vector<std::string_view> NonBlankLines(std::string_view body) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view line = body.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!text::TrimBlanks(line).empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Each line by its code; the worst decides, an unknown line being an error.
Verdict ByCodes(std::string_view body) {
    Verdict verdict{AnswerClass::Success, text::OneLogLine(body), ""};
    bool first = true;
    for (std::string_view line : NonBlankLines(body)) {
        const Code *code = CodeAtStart(line);
        const AnswerClass kind = code != nullptr ? code->kind : AnswerClass::Error;
        if (first || kind > verdict.kind) {
            verdict.kind = kind;
            verdict.meaning = code != nullptr ? code->meaning : "";
        }
        first = false;
    }
    return verdict;
}

} // namespace

std::string Verdict::Line() const {
    return meaning.empty() ? text : text + " (" + meaning + ")";
}

std::string StatusText(int status) {
    std::string text = "HTTP " + std::to_string(status);
    for (const Reason &reason : kReasons)
        if (reason.status == status)
            return text + " " + reason.phrase;
    return text;
}

Verdict ClassifyUpdateAnswer(std::string_view body, int status) {
    if (text::ContainsTooManyRequests(body))
        return {AnswerClass::Error, "Too many requests", ""};
    const bool blank = text::TrimBlanks(body).empty();
    Verdict verdict;
    if (blank && status == 0)
        verdict = {AnswerClass::NoAnswer, "", ""};
    else if (blank || (status >= 300 && status < 400) || (status >= 400 && CodeAtStart(body) == nullptr))
        verdict = ByStatus(status); // a redirect's body is never the service's answer
    else
        verdict = ByCodes(body);
    if (verdict.kind == AnswerClass::ServiceTrouble)
        verdict.meaning += kNextTry;
    return verdict;
}

Verdict ClassifyFailedCheck(std::string_view body, int status) {
    Verdict verdict = CodeAtStart(body) != nullptr ? ByCodes(body) : ByStatus(status);
    verdict.kind = AnswerClass::Error;
    return verdict;
}

std::string MeaningOfStoredAnswer(const std::string &text) {
    const std::string prefix = "HTTP ";
    if (text.rfind(prefix, 0) == 0) {
        int status = 0;
        for (std::size_t i = prefix.size(); i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            status = status * 10 + (text[i] - '0');
        if (status >= 300)
            return ClassifyUpdateAnswer("", status).meaning;
    }
    return ClassifyUpdateAnswer(text, 200).meaning;
}

} // namespace zevlo
