#include "tests/support/ScopedEnv.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace zevlo::test {

namespace {

std::optional<std::string> Current(const std::string &name) {
#ifdef _WIN32
    std::string buffer(32767, '\0');
    const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length > 0 && length < buffer.size())
        return buffer.substr(0, length);
#else
    if (const char *value = std::getenv(name.c_str()))
        return std::string(value);
#endif
    return std::nullopt;
}

void Apply(const std::string &name, const std::optional<std::string> &value) {
#ifdef _WIN32
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
#else
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
#endif
}

} // namespace

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string> &value)
    : name_(std::move(name)), old_(Current(name_)) {
    Apply(name_, value);
}

ScopedEnv::~ScopedEnv() {
    Apply(name_, old_);
}

} // namespace zevlo::test
