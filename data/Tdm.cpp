#include "data/Tdm.h"

#include "data/KnownServices.h"
#include "data/SettingsSchema.h"
#include "platform/DateTime.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"

#include <iostream>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

namespace zevlo {

namespace {

// True when the line is "name=..." for the name; lines without "=" never match.
bool LineHasName(const std::string &line, const std::string &name) {
    const auto equals = line.find('=');
    return equals != std::string::npos && SameIgnoringAsciiCase(std::string_view(line).substr(0, equals), name);
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The integer rules of Settings.ini for a signed type of any width.
template <typename Int> bool ParseSettingsInteger(const std::string &text, Int &value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size())
        return false; // nothing, a sign alone or a prefix alone
    // The magnitude may reach the type's maximum plus one only for a negative number.
    using Magnitude = std::make_unsigned_t<Int>;
    const Magnitude limit = static_cast<Magnitude>(std::numeric_limits<Int>::max()) + (negative ? 1u : 0u);
    const unsigned base = hex ? 16 : 10;
    Magnitude magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], hex);
        if (digit < 0)
            return false;
        const auto digitValue = static_cast<Magnitude>(digit);
        if (magnitude > (limit - digitValue) / base)
            return false;
        magnitude = magnitude * base + digitValue;
    }
    // Negated in the unsigned type: the most negative value has no positive counterpart.
    value = negative ? static_cast<Int>(Magnitude{0} - magnitude) : static_cast<Int>(magnitude);
    return true;
}

} // namespace

bool ParseSettingsInt(const std::string &text, std::int32_t &value) {
    return ParseSettingsInteger(text, value);
}

bool ParseSettingsInt(const std::string &text, std::int64_t &value) {
    return ParseSettingsInteger(text, value);
}

Tdm::Tdm(Clock clock)
    : clock_(clock ? std::move(clock) : Clock(std::chrono::system_clock::now)),
      keyFound_(SettingsSchema().size(), false) {
    for (const Setting &setting : SettingsSchema())
        SetSettingValue(setting, *this, setting.created);
}

Tdm::~Tdm() {
    try {
        SaveSettings();
    } catch (const std::exception &error) {
        std::cerr << error.what() << '\n';
    } catch (...) {
        std::cerr << "Cannot save the settings.\n";
    }
    try {
        SaveLog();
    } catch (const std::exception &error) {
        std::cerr << error.what() << '\n';
    } catch (...) {
        std::cerr << "Cannot save the log.\n";
    }
}

void Tdm::LoadSettings() {
    if (!platform::PathExists(SettingsFile))
        return;
    std::string bytes;
    platform::FileStamp stamp;
    try {
        bytes = platform::ReadOwnFile(SettingsFile, &stamp);
    } catch (const FileError &) {
        settingsUnreadable_ = true;
        throw;
    }
    // Reading was the only step that can fail; the fields change only after it.
    SettingsList = SplitLines(bytes);
    settingsUnreadable_ = false;
    settingsOnDisk_ = std::move(bytes);
    settingsStamp_ = stamp;

    const KnownService *service = FindKnownService(GetStr(SettingKey(&Tdm::FSET_UPD_Service), ""));
    const std::span<const Setting> schema = SettingsSchema();
    for (std::size_t i = 0; i < schema.size(); ++i) {
        keyFound_[i] = !GetStr(schema[i].key, "").empty();
        const std::optional<SettingValue> followed = service ? ServiceValue(*service, schema[i]) : std::nullopt;
        LoadSetting(schema[i], *this, followed.value_or(schema[i].absent));
    }
}

bool Tdm::KeyWasAbsent(const std::string &key) const {
    const std::span<const Setting> schema = SettingsSchema();
    for (std::size_t i = 0; i < schema.size(); ++i)
        if (key == schema[i].key)
            return !keyFound_[i];
    return true;
}

void Tdm::ApplyValuesWithoutFile() {
    for (const Setting &setting : SettingsSchema())
        SetSettingValue(setting, *this, setting.withoutFile);
}

void Tdm::PutFieldsIntoList() {
    // Fields that follow the service stay empty, so a corrected row reaches them.
    const KnownService *service = FindKnownService(FSET_UPD_Service);
    for (const Setting &setting : SettingsSchema()) {
        const std::optional<SettingValue> followed = service ? ServiceValue(*service, setting) : std::nullopt;
        SetStr(setting.key, followed && HoldsValue(setting, *this, *followed) ? "" : SettingText(setting, *this));
    }
}

bool Tdm::SettingsFileHolds(const std::string &bytes) const {
    // Compared with what was written, not read back: one look at the file tells whether it is
    // still that one. A private file that others can read is written anyway, which takes their
    // access away.
    if (!settingsStamp_ || bytes != settingsOnDisk_)
        return false;
    const std::optional<platform::FileStamp> now = platform::StampOf(SettingsFile);
    return now == settingsStamp_ && !platform::OthersHaveAccess(*now);
}

bool Tdm::SaveSettings(bool overwriteUnreadable) {
    if (SettingsFile.empty() || (settingsUnreadable_ && !overwriteUnreadable))
        return false;
    PutFieldsIntoList();
    std::string bytes = JoinLines(SettingsList);
    if (!overwriteUnreadable && SettingsFileHolds(bytes))
        return true;
    settingsStamp_.reset();
    settingsStamp_ = platform::ReplaceFileAtomically(SettingsFile, bytes, platform::FileAccess::Private);
    settingsOnDisk_ = std::move(bytes);
    settingsUnreadable_ = false; // the file now holds what this run knows
    return true;
}

void Tdm::CheckSettingsCanBeSaved() {
    if (SettingsFile.empty())
        return;
    PutFieldsIntoList();
    platform::CheckReplaceable(SettingsFile, JoinLines(SettingsList), platform::FileAccess::Private);
}

void Tdm::SetStr(const std::string &name, const std::string &rawValue) {
    // A line break inside a value would split its line in the file, and the second half
    // could shadow another key at the next load. A zero byte splits nothing and is kept.
    std::string value = rawValue;
    std::erase_if(value, [](char c) { return c == '\r' || c == '\n'; });
    if (value.empty()) {
        // Every line of the name goes: removing only the first would let a duplicate
        // further down take its place at the next load.
        std::erase_if(SettingsList, [&](const std::string &line) { return LineHasName(line, name); });
        return;
    }
    std::string line = name + "=" + value;
    for (auto &existing : SettingsList) {
        if (LineHasName(existing, name)) {
            existing = std::move(line);
            return;
        }
    }
    SettingsList.push_back(std::move(line));
}

void Tdm::SetBool(const std::string &name, bool value) {
    SetStr(name, value ? "TRUE" : "FALSE");
}

void Tdm::SetInt(const std::string &name, std::int32_t value) {
    SetStr(name, std::to_string(value));
}

std::string Tdm::GetStr(const std::string &name, const std::string &def) const {
    for (const auto &line : SettingsList) {
        if (LineHasName(line, name)) {
            std::string value = line.substr(line.find('=') + 1);
            return value.empty() ? def : value;
        }
    }
    return def;
}

bool Tdm::GetBool(const std::string &name, bool def) const {
    const std::string value = GetStr(name, "");
    if (value.empty())
        return def;
    return !SameIgnoringAsciiCase(value, "FALSE");
}

std::int32_t Tdm::GetInt(const std::string &name, std::int32_t def) const {
    std::int32_t value = 0;
    return ParseSettingsInt(GetStr(name, ""), value) ? value : def;
}

void Tdm::LoadLog(bool trim) {
    if (!platform::PathExists(LogFile))
        return;
    std::string bytes;
    try {
        bytes = platform::ReadOwnFile(LogFile, &logStamp_);
    } catch (const FileError &) {
        logUnreadable_ = true;
        throw;
    }
    LogLines = SplitLines(bytes);
    logUnreadable_ = false;
    const std::size_t dropped = trim ? TrimLog() : 0;
    // A last line without its end would run into the next appended one.
    const bool endsWithLine = bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r';
    logSurplus_ = endsWithLine ? std::optional<std::size_t>(dropped) : std::nullopt;
    logSynced_ = LogLines.size();
}

void Tdm::AddLog(const std::string &type, const std::string &data) {
    const bool fileKnown = logSurplus_ && LogLines.size() == logSynced_;
    LogLines.push_back(LogTimestamp(clock_()) + "\t" + type + " " + data);
    if (LogLineAdded)
        LogLineAdded(LogLines.back());
    // Without readable settings FMaxLog is only its default, not the user's bound.
    const std::size_t dropped = settingsUnreadable_ ? 0 : TrimLog();
    if (LogFile.empty() || logUnreadable_)
        return;
    if (fileKnown && AppendToLogFile(dropped))
        return;
    WriteLogFile();
}

bool Tdm::AppendToLogFile(std::size_t dropped) {
    // A tenth over the bound, then one rewrite: a cycle costs one short write, not the file.
    const std::size_t allowed = FMaxLog > 0 ? static_cast<std::size_t>(FMaxLog) / 10 : 0;
    if (*logSurplus_ + dropped > allowed)
        return false;
    try {
        if (!platform::AppendToOwnFile(LogFile, LogLines.back() + "\r\n", logStamp_))
            return false;
    } catch (const FileError &) {
        logSurplus_.reset(); // the end of the file may hold part of the line
        throw;
    }
    *logSurplus_ += dropped;
    logSynced_ = LogLines.size();
    return true;
}

void Tdm::WriteLogFile() {
    logSurplus_.reset();
    logStamp_ = platform::ReplaceFileAtomically(LogFile, JoinLines(LogLines), platform::FileAccess::NewPrivate);
    logSurplus_ = 0;
    logSynced_ = LogLines.size();
}

void Tdm::SaveLog() {
    if (LogFile.empty() || logUnreadable_)
        return;
    if (logSurplus_ == std::size_t{0} && LogLines.size() == logSynced_ && platform::StampOf(LogFile) == logStamp_)
        return;
    WriteLogFile();
}

std::string Tdm::GetUserAgent() const {
    // Put in as text, never as a format: a "%" in the user name stays as it is.
    return "Zevlo - Windows DDNS Client by Tarvenic [" + FSET_User + "] - v3.0";
}

std::string Tdm::LogTimestamp(std::chrono::system_clock::time_point when) {
    const std::tm local = platform::ToLocalTime(when);
    std::string text = platform::ShortDateText(local);
    if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) {
        text += ' ';
        text += platform::LongTimeText(local);
    }
    return text;
}

std::size_t Tdm::TrimLog() {
    const std::size_t bound = FMaxLog > 0 ? static_cast<std::size_t>(FMaxLog) : 0;
    if (LogLines.size() <= bound)
        return 0;
    const std::size_t dropped = LogLines.size() - bound;
    LogLines.erase(LogLines.begin(), LogLines.begin() + static_cast<std::ptrdiff_t>(dropped));
    return dropped;
}

} // namespace zevlo
