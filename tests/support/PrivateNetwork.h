#pragma once

#include <string>

namespace zevlo::test {

// Runs the test's body in a network namespace of its own (the calling thread's, and that of
// every program it starts) and returns to the test process's namespace afterwards. Active()
// is false where the system does not permit one.
class PrivateNetwork {
public:
    PrivateNetwork();
    ~PrivateNetwork();
    PrivateNetwork(const PrivateNetwork &) = delete;
    PrivateNetwork &operator=(const PrivateNetwork &) = delete;

    bool Active() const { return active_; }
    const std::string &Error() const { return error_; }

private:
    int home_;
    bool active_ = false;
    std::string error_;
};

// Runs a shell command quietly; true when it succeeded.
bool Shell(const std::string &command);

// True while some IPv6 address is still in duplicate address detection.
bool SomeAddressTentative();

// In a private network: loopback up, a veth pair zv0 and zv1 up with `address` (as
// "198.51.100.7/24") on zv0, and their link-local addresses settled (five seconds at most).
bool AddVethPair(const std::string &address);

} // namespace zevlo::test
