#include "tests/support/PrivateNetwork.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace zevlo::test {

PrivateNetwork::PrivateNetwork() : home_(open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC)) {
    if (home_ >= 0 && unshare(CLONE_NEWNET) == 0)
        active_ = true;
    else
        error_ = std::strerror(errno);
}

PrivateNetwork::~PrivateNetwork() {
    if (active_ && setns(home_, CLONE_NEWNET) != 0)
        std::abort(); // every later test would run in the wrong network
    if (home_ >= 0)
        close(home_);
}

bool Shell(const std::string &command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool SomeAddressTentative() {
    FILE *out = popen("ip -6 addr show tentative -dadfailed 2>/dev/null", "r");
    if (out == nullptr)
        return false;
    const bool any = std::fgetc(out) != EOF;
    pclose(out);
    return any;
}

bool AddVethPair(const std::string &address) {
    if (!Shell("ip link set lo up && ip link add zv0 type veth peer name zv1 && ip link set zv0 up && "
               "ip link set zv1 up && ip addr add " +
               address + " dev zv0"))
        return false;
    for (int i = 0; i < 50 && SomeAddressTentative(); ++i)
        usleep(100000);
    return true;
}

} // namespace zevlo::test
