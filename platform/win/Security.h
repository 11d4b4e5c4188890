#pragma once

#include <windows.h>

#include <vector>

namespace zevlo::platform::win {

// The user SID of the process token; empty when it cannot be read.
std::vector<BYTE> CurrentUserSid();

// Security attributes for a new file that its creator alone may open: the user is
// made the owner and the one entry of a protected access list (nothing inherited).
class OwnerOnlySecurity {
public:
    OwnerOnlySecurity();
    OwnerOnlySecurity(const OwnerOnlySecurity &) = delete;
    OwnerOnlySecurity &operator=(const OwnerOnlySecurity &) = delete;

    // Null when the descriptor could not be built.
    SECURITY_ATTRIBUTES *Attributes() { return ready_ ? &attributes_ : nullptr; }

private:
    std::vector<BYTE> sid_;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ready_ = false;
};

} // namespace zevlo::platform::win
