// Loads arbitrary bytes as Settings.ini, saves, reloads and saves again. Checks that the
// fields survive the round trip, that a second save writes the same bytes, that lines the
// program does not read come back unchanged and in order, and that the file is CR LF text.
#include "data/Tdm.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char *const kKeys[] = {
    "FMaxLog",
    "FSET_LAST_IP",
    "FSET_FrmX",
    "FSET_FrmY",
    "FSET_Interval",
    "FSET_StartWithWindows",
    "FSET_User",
    "FSET_Pass",
    "FSET_Hostname",
    "FSET_FirstRun",
    "FSET_Enabled",
    "FSET_RememberPaused",
    "FSET_StateIsPaused",
    "FSET_UPD_Protocol",
    "FSET_UPD_Port",
    "FSET_UPD_Server",
    "FSET_UPD_BaseURI",
    "FSET_UPD_Method",
    "FSET_UPD_Auth",
    "FSET_CIP_Protocol",
    "FSET_CIP_Port",
    "FSET_CIP_BaseURI",
    "FSET_CIP_Method",
    "FSET_CIP_Auth",
    "FSET_CIP_Server",
    "FSET_CIP_CHKCUSTOM",
    "FSET_CIP_CUSTOMSCRIPT",
};

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Check(bool condition, const char *what) {
    if (!condition)
        Fail(what);
}

bool IsKnownKeyLine(const std::string &line) {
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    const std::string name = line.substr(0, equals);
    return std::any_of(std::begin(kKeys), std::end(kKeys), [&](const char *key) {
        const std::string k = key;
        return k.size() == name.size() && std::equal(k.begin(), k.end(), name.begin(), [](char a, char b) {
                   auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
                   return up(a) == up(b);
               });
    });
}

std::vector<std::string> Fields(const zevlo::Tdm &dm) {
    auto b = [](bool v) { return std::string(v ? "1" : "0"); };
    auto i = [](std::int32_t v) { return std::to_string(v); };
    return {i(dm.FMaxLog),
            dm.FSET_LAST_IP,
            i(dm.FSET_FrmX),
            i(dm.FSET_FrmY),
            i(dm.FSET_Interval),
            b(dm.FSET_StartWithWindows),
            dm.FSET_User,
            dm.FSET_Pass,
            dm.FSET_Hostname,
            b(dm.FSET_FirstRun),
            b(dm.FSET_Enabled),
            b(dm.FSET_RememberPaused),
            b(dm.FSET_StateIsPaused),
            i(dm.FSET_UPD_Protocol),
            dm.FSET_UPD_Port,
            dm.FSET_UPD_Server,
            dm.FSET_UPD_BaseURI,
            i(dm.FSET_UPD_Method),
            i(dm.FSET_UPD_Auth),
            i(dm.FSET_CIP_Protocol),
            dm.FSET_CIP_Port,
            dm.FSET_CIP_BaseURI,
            i(dm.FSET_CIP_Method),
            i(dm.FSET_CIP_Auth),
            dm.FSET_CIP_Server,
            b(dm.FSET_CIP_CHKCUSTOM),
            dm.FSET_CIP_CUSTOMSCRIPT};
}

std::string ReadBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string &SettingsPath() {
    static const std::string path = [] {
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        const auto folder = base / ("zevlo-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        static const std::filesystem::path removeAtExit = folder;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removeAtExit, ignored);
        });
        return (folder / "Settings.ini").string();
    }();
    return path;
}

std::vector<std::string> UnknownLines(const zevlo::TextList &lines) {
    std::vector<std::string> unknown;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(unknown),
                 [](const std::string &line) { return !IsKnownKeyLine(line); });
    return unknown;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);

    std::int32_t number = 0;
    if (size <= 64 && zevlo::ParseSettingsInt(input, number)) {
        std::int32_t again = 0;
        Check(zevlo::ParseSettingsInt(std::to_string(number), again) && again == number, "integer text round trip");
    }

    const std::string &path = SettingsPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
    }

    zevlo::Tdm first;
    first.SettingsFile = path;
    first.LoadSettings();
    const auto loaded = Fields(first);
    const auto unknownBefore = UnknownLines(first.SettingsList);
    Check(first.SaveSettings(), "first save");
    const std::string saved = ReadBytes(path);
    Check(saved == zevlo::JoinLines(first.SettingsList), "file holds the list");
    Check(UnknownLines(first.SettingsList) == unknownBefore, "unknown lines kept in order");
    Check(Fields(first) == loaded, "save changed a field");
    for (const auto &line : first.SettingsList)
        Check(line.find_first_of("\r\n") == std::string::npos, "line break inside a line");

    zevlo::Tdm second;
    second.SettingsFile = path;
    second.LoadSettings();
    Check(Fields(second) == loaded, "fields after reload");
    Check(second.SaveSettings(), "second save");
    Check(ReadBytes(path) == saved, "second save wrote other bytes");

    first.SettingsFile.clear();
    second.SettingsFile.clear();
    return 0;
}
