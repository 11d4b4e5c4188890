#pragma once

// What both programs' screenshot tools show: sample settings and a few days of a typical
// log, and services that make no request and touch no login entry.

#include "crypto/Password.h"
#include "data/Tdm.h"
#include "tests/support/NoAutostart.h"
#include "tests/support/ScriptedRunner.h"

#include <chrono>
#include <string>

namespace zevlo::screenshot {

using test::NoAutostart;
// With nothing scripted every request ends at once with nothing printed.
using SilentRunner = test::ScriptedRunner;

// Paused, so that the window shows its marker and no check runs: a first start with the
// account filled in and a service chosen, just before the first Unpause (the hint shows).
inline std::string SampleSettings() {
    return "FSET_User=alice\r\nFSET_Pass=" + EncryptPassword("correct horse") +
           "\r\nFSET_Hostname=home.example.net\r\nFSET_LAST_IP=203.0.113.7\r\nFSET_Interval=15\r\n"
           "FSET_StartWithWindows=TRUE\r\nFSET_StateIsPaused=TRUE\r\nFSET_FirstRun=TRUE\r\nFMaxLog=500\r\n"
           "FSET_UPD_Service=dyn\r\n";
}

// A few days of a typical log, in the user's date and time format.
inline std::string SampleLog() {
    using namespace std::chrono;
    const char *events[][2] = {
        {"Check: ", "Detected the IP address change! Now: 203.0.113.5 Was: 198.51.100.20"},
        {"Check: ", "No changed detected."},
        {"Check: ", "No changed detected."},
        {"Check: ", "ERROR - Empty string returned [could not connect to the server (curl error 7)]"},
        {"Check: ", "No changed detected."},
        {"Check: ", "Detected the IP address change! Now: 203.0.113.7 Was: 203.0.113.5"},
        {"Update:", "nochg 203.0.113.7"},
        {"Check: ", "ERROR - Not an IP address [<html><head><title>502 Bad Gateway</title>]"},
        {"Check: ", "No changed detected."},
    };
    std::string log;
    auto when = system_clock::now() - hours(50);
    for (const auto &event : events) {
        log += Tdm::LogTimestamp(when) + "\t" + event[0] + " " + event[1] + "\r\n";
        when += minutes(15) * 23;
    }
    return log;
}

} // namespace zevlo::screenshot
