#include "data/SettingsSchema.h"

#include "data/StoredLists.h"
#include "data/Tdm.h"

namespace zevlo {

namespace {

constexpr Setting Text(const char *key, std::string Tdm::*member, const char *absent = "") {
    Setting setting{key, SettingKind::Text};
    setting.text = member;
    setting.absent.text = absent;
    return setting;
}

constexpr Setting Row(const char *key, SettingKind kind, SettingValue absent, SettingValue created,
                      SettingValue withoutFile) {
    Setting setting{key, kind};
    setting.absent = absent;
    setting.created = created;
    setting.withoutFile = withoutFile;
    return setting;
}

constexpr Setting Integer(const char *key, std::int32_t Tdm::*member, std::int32_t absent, std::int32_t created,
                          std::int32_t withoutFile) {
    Setting setting = Row(key, SettingKind::Integer, {"", absent}, {"", created}, {"", withoutFile});
    setting.integer = member;
    return setting;
}

constexpr Setting Integer(const char *key, std::int32_t Tdm::*member, std::int32_t absent, std::int32_t created) {
    return Integer(key, member, absent, created, created);
}

constexpr Setting Flag(const char *key, bool Tdm::*member, bool absent, bool created, bool withoutFile) {
    Setting setting = Row(key, SettingKind::Flag, {"", 0, absent}, {"", 0, created}, {"", 0, withoutFile});
    setting.flag = member;
    return setting;
}

constexpr Setting Flag(const char *key, bool Tdm::*member, bool absent, bool created) {
    return Flag(key, member, absent, created, created);
}

// A moment; "never" (the epoch) in every case.
constexpr Setting Time(const char *key, std::chrono::sys_seconds Tdm::*member) {
    Setting setting{key, SettingKind::Time};
    setting.time = member;
    return setting;
}

// Key, member, absent from a file, created, without a file (when it differs).
constexpr Setting kSchema[] = {
    Integer("FMaxLog", &Tdm::FMaxLog, 500, 500),
    Text("FSET_LAST_IP", &Tdm::FSET_LAST_IP),
    // Absent: no stored place, the window stays where the shell put it.
    Integer("FSET_FrmX", &Tdm::FSET_FrmX, -1, 0),
    Integer("FSET_FrmY", &Tdm::FSET_FrmY, -1, 0),
    Integer("FSET_Interval", &Tdm::FSET_Interval, 5, 5),
    Flag("FSET_StartWithWindows", &Tdm::FSET_StartWithWindows, false, true),
    Text("FSET_User", &Tdm::FSET_User),
    Text("FSET_Pass", &Tdm::FSET_Pass),
    Text("FSET_Hostname", &Tdm::FSET_Hostname, "-"),
    Flag("FSET_FirstRun", &Tdm::FSET_FirstRun, false, false, true),
    Flag("FSET_Enabled", &Tdm::FSET_Enabled, false, false),
    Flag("FSET_RememberPaused", &Tdm::FSET_RememberPaused, false, false),
    Flag("FSET_StateIsPaused", &Tdm::FSET_StateIsPaused, false, false),
    Integer("FSET_UPD_Protocol", &Tdm::FSET_UPD_Protocol, 0, 0),
    Text("FSET_UPD_Port", &Tdm::FSET_UPD_Port),
    Text("FSET_UPD_Server", &Tdm::FSET_UPD_Server),
    Text("FSET_UPD_BaseURI", &Tdm::FSET_UPD_BaseURI),
    Integer("FSET_UPD_Method", &Tdm::FSET_UPD_Method, 0, 0),
    Integer("FSET_UPD_Auth", &Tdm::FSET_UPD_Auth, 0, 0),
    Integer("FSET_CIP_Protocol", &Tdm::FSET_CIP_Protocol, 0, 0),
    Text("FSET_CIP_Port", &Tdm::FSET_CIP_Port),
    Text("FSET_CIP_BaseURI", &Tdm::FSET_CIP_BaseURI),
    Integer("FSET_CIP_Method", &Tdm::FSET_CIP_Method, 0, 0),
    Integer("FSET_CIP_Auth", &Tdm::FSET_CIP_Auth, kDefaultCheckAuthEntry, 0, kDefaultCheckAuthEntry),
    Text("FSET_CIP_Server", &Tdm::FSET_CIP_Server),
    Flag("FSET_CIP_CHKCUSTOM", &Tdm::FSET_CIP_CHKCUSTOM, false, false),
    Text("FSET_CIP_CUSTOMSCRIPT", &Tdm::FSET_CIP_CUSTOMSCRIPT),
    // The known service whose values fill the endpoint keys the file leaves empty; none:
    // the endpoints are the user's own.
    Text("FSET_UPD_Service", &Tdm::FSET_UPD_Service),
    Text("FSET_UPD_Refusal", &Tdm::FSET_UPD_Refusal),
    Time("FSET_UPD_WaitUntil", &Tdm::FSET_UPD_WaitUntil),
    Time("FSET_UPD_LastAnswered", &Tdm::FSET_UPD_LastAnswered),
    Text("FSET_UPD_AnsweredFor", &Tdm::FSET_UPD_AnsweredFor),
};

} // namespace

std::span<const Setting> SettingsSchema() {
    return kSchema;
}

const char *SettingKey(std::string Tdm::*member) {
    for (const Setting &setting : kSchema)
        if (setting.text == member)
            return setting.key;
    return "";
}

void SetSettingValue(const Setting &setting, Tdm &dm, const SettingValue &value) {
    switch (setting.kind) {
    case SettingKind::Text:
        dm.*setting.text = value.text;
        return;
    case SettingKind::Integer:
        dm.*setting.integer = static_cast<std::int32_t>(value.number);
        return;
    case SettingKind::Flag:
        dm.*setting.flag = value.flag;
        return;
    case SettingKind::Time:
        dm.*setting.time = std::chrono::sys_seconds(std::chrono::seconds(value.number));
        return;
    }
}

void LoadSetting(const Setting &setting, Tdm &dm) {
    LoadSetting(setting, dm, setting.absent);
}

void LoadSetting(const Setting &setting, Tdm &dm, const SettingValue &absent) {
    switch (setting.kind) {
    case SettingKind::Text:
        dm.*setting.text = dm.GetStr(setting.key, absent.text);
        return;
    case SettingKind::Integer:
        dm.*setting.integer = dm.GetInt(setting.key, static_cast<std::int32_t>(absent.number));
        return;
    case SettingKind::Flag:
        dm.*setting.flag = dm.GetBool(setting.key, absent.flag);
        return;
    case SettingKind::Time: {
        std::int64_t seconds = 0;
        if (!ParseSettingsInt(dm.GetStr(setting.key, ""), seconds))
            seconds = absent.number;
        dm.*setting.time = std::chrono::sys_seconds(std::chrono::seconds(seconds));
        return;
    }
    }
}

std::string SettingText(const Setting &setting, const Tdm &dm) {
    switch (setting.kind) {
    case SettingKind::Text:
        return dm.*setting.text;
    case SettingKind::Integer:
        return std::to_string(dm.*setting.integer);
    case SettingKind::Flag:
        return dm.*setting.flag ? "TRUE" : "FALSE";
    case SettingKind::Time: {
        const std::int64_t seconds = (dm.*setting.time).time_since_epoch().count();
        return seconds == 0 ? std::string() : std::to_string(seconds);
    }
    }
    return {};
}

bool HoldsValue(const Setting &setting, const Tdm &dm, const SettingValue &value) {
    switch (setting.kind) {
    case SettingKind::Text:
        return dm.*setting.text == value.text;
    case SettingKind::Integer:
        return dm.*setting.integer == value.number;
    case SettingKind::Flag:
        return dm.*setting.flag == value.flag;
    case SettingKind::Time:
        return (dm.*setting.time).time_since_epoch().count() == value.number;
    }
    return false;
}

} // namespace zevlo
