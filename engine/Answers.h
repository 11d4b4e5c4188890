#pragma once

#include <string>
#include <string_view>

// What the service's answers mean: one table, read by the log line, the box, the tray tip and
// the command line's exit status alike.
namespace zevlo {

// Ordered from best to worst: a multi-line answer (several host names) takes its worst line's.
enum class AnswerClass {
    Success,        // the service took the address
    Warning,        // it kept the address and warned (nochg)
    Error,          // anything the table does not know
    ServiceTrouble, // the service has a problem: no update for a while
    Refusal,        // it refused what it was given: no update until the user acts
    NoAnswer,       // nothing came back
};

// One answer as the program reports it.
struct Verdict {
    AnswerClass kind = AnswerClass::Error;
    std::string text;    // the answer as received on one log line, or "HTTP 401 Unauthorized"
    std::string meaning; // a few plain words; empty when the table has none

    // "badauth (the service refused the user name or password)"
    std::string Line() const;
};

// The HTTP status as a reader knows it: "HTTP 404 Not Found" (the standard's reason phrase),
// "HTTP 599" for one without.
std::string StatusText(int status);

// An update answer: its body and HTTP status (0 when unknown). The codes are read by prefix,
// line by line, in any case; an answer holding "too many requests" is that error. A status of
// 400 or above whose body starts with no code, and any redirect, are read by the status. An empty body with a
// status below 300 is an error; with none it is no answer (the caller tells why).
Verdict ClassifyUpdateAnswer(std::string_view body, int status);

// A check answered with a status of 300 or above: a failure, worded by the code its body
// starts with, or else by the status.
Verdict ClassifyFailedCheck(std::string_view body, int status);

// The meaning of a verdict's text as stored ("badauth", "HTTP 401 Unauthorized").
std::string MeaningOfStoredAnswer(const std::string &text);

} // namespace zevlo
