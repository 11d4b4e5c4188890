#pragma once

#include "data/TextList.h"
#include "platform/FileIO.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zevlo {

using Clock = std::function<std::chrono::system_clock::time_point()>;

// The settings record of a run, mirrored to Settings.ini, and the bounded event log
// mirrored to log.txt. File errors are thrown as FileError.
class Tdm {
public:
    explicit Tdm(Clock clock = std::chrono::system_clock::now);
    // Saves the settings and the log where they differ from the files (a run that saved as it
    // went writes nothing again); errors go to standard error (never a box at exit).
    ~Tdm();
    Tdm(const Tdm &) = delete;
    Tdm &operator=(const Tdm &) = delete;

    TextList SettingsList;
    std::string SettingsFile;
    TextList LogLines;
    std::string AppDir;
    std::string LogFile;
    // Told of every line AddLog appends (the command line prints them).
    std::function<void(const std::string &line)> LogLineAdded;

    // The settings of Settings.ini. Their keys, their values at creation and when absent from
    // a file, and the order of a save stand once, in SettingsSchema.cpp.
    std::int32_t FMaxLog{};
    std::string FSET_LAST_IP;
    std::int32_t FSET_Interval{};
    bool FSET_StartWithWindows{};
    std::string FSET_User;
    std::string FSET_Pass;
    std::int32_t FSET_FrmX{};
    std::int32_t FSET_FrmY{};
    std::string FSET_Hostname;
    bool FSET_FirstRun{};
    bool FSET_Enabled{};
    bool FSET_RememberPaused{};
    bool FSET_StateIsPaused{};
    std::int32_t FSET_UPD_Protocol{};
    std::string FSET_UPD_Port;
    std::string FSET_UPD_Server;
    std::string FSET_UPD_BaseURI;
    std::int32_t FSET_UPD_Method{};
    std::int32_t FSET_UPD_Auth{};
    std::int32_t FSET_CIP_Protocol{};
    std::string FSET_CIP_Port;
    std::string FSET_CIP_BaseURI;
    std::int32_t FSET_CIP_Method{};
    std::int32_t FSET_CIP_Auth{};
    bool FSET_CIP_CHKCUSTOM{};
    std::string FSET_CIP_CUSTOMSCRIPT;
    std::string FSET_CIP_Server;
    std::string FSET_UPD_Service;
    // What the service last said to the updates (engine/UpdateState.h): a refusal that stands
    // until the user acts, the end of a wait after the service's trouble, the time of the last
    // answered update and what it was sent for.
    std::string FSET_UPD_Refusal;
    std::chrono::sys_seconds FSET_UPD_WaitUntil{};
    std::chrono::sys_seconds FSET_UPD_LastAnswered{};
    std::string FSET_UPD_AnsweredFor;

    // Does nothing when SettingsFile does not exist. When the file exists but cannot be
    // read, throws FileError and later saves refuse to write over it. With a known service
    // stored, an endpoint key without a value takes the service's.
    void LoadSettings();
    // Writes the fields into SettingsList and the list to SettingsFile (atomically; a new
    // file is readable by its owner only); an endpoint field holding the stored service's
    // value writes no line. Writes nothing when the file is still the one this run last read
    // or wrote and holds the same text (unless others may read it). Returns false, writing
    // nothing, when SettingsFile is empty or after a failed load. With `overwriteUnreadable`
    // (the user's explicit save) it writes in any case.
    bool SaveSettings(bool overwriteUnreadable = false);
    // Throws the FileError that writing the settings would meet now (a read-only file or file
    // system, a full disk), changing no file. Nothing when SettingsFile is empty.
    void CheckSettingsCanBeSaved();
    bool SettingsUnreadable() const { return settingsUnreadable_; }
    // True when the last file LoadSettings read held no value for the key (no line, or an
    // empty one), and for every key until a file was read.
    bool KeyWasAbsent(const std::string &key) const;
    // Every setting to the value a program starts with when it could read no file.
    void ApplyValuesWithoutFile();

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
    // Appends "<date> <time>\t<type> <data>" and trims to FMaxLog (not while the settings are
    // unreadable: FMaxLog is only its default then). The line is appended to LogFile, which
    // may so run up to a tenth over the bound; past that, or when the file is not known to
    // hold the list, LogFile is written whole (atomically) with the list.
    void AddLog(const std::string &type, const std::string &data);
    // Makes LogFile hold exactly LogLines (trimming what the appends left over), writing it
    // atomically when it does not; nothing when LogFile is empty or unreadable.
    void SaveLog();
    std::string GetUserAgent() const;
    // The moment, by the clock the store was given (the one its log lines are stamped with).
    std::chrono::system_clock::time_point Now() const { return clock_(); }

    // The date and time text of a log line for the moment (midnight: date alone).
    static std::string LogTimestamp(std::chrono::system_clock::time_point when);

private:
    // Drops the oldest lines beyond FMaxLog; how many went.
    std::size_t TrimLog();
    // The fields into SettingsList.
    void PutFieldsIntoList();
    bool SettingsFileHolds(const std::string &bytes) const;
    bool AppendToLogFile(std::size_t dropped);
    void WriteLogFile();

    Clock clock_;
    bool settingsUnreadable_ = false;
    bool logUnreadable_ = false;
    // What this run last read from or wrote to SettingsFile, and that file's stamp then.
    std::string settingsOnDisk_;
    std::optional<platform::FileStamp> settingsStamp_;
    // What LogFile holds as far as this run knows: logSurplus_ lines that the list has dropped
    // since, then the list as it stood when it was logSynced_ lines long; none: not known.
    std::optional<std::size_t> logSurplus_;
    std::size_t logSynced_ = 0;
    platform::FileStamp logStamp_;
    // By row of the settings schema: whether the last load found a value.
    std::vector<bool> keyFound_;
};

// Reads an integer as Settings.ini holds it: leading blanks, optional sign, decimal digits
// or hexadecimal after "$", "x" or "0x". False for trailing text, overflow of the value's
// width or empty text.
bool ParseSettingsInt(const std::string &text, std::int32_t &value);
bool ParseSettingsInt(const std::string &text, std::int64_t &value);

} // namespace zevlo
