#include "engine/CurlOptions.h"

#include "engine/CurlReply.h"
#include "platform/Paths.h"

#include <cstring>

namespace zevlo {

namespace {

// clang-format off
constexpr CurlOption kOptions[] = {
    // What every request is made of.
    {"-s", "--silent", "4.0", false, "no progress meter"},
    {"-g", "--globoff", "7.6", false, "a bracket or brace typed into a field cannot make several requests"},
    {"-X", "--request", "6.0", false, "the method, GET or POST"},
    {"--basic", "--basic", "7.10.6", false, "authentication"},
    {"--digest", "--digest", "7.10.6", false, "authentication"},
    {"--ntlm", "--ntlm", "7.10.6", false, "authentication"},
    {"--negotiate", "--negotiate", "7.10.6", false, "authentication"},
    {"--anyauth", "--anyauth", "7.10.6", false, "authentication"},
    {"-K", "--config", "4.10", true, "the credentials as a config line on standard input, never on the command line"},
    {"-H", "--header", "5.0", true, "POST's Content-Length: 0, which servers ask of a POST"},
    {"-A", "--user-agent", "4.5.1", false, "the program's user agent"},
    // After the configuration file: what the program reads is the body, on standard output.
    {"--no-location", "--location", "7.19.0", false, "a redirect is never followed"},
    {"--no-location-trusted", "--location-trusted", "7.19.0", false, "the credentials never go to another host"},
    {"--no-include", "--include", "7.19.0", false, "no headers before the body"},
    {"--no-fail", "--fail", "7.19.0", false, "the body of an HTTP error too (a 401 may hold badauth)"},
    {"-o", "--output", "4.0", true, "the body on standard output (remote-name-all writes files)"},
    {"-D", "--dump-header", "5.7", true, "the headers to the null device, not into the body"},
    {"--trace-ascii", "--trace-ascii", "7.9.7", true, "no trace on standard output"},
    {"--proto", "--proto", "7.20.2", true, "the URL's own scheme only"},
    {"-m", "--max-time", "4.0", true, "curl ends by itself when the program could not end it"},
    {"-w", "--write-out", "6.5", true, "the HTTP status after the body (%{http_code}, %{size_download})"},
};
// clang-format on

} // namespace

std::span<const CurlOption> CurlOptionTable() {
    return kOptions;
}

std::vector<std::string> AnswerOptions(const std::string &scheme, const std::string &statusMark) {
    return {"--no-location",
            "--no-location-trusted",
            "--no-include",
            "--no-fail",
            "-o",
            "-",
            "-D",
            platform::NullDevice(),
            "--trace-ascii",
            platform::NullDevice(),
            "--proto",
            "=" + scheme,
            "-m",
            std::to_string(kCurlMaxSeconds),
            "-w",
            StatusTrailerFormat(statusMark)};
}

const CurlOption *OptionOf(const std::string &argument) {
    for (const CurlOption &option : kOptions) {
        const std::size_t length = std::strlen(option.spelling);
        // Short options carry their value glued on ("-XGET", "-AZevlo ...").
        const bool glued = length == 2 && argument.size() > 2 && (argument[1] == 'X' || argument[1] == 'A');
        if (argument == option.spelling || (glued && argument.compare(0, 2, option.spelling) == 0))
            return &option;
    }
    return nullptr;
}

} // namespace zevlo
