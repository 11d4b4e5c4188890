#pragma once

#include "platform/ProcessRunner.h"

#include <string>
#include <string_view>

// Text rules of the requests and answers, kept apart from the engine so each can be tested alone.
namespace zevlo::text {

// ASCII A to Z only, whatever the locale.
std::string LowerAscii(std::string_view text);
bool ContainsTooManyRequests(std::string_view text);

// Without the surrounding bytes up to and including the blank (tabs, line ends, other controls).
std::string TrimBlanks(std::string_view text);

// Percent-encodes (uppercase hex) only the bytes that would change the meaning of a URL:
// space " # % & + = ? [ ] { } < > \ ^ ` |, control bytes and bytes above 127.
std::string EncodeQueryValue(std::string_view value);

// The value between double quotes in a curl config line: \ " TAB LF CR VT escaped.
std::string QuoteConfigValue(std::string_view value);

// Control bytes dropped, so a typed line break cannot add a header to the request.
std::string WithoutControlBytes(std::string_view text);

// True for exactly one IPv4 address in dotted decimal (no leading zeros) or one IPv6 address
// in any RFC 4291 text form (no zone, no prefix length).
bool IsIpv4Address(std::string_view text);
bool IsIpv6Address(std::string_view text);
inline bool IsIpAddress(std::string_view text) {
    return IsIpv4Address(text) || IsIpv6Address(text);
}

// The text before its first line end, cut at `maxBytes` (never half of a UTF-8 sequence),
// control bytes turned into blanks.
std::string FirstLine(std::string_view text, std::size_t maxBytes);

// One log line of at most `maxBytes`: every line end (CR LF, CR or LF) and other control
// byte becomes one blank, surrounding blanks go, and a longer text keeps its first
// `maxBytes` - 3 bytes (never half of a UTF-8 sequence) followed by "...".
std::string OneLogLine(std::string_view text, std::size_t maxBytes = 200);

// What ran for an answer: curl, or the user's own script through the interpreter.
enum class AnswerSource { Curl, Script };

// Why a run gave no answer, in a few words: curl's meaning of its exit status and the
// number, that it could not be started, that it was ended at the runner's bound or for
// termination. Empty
// when it exited with status 0 and simply printed nothing.
std::string NoAnswerReason(const platform::RunResult &run, AnswerSource source);

// "ERROR - Empty string returned", with the reason in brackets when the run tells one.
std::string NoAnswerText(const platform::RunResult &run, AnswerSource source);

// Silence from the other end: it could not be resolved or reached, or kept quiet until curl's
// time-out or the runner's bound. The line or the service may be back in a minute, unlike an
// answer we did not like or a certificate we refused, so only this is worth asking again soon.
bool GotNoAnswer(const platform::RunResult &run, AnswerSource source);

} // namespace zevlo::text
