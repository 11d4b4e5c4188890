#include "platform/Autostart.h"

#include "platform/win/InstalledCopy.h"
#include "platform/win/RunValueAutostart.h"

#include <windows.h>

namespace zevlo::platform {

namespace {

constexpr const char *kUserRunValue = "Zevlo";

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;

    LSTATUS Open(REGSAM access) { return RegOpenKeyExA(HKEY_CURRENT_USER, win::kRunKey, 0, access, &key_); }
    bool Create(REGSAM access) {
        return RegCreateKeyExA(HKEY_CURRENT_USER, win::kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                               &key_, nullptr) == ERROR_SUCCESS;
    }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

class RunValueAutostart final : public IAutostart {
public:
    explicit RunValueAutostart(std::string valueName) : valueName_(std::move(valueName)) {}

    bool IsPresent() override {
        RegistryKey key;
        return key.Open(KEY_QUERY_VALUE) == ERROR_SUCCESS &&
               RegQueryValueExA(key.Get(), valueName_.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

    bool Write(const std::string &exePath) override {
        RegistryKey key;
        if (!key.Create(KEY_SET_VALUE)) {
            return false;
        }
        const std::string quoted = "\"" + exePath + "\"";
        return RegSetValueExA(key.Get(), valueName_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(quoted.c_str()),
                              static_cast<DWORD>(quoted.size() + 1)) == ERROR_SUCCESS;
    }

    bool Remove() override {
        RegistryKey key;
        const LSTATUS opened = key.Open(KEY_SET_VALUE);
        if (opened != ERROR_SUCCESS) {
            return opened == ERROR_FILE_NOT_FOUND; // no key, no value
        }
        const LSTATUS status = RegDeleteValueA(key.Get(), valueName_.c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }

private:
    std::string valueName_;
};

} // namespace

std::unique_ptr<IAutostart> win::MakeRunValueAutostart(const std::string &valueName) {
    return std::make_unique<RunValueAutostart>(valueName);
}

std::optional<std::string> win::RunValueProgram(const std::string &valueName) {
    char data[MAX_PATH * 2] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, kRunKey, valueName.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string value(data);
    const auto first = value.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    value.erase(0, first);
    if (value.front() == '"') {
        const auto close = value.find('"', 1);
        return value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    value.erase(value.find_last_not_of(" \t") + 1);
    return value;
}

std::unique_ptr<IAutostart> MakeUserAutostart() {
    return win::MakeRunValueAutostart(kUserRunValue);
}

OwnEntryRemoval RemoveUserAutostartOf(const std::string &exePath) {
    const std::optional<std::string> program = win::RunValueProgram(kUserRunValue);
    if (!program) {
        return OwnEntryRemoval::NotThere;
    }
    if (!win::SamePath(*program, exePath)) {
        return OwnEntryRemoval::AnotherProgram;
    }
    return MakeUserAutostart()->Remove() ? OwnEntryRemoval::Removed : OwnEntryRemoval::Failed;
}

} // namespace zevlo::platform
