#include "platform/win/UnicastAddresses.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <vector>

namespace zevlo::test {
namespace {

using platform::MachineAddress;

MIB_UNICASTIPADDRESS_ROW Row(NET_IFINDEX index, std::initializer_list<int> bytes, NL_DAD_STATE dad,
                             ULONG validSeconds = 86400, ULONG preferredSeconds = 14400) {
    MIB_UNICASTIPADDRESS_ROW row{};
    row.InterfaceIndex = index;
    auto *target = bytes.size() == 4 ? reinterpret_cast<unsigned char *>(&row.Address.Ipv4.sin_addr)
                                     : reinterpret_cast<unsigned char *>(&row.Address.Ipv6.sin6_addr);
    row.Address.si_family = bytes.size() == 4 ? AF_INET : AF_INET6;
    for (int b : bytes)
        *target++ = static_cast<unsigned char>(b);
    row.DadState = dad;
    row.ValidLifetime = validSeconds;
    row.PreferredLifetime = preferredSeconds;
    return row;
}

std::vector<std::string> Counted(const std::vector<MIB_UNICASTIPADDRESS_ROW> &rows) {
    std::vector<MachineAddress> addresses;
    for (const MIB_UNICASTIPADDRESS_ROW &row : rows)
        addresses.push_back(platform::win::AddressFromRow(row));
    return platform::CountedAddresses(addresses);
}

TEST(AddressWatchTest, OnlyAChangeOfTheGlobalReadyAddressesCounts) {
    const std::initializer_list<int> v4 = {203, 0, 113, 9};
    const std::initializer_list<int> v6 = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7};
    const std::initializer_list<int> v6b = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8};
    const std::vector<MIB_UNICASTIPADDRESS_ROW> before = {Row(5, v4, IpDadStatePreferred),
                                                          Row(5, v6, IpDadStatePreferred)};
    struct Case {
        const char *name;
        std::vector<MIB_UNICASTIPADDRESS_ROW> after;
        bool changed;
    };
    const Case cases[] = {
        {"lifetimes renewed", {Row(5, v6, IpDadStatePreferred, 172800, 28800), Row(5, v4, IpDadStatePreferred)}, false},
        {"deprecated", {Row(5, v4, IpDadStatePreferred), Row(5, v6, IpDadStateDeprecated, 3600, 0)}, false},
        {"a new one still tentative",
         {Row(5, v4, IpDadStatePreferred), Row(5, v6, IpDadStatePreferred), Row(5, v6b, IpDadStateTentative)},
         false},
        {"a new one found a duplicate",
         {Row(5, v4, IpDadStatePreferred), Row(5, v6, IpDadStatePreferred), Row(5, v6b, IpDadStateDuplicate)},
         false},
        {"link-local, automatic private and loopback ones",
         {Row(5, v4, IpDadStatePreferred), Row(5, v6, IpDadStatePreferred),
          Row(5, {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, IpDadStatePreferred),
          Row(6, {169, 254, 3, 4}, IpDadStatePreferred), Row(1, {127, 0, 0, 1}, IpDadStatePreferred),
          Row(1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, IpDadStatePreferred)},
         false},
        {"the new one ready",
         {Row(5, v4, IpDadStatePreferred), Row(5, v6, IpDadStatePreferred), Row(5, v6b, IpDadStatePreferred)},
         true},
        {"a private network's address",
         {Row(5, v4, IpDadStatePreferred), Row(5, v6, IpDadStatePreferred),
          Row(7, {192, 168, 1, 20}, IpDadStatePreferred)},
         true},
        {"one gone", {Row(5, v4, IpDadStatePreferred)}, true},
        {"on another interface", {Row(6, v4, IpDadStatePreferred), Row(5, v6, IpDadStatePreferred)}, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Counted(c.after) != Counted(before), c.changed) << c.name;
}

TEST(AddressWatchTest, RegistersWithTheSystemAndLetsGo) {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    {
        platform::AddressWatch first(window, WM_APP + 1);
        platform::AddressWatch second(window, WM_APP + 2);
        EXPECT_TRUE(first.Active());
        EXPECT_TRUE(second.Active());
        // Nothing changed between the start's reading and this one.
        EXPECT_FALSE(first.TakeChange());
    }
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, window, WM_APP + 1, WM_APP + 2, PM_REMOVE));
    DestroyWindow(window);
}

} // namespace
} // namespace zevlo::test
