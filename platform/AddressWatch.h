#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zevlo::platform {

// One unicast address of the machine as the system reports it.
struct MachineAddress {
    unsigned interfaceIndex = 0;
    std::string bytes;   // 4 (IPv4) or 16 (IPv6) bytes in network order
    bool global = false; // reaches beyond the link: not loopback, not link-local
    bool ready = true;   // duplicate address detection is over (IPv6 addresses start tentative)
};

// What a change is measured on: the global, ready addresses with their interfaces, sorted,
// so that two reports are equal exactly when the same addresses are in use. Lifetimes and
// the order of the system's report do not count.
std::vector<std::string> CountedAddresses(const std::vector<MachineAddress> &addresses);

// The scope of an address from its bytes alone, where the system does not report one:
// false for loopback, link-local, unspecified and multicast addresses.
bool IsGlobalAddress(const std::string &bytes);

// Watches the set of the machine's global addresses. Linux: a netlink route socket whose
// descriptor the event loop watches for reading. Windows: the system's notification (it
// comes on a thread of its own) posted as `message` to `window` (an HWND). Where neither can
// be had, the watch is inert: it never reports a change and says nothing.
class AddressWatch {
public:
#ifdef _WIN32
    AddressWatch(void *window, unsigned message);
#else
    AddressWatch();
    // The descriptor to watch for reading; -1 when inert.
    int Descriptor() const;
#endif
    ~AddressWatch();
    AddressWatch(const AddressWatch &) = delete;
    AddressWatch &operator=(const AddressWatch &) = delete;

    bool Active() const;
    // After a notification: takes in what the system reported and says whether the set of
    // global addresses differs from the one known before (the first from the start).
    bool TakeChange();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace zevlo::platform
