#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace zevlo {

class Tdm;

// How a setting is held in Tdm and written in Settings.ini:
//   Text     std::string, written as it is; an empty text writes no line
//   Integer  std::int32_t, written in decimal; read in decimal or hexadecimal ("$1F", "0x1F")
//   Flag     bool, written "TRUE" or "FALSE"; read as true unless the text is "FALSE" in any case
//   Time     std::chrono::sys_seconds, written as decimal seconds since 1970-01-01 UTC in 64 bits
//            (a 32-bit Integer would end in 2038); the epoch stands for "never" and writes no line
enum class SettingKind { Text, Integer, Flag, Time };

// A value of any kind; a setting reads only the field of its kind (Time: seconds in `number`).
struct SettingValue {
    const char *text = "";
    std::int64_t number = 0;
    bool flag = false;
};

// One key of Settings.ini. A new key costs one row in SettingsSchema.cpp and its member in Tdm.
struct Setting {
    const char *key;
    SettingKind kind;
    // The member the key fills: only the one of its kind is set.
    std::string Tdm::*text = nullptr;
    std::int32_t Tdm::*integer = nullptr;
    bool Tdm::*flag = nullptr;
    std::chrono::sys_seconds Tdm::*time = nullptr;
    // The value when a file is read that holds none for the key: no line, an empty value, or
    // for a number a text that is none.
    SettingValue absent{};
    // The value of a new store, before any file is read.
    SettingValue created{};
    // The value a program starts with when it could read no file (none there, or unreadable).
    SettingValue withoutFile{};
};

// Every key, in the order a save writes them: a key the file lacks is appended in this order.
// Loading reads each key on its own, so its order does not matter.
std::span<const Setting> SettingsSchema();

// The key of a text member.
const char *SettingKey(std::string Tdm::*member);

// Sets the setting's member to a value of its kind.
void SetSettingValue(const Setting &setting, Tdm &dm, const SettingValue &value);
// Sets the member from the value dm.SettingsList holds for the key, or to `absent` when the
// list holds none (for a number: none that reads as one).
void LoadSetting(const Setting &setting, Tdm &dm, const SettingValue &absent);
void LoadSetting(const Setting &setting, Tdm &dm);
// The member's value as Settings.ini writes it ("TRUE", "42", the text); empty for a value
// that writes no line.
std::string SettingText(const Setting &setting, const Tdm &dm);
// True when the member holds the value (of the setting's kind).
bool HoldsValue(const Setting &setting, const Tdm &dm, const SettingValue &value);

} // namespace zevlo
