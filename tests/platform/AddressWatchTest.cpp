#include "platform/AddressWatch.h"

#include "tests/support/PrivateNetwork.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <poll.h>

namespace zevlo::test {
namespace {

struct Reported {
    int notifications = 0;
    int changes = 0;
};

// Takes in everything the system reports until no address is still in duplicate address
// detection (about a second) and the socket stayed quiet for a while, five seconds at most.
Reported Collect(platform::AddressWatch &watch) {
    Reported reported;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    // The kernel clears the tentative mark a moment before it reports the address ready: one
    // more quiet spell after the last mark went keeps that report in this step.
    bool quietWithoutTentative = false;
    while (std::chrono::steady_clock::now() < end) {
        pollfd watched{watch.Descriptor(), POLLIN, 0};
        if (poll(&watched, 1, 400) > 0) {
            ++reported.notifications;
            reported.changes += watch.TakeChange() ? 1 : 0;
            quietWithoutTentative = false;
        } else if (SomeAddressTentative()) {
            quietWithoutTentative = false;
        } else if (quietWithoutTentative) {
            break;
        } else {
            quietWithoutTentative = true;
        }
    }
    return reported;
}

TEST(AddressWatchTest, CountsChangesOfTheGlobalAddressSetOnly) {
    PrivateNetwork network;
    if (!network.Active())
        GTEST_SKIP() << "no network namespace of our own (" << network.Error() << "): run as root";
    // The address added before the watch starts is known from its first look.
    ASSERT_TRUE(AddVethPair("198.51.100.7/24"));
    platform::AddressWatch watch;
    ASSERT_TRUE(watch.Active());
    ASSERT_GE(watch.Descriptor(), 0);

    struct Step {
        const char *command;
        int changes;
    };
    const Step steps[] = {
        {"ip addr change 198.51.100.7/24 dev zv0 valid_lft 3000 preferred_lft 2000", 0},
        {"ip addr add 203.0.113.9/24 dev zv0", 1},
        {"ip -6 addr add 2001:db8::7/64 dev zv0", 1}, // reported tentative, then ready
        {"ip -6 addr change 2001:db8::7/64 dev zv0 valid_lft 3000 preferred_lft 2000", 0},
        {"ip -6 addr del 2001:db8::7/64 dev zv0", 1},
        {"ip -6 addr add 2001:db8::9/64 dev zv1", 1},
        {"ip -6 addr add 2001:db8::9/64 dev zv0", 0}, // zv1 has it: detection fails, it never becomes ready
        {"ip link add zv2 type veth peer name zv3 && ip link set zv2 up && ip link set zv3 up", 0}, // link-local
        {"ip addr del 198.51.100.7/24 dev zv0", 1},
    };
    for (const Step &step : steps) {
        ASSERT_TRUE(Shell(step.command)) << step.command;
        const Reported reported = Collect(watch);
        EXPECT_GT(reported.notifications, 0) << step.command << ": the system reported nothing";
        EXPECT_EQ(reported.changes, step.changes) << step.command;
    }
}

} // namespace
} // namespace zevlo::test
