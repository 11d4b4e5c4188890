#pragma once

#include "platform/ProcessRunner.h"

#include <cstddef>
#include <string>

// curl's answer to one request: the body the service sent, and the HTTP status, which curl
// writes after the body as a marked trailer (--write-out, which curl 7.55 has; its stderr
// target came only in 7.63).
namespace zevlo {

// A mark no service can put into its body: random per program run, never sent anywhere.
std::string NewStatusMark();

// The --write-out format: the mark, then "<status> <body bytes curl received>>".
std::string StatusTrailerFormat(const std::string &mark);

struct CurlReply {
    std::string body;
    int status = 0;          // 0: unknown (no trailer, or no answer: curl writes 000)
    long long received = -1; // body bytes curl received; -1: unknown
};

// Splits the trailer off what curl printed. The body is what came before the last trailer
// and after the one before it, if any (a request that curl's configuration file added comes
// first). Without a trailer the whole output is the body, of unknown status.
CurlReply ReadCurlReply(const std::string &output, const std::string &mark);

// curl received a body but printed none: its configuration file sent it elsewhere (an
// "output" line, which no later option undoes for the request it applies to).
inline constexpr const char *kAnswerElsewhereText =
    "ERROR - curl wrote the answer elsewhere (an \"output\" line in its configuration file?)";
inline bool AnswerWentElsewhere(const CurlReply &reply) {
    return reply.received > 0 && reply.body.empty();
}

// The longest answer the program reads: a dyndns2 answer or a check page is a few lines. A
// longer one is no answer (its end, and with it the status, were dropped unread).
inline constexpr std::size_t kMaxAnswerBytes = 64 * 1024;
inline constexpr const char *kAnswerTooLongText = "ERROR - the answer was longer than 64 KiB";
inline bool AnswerTooLong(const platform::RunResult &run, const CurlReply &reply) {
    return run.outputCut || reply.body.size() > kMaxAnswerBytes;
}

} // namespace zevlo
