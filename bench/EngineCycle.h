#pragma once

// The engine with its real runner and a Tdm writing to a temporary folder, its endpoints the
// local test service's (check over HTTP, update over HTTPS with Basic).

#include "bench/CurlService.h"
#include "crypto/Password.h"
#include "data/Tdm.h"
#include "engine/Engine.h"
#include "platform/ProcessRunner.h"
#include "tests/engine/EngineFakes.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace zevlo::bench {

struct EngineCycle {
    // log.txt holds `logLines` lines at the bound of as many, loaded as the program loads it.
    explicit EngineCycle(const std::filesystem::path &dataParent = std::filesystem::temp_directory_path(),
                         int logLines = 0)
        : temp(dataParent) {
        e2e::TestService &service = Service();
        dm.SettingsFile = temp.File("Settings.ini");
        dm.LogFile = temp.File("log.txt");
        dm.FMaxLog = std::max(logLines, 500);
        std::string log;
        for (int i = 0; i < logLines; ++i)
            log += "12/08/26 13:45:30\tCheck:  Detected the IP address change! Now: 203.0.113.7 Was: 198.51.100." +
                   std::to_string(i % 256) + "\r\n";
        test::WriteBytes(dm.LogFile, log);
        dm.LoadLog();
        dm.FSET_User = "alice";
        dm.FSET_Pass = EncryptPassword("secret");
        dm.FSET_Hostname = "home.example.net";
        endpoints.check = {"HTTP", std::to_string(service.Port("http")), "127.0.0.1", "/checkip", "GET", "None", 0};
        endpoints.update = {"HTTPS", std::to_string(service.Port("https")), "127.0.0.1", "/v3/update", "GET", "Basic",
                            0};
    }

    // The last log line without its time stamp.
    std::string LastEvent() const {
        const std::string &line = dm.LogLines.back();
        return line.substr(line.find('\t') + 1);
    }

    test::TempFolder temp;
    Tdm dm;
    fakes::FakeEndpoints endpoints;
    platform::ProcessRunner runner;
    fakes::RecordingNotifier notifier;
    Engine engine{dm, endpoints, runner, notifier, temp.Path()};
};

} // namespace zevlo::bench
