#pragma once

#include <optional>
#include <string>

namespace zevlo::test {

// Sets an environment variable (or with nullopt removes it) for the life of the object,
// then puts back what was there. On Windows it changes the process environment that
// GetEnvironmentVariable reads, as the program does.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string> &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace zevlo::test
