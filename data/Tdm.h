#pragma once

#include "data/TextList.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace zevlo {

using Clock = std::function<std::chrono::system_clock::time_point()>;

// The settings record of a run, mirrored to Settings.ini, and the bounded event log
// mirrored to log.txt. File errors are thrown as FileError.
class Tdm {
public:
    explicit Tdm(Clock clock = std::chrono::system_clock::now);
    // Saves the settings and the log where they differ from the files; errors go to standard
    // error (never a box at exit).
    ~Tdm();
    Tdm(const Tdm &) = delete;
    Tdm &operator=(const Tdm &) = delete;

    TextList SettingsList;
    std::string SettingsFile;
    TextList LogLines;
    std::int32_t FMaxLog = 500;
    std::string AppDir;
    std::string LogFile;
    // Told of every line AddLog appends (the command line prints them).
    std::function<void(const std::string &line)> LogLineAdded;
    std::string FSET_LAST_IP;
    std::int32_t FSET_Interval = 5;
    bool FSET_StartWithWindows = true;
    std::string FSET_User;
    std::string FSET_Pass;
    std::int32_t FSET_FrmX = 0;
    std::int32_t FSET_FrmY = 0;
    std::string FSET_Hostname;
    bool FSET_FirstRun = false;
    bool FSET_Enabled = false;
    bool FSET_RememberPaused = false;
    bool FSET_StateIsPaused = false;
    std::int32_t FSET_UPD_Protocol = 0;
    std::string FSET_UPD_Port;
    std::string FSET_UPD_Server;
    std::string FSET_UPD_BaseURI;
    std::int32_t FSET_UPD_Method = 0;
    std::int32_t FSET_UPD_Auth = 0;
    std::int32_t FSET_CIP_Protocol = 0;
    std::string FSET_CIP_Port;
    std::string FSET_CIP_BaseURI;
    std::int32_t FSET_CIP_Method = 0;
    std::int32_t FSET_CIP_Auth = 0;
    bool FSET_CIP_CHKCUSTOM = false;
    std::string FSET_CIP_CUSTOMSCRIPT;
    std::string FSET_CIP_Server;

    // Does nothing when SettingsFile does not exist. When the file exists but cannot be
    // read, throws FileError and later saves refuse to write over it.
    void LoadSettings();
    // Writes the fields into SettingsList and the list to SettingsFile (atomically; a new
    // file is readable by its owner only). Returns false, writing nothing, when SettingsFile
    // is empty or after a failed load, unless `overwriteUnreadable` (the user's explicit save).
    bool SaveSettings(bool overwriteUnreadable = false);
    bool SettingsUnreadable() const { return settingsUnreadable_; }

    void SetStr(const std::string &name, const std::string &value);
    void SetBool(const std::string &name, bool value);
    void SetInt(const std::string &name, std::int32_t value);
    std::string GetStr(const std::string &name, const std::string &def) const;
    bool GetBool(const std::string &name, bool def) const;
    std::int32_t GetInt(const std::string &name, std::int32_t def) const;

    // Replaces LogLines by the lines of LogFile when it exists, then trims to FMaxLog
    // (unless `trim` is false). An unreadable log.txt throws FileError and is not written
    // over by later saves of this run.
    void LoadLog(bool trim = true);
    // Appends "<date> <time>\t<type> <data>", trims to FMaxLog (not while the settings are
    // unreadable: FMaxLog is only its default then), then SaveLog.
    void AddLog(const std::string &type, const std::string &data);
    // Writes LogLines to LogFile atomically; nothing when LogFile is empty or unreadable.
    void SaveLog();
    std::string GetUserAgent() const;

    // The date and time text of a log line for the moment (midnight: date alone).
    static std::string LogTimestamp(std::chrono::system_clock::time_point when);

private:
    void TrimLog();
    void WriteFile(const std::string &path, const std::string &bytes, bool ownerOnly) const;

    Clock clock_;
    bool settingsUnreadable_ = false;
    bool logUnreadable_ = false;
    bool skipUnchanged_ = false;
};

// Reads an integer as Settings.ini holds it: leading blanks, optional sign, decimal digits
// or hexadecimal after "$", "x" or "0x". False for trailing text, 32-bit overflow or empty text.
bool ParseSettingsInt(const std::string &text, std::int32_t &value);

} // namespace zevlo
