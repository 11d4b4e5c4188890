// Loads arbitrary bytes as Settings.ini, saves, reloads and saves again. Checks that the
// fields survive the round trip, that a second save writes the same bytes, that lines the
// program does not read come back unchanged and in order, and that the file is CR LF text.
#include "data/SettingsSchema.h"
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
    const auto schema = zevlo::SettingsSchema();
    return std::any_of(schema.begin(), schema.end(), [&](const zevlo::Setting &setting) {
        const std::string k = setting.key;
        return k.size() == name.size() && std::equal(k.begin(), k.end(), name.begin(), [](char a, char b) {
                   auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
                   return up(a) == up(b);
               });
    });
}

std::vector<std::string> Fields(const zevlo::Tdm &dm) {
    std::vector<std::string> fields;
    for (const zevlo::Setting &setting : zevlo::SettingsSchema())
        fields.push_back(zevlo::SettingText(setting, dm));
    return fields;
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
    std::int64_t wide = 0;
    if (size <= 64 && zevlo::ParseSettingsInt(input, wide)) {
        std::int64_t again = 0;
        Check(zevlo::ParseSettingsInt(std::to_string(wide), again) && again == wide, "64-bit integer text round trip");
        Check(zevlo::ParseSettingsInt(input, number) == (wide >= INT32_MIN && wide <= INT32_MAX), "widths agree");
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
