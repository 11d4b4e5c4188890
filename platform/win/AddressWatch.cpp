#include "platform/AddressWatch.h"

#include "platform/win/UnicastAddresses.h"

#include <atomic>
#include <optional>

namespace zevlo::platform {

namespace win {

MachineAddress AddressFromRow(const MIB_UNICASTIPADDRESS_ROW &row) {
    MachineAddress address;
    address.interfaceIndex = row.InterfaceIndex;
    if (row.Address.si_family == AF_INET) {
        address.bytes.assign(reinterpret_cast<const char *>(&row.Address.Ipv4.sin_addr), 4);
    } else if (row.Address.si_family == AF_INET6) {
        address.bytes.assign(reinterpret_cast<const char *>(&row.Address.Ipv6.sin6_addr), 16);
    }
    address.global = IsGlobalAddress(address.bytes);
    address.ready = row.DadState == IpDadStatePreferred || row.DadState == IpDadStateDeprecated;
    return address;
}

} // namespace win

namespace {

std::optional<std::vector<std::string>> ReadCountedAddresses() {
    MIB_UNICASTIPADDRESS_TABLE *table = nullptr;
    if (GetUnicastIpAddressTable(AF_UNSPEC, &table) != NO_ERROR)
        return std::nullopt;
    std::vector<MachineAddress> addresses;
    addresses.reserve(table->NumEntries);
    for (ULONG i = 0; i < table->NumEntries; ++i)
        addresses.push_back(win::AddressFromRow(table->Table[i]));
    FreeMibTable(table);
    return CountedAddresses(addresses);
}

// What the system's thread sees. One posted message stands for any number of callbacks
// until the window takes it.
struct Recipient {
    HWND window = nullptr;
    UINT message = 0;
    std::atomic<bool> posted{false};
};

// On a thread of the system's: only hands the news to the window's thread.
VOID WINAPI AddressChanged(PVOID context, PMIB_UNICASTIPADDRESS_ROW, MIB_NOTIFICATION_TYPE) {
    auto *recipient = static_cast<Recipient *>(context);
    if (!recipient->posted.exchange(true))
        PostMessageA(recipient->window, recipient->message, 0, 0);
}

} // namespace

struct AddressWatch::State : Recipient {
    bool registered = false;
    HANDLE notification = nullptr; // Wine accepts the registration and hands out none
    std::vector<std::string> known;
};

AddressWatch::AddressWatch(void *window, unsigned message) : state_(std::make_unique<State>()) {
    state_->window = static_cast<HWND>(window);
    state_->message = message;
    // Registered before the first reading, so that no change falls between the two.
    if (NotifyUnicastIpAddressChange(AF_UNSPEC, &AddressChanged, static_cast<Recipient *>(state_.get()), FALSE,
                                     &state_->notification) != NO_ERROR) {
        state_->notification = nullptr;
        return;
    }
    state_->registered = true;
    if (std::optional<std::vector<std::string>> counted = ReadCountedAddresses())
        state_->known = std::move(*counted);
}

AddressWatch::~AddressWatch() {
    // Returns once no callback runs any more, so the state outlives every one of them.
    if (state_->notification != nullptr)
        CancelMibChangeNotify2(state_->notification);
}

bool AddressWatch::Active() const {
    return state_->registered;
}

bool AddressWatch::TakeChange() {
    if (!state_->registered)
        return false;
    state_->posted = false;
    std::optional<std::vector<std::string>> counted = ReadCountedAddresses();
    if (!counted || *counted == state_->known)
        return false;
    state_->known = std::move(*counted);
    return true;
}

} // namespace zevlo::platform
