#include "data/Tdm.h"
#include "engine/Engine.h"
#include "platform/Paths.h"
#include "platform/ProcessRunner.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace zevlo {
namespace {

using namespace zevlo::test;

// Folder names that split an unquoted cmd.exe command line.
const char *const kAwkwardFolders[] = {"Program Files (x86)\\", "A & B\\", "Tools (x86) & more\\", "50% off\\"};

struct ScriptEndpoints final : IEndpointSource {
    std::string script;
    EndpointValues Endpoint(RequestKind) const override { return {}; }
    bool CustomScriptChecked() const override { return true; }
    std::string CustomScriptPath() const override { return script; }
    std::string UserText() const override { return {}; }
    std::string PasswordText() const override { return {}; }
};

struct ShownMessages final : INotifier {
    std::vector<std::string> texts;
    void ShowMessage(MessageKind, const std::string &text) override { texts.push_back(text); }
};

std::string MakeScript(const std::string &root, const std::string &folders, const std::string &body) {
    const std::string dir = root + folders;
    EXPECT_TRUE(platform::MakeDirs(dir)) << dir;
    const std::string script = dir + "get ip.bat";
    WriteBytes(script, body);
    return script;
}

TEST(WindowsCustomScript, RunsThroughCmdInAwkwardFolders) {
    TempFolder root;
    platform::ProcessRunner runner;
    std::string folders;
    for (const char *folder : kAwkwardFolders) {
        folders += folder;
        // %~dp0 is the script's own folder; cd shows the working folder the runner gave it.
        const std::string script = MakeScript(root.Path(), folders, "@echo 203.0.113.9\r\n@cd\r\n");
        const std::string dir = platform::DirectoryOf(script);
        const std::string output = runner.RunCommand(platform::QuoteForInterpreter(script), dir).output;
        EXPECT_EQ(output, "203.0.113.9\r\n" + dir.substr(0, dir.size() - 1) + "\r\n") << script;
    }
}

TEST(WindowsCustomScript, EngineStoresTheAddressTheScriptPrints) {
    TempFolder root;
    ScriptEndpoints endpoints;
    endpoints.script = MakeScript(root.Path(), "Program Files (x86)\\A & B\\", "@echo  203.0.113.9 \r\n");

    Tdm dm;
    dm.SettingsFile = root.Path() + "Settings.ini";
    dm.LogFile = root.Path() + "log.txt";
    dm.AppDir = root.Path();
    dm.FSET_LAST_IP = "203.0.113.7";
    platform::ProcessRunner runner;
    ShownMessages notifier;
    Engine engine(dm, endpoints, runner, notifier, root.Path());

    EXPECT_TRUE(engine.CheckPublicIP());
    EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.9");
    EXPECT_TRUE(notifier.texts.empty());

    // A second run finds no change.
    EXPECT_FALSE(engine.CheckPublicIP());
    EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.9");
}

TEST(WindowsCustomScript, ScriptThatPrintsNothingIsAnEmptyAnswer) {
    TempFolder root;
    ScriptEndpoints endpoints;
    endpoints.script = MakeScript(root.Path(), "A & B\\", "@rem offline\r\n");
    Tdm dm;
    dm.FSET_LAST_IP = "203.0.113.7";
    platform::ProcessRunner runner;
    ShownMessages notifier;
    Engine engine(dm, endpoints, runner, notifier, root.Path());
    EXPECT_FALSE(engine.CheckPublicIP());
    EXPECT_EQ(dm.FSET_LAST_IP, "203.0.113.7");
    ASSERT_FALSE(dm.LogLines.empty());
    EXPECT_TRUE(dm.LogLines.back().ends_with("Check:  ERROR - Empty string returned")) << dm.LogLines.back();

    // A failing script says so.
    WriteBytes(endpoints.script, "@exit /b 3\r\n");
    EXPECT_FALSE(engine.CheckPublicIP());
    EXPECT_TRUE(dm.LogLines.back().ends_with("ERROR - Empty string returned [the script ended with status 3]"))
        << dm.LogLines.back();
}

} // namespace
} // namespace zevlo
