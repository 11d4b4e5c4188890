#pragma once

#include "platform/Autostart.h"

#include <string>

namespace zevlo::test {

// A login entry that is always there and takes every change, for windows that must not
// touch the real one.
class NoAutostart final : public platform::IAutostart {
public:
    bool IsPresent() override { return true; }
    bool Write(const std::string &) override { return true; }
    bool Remove() override { return true; }
};

} // namespace zevlo::test
