#pragma once

#include <span>
#include <string>
#include <vector>

// The curl options a request is made with, in one table with the oldest curl that has each,
// as curl's documentation gives it ("Added in"). The oldest curl to support is the 7.55 that
// Windows 10 1803 ships as C:\Windows\System32\curl.exe.
namespace zevlo {

inline constexpr const char *kOldestCurl = "7.55.0";

// curl gives up on a transfer this long after it started: just after the runner's own bound of
// 60 s, so that a curl whose program was killed ends by itself soon after.
inline constexpr int kCurlMaxSeconds = 61;

struct CurlOption {
    const char *spelling; // as it stands in the arguments ("-X" for "-XGET")
    const char *longName; // as curl's documentation names it
    // The oldest curl with it: its documented "Added in"; for a --no- form the later of that
    // and 7.19.0, where every boolean option got its --no- form.
    const char *addedIn;
    bool takesValue; // the next argument is its value
    const char *why;
};

std::span<const CurlOption> CurlOptionTable();

// The options that follow curl's configuration file (~/.curlrc, %APPDATA%\_curlrc) on every
// request, so that none of its lines can change what the program reads or where it goes:
// no redirects (a redirect from HTTPS to plain HTTP on another host once got a "good"
// answered for the service), no headers in the output, the body also on errors, the body on
// standard output, headers and traces to the null device, the URL's scheme only, the time
// bound, and the status trailer. The trust settings (cacert, capath, insecure, proxy) stay.
std::vector<std::string> AnswerOptions(const std::string &scheme, const std::string &statusMark);

// The table's option for an argument, or null when the table has none.
const CurlOption *OptionOf(const std::string &argument);

} // namespace zevlo
