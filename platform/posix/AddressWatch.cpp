#include "platform/AddressWatch.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zevlo::platform {

namespace {

constexpr size_t kBufferSize = 16384;

int OpenRouteSocket(unsigned groups, int flags) {
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | flags, NETLINK_ROUTE);
    if (fd < 0)
        return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One RTM_NEWADDR message of a dump.
std::optional<MachineAddress> ParseAddress(const nlmsghdr *header) {
    if (header->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg)))
        return std::nullopt;
    const auto *info = reinterpret_cast<const ifaddrmsg *>(reinterpret_cast<const char *>(header) + NLMSG_LENGTH(0));
    if (info->ifa_family != AF_INET && info->ifa_family != AF_INET6)
        return std::nullopt;
    MachineAddress address;
    address.interfaceIndex = info->ifa_index;
    address.global = info->ifa_scope == RT_SCOPE_UNIVERSE;
    unsigned flags = info->ifa_flags;
    std::string local;
    std::string peer;
    int length = static_cast<int>(IFA_PAYLOAD(header));
    for (const rtattr *attribute = IFA_RTA(info); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        const char *data = static_cast<const char *>(RTA_DATA(attribute));
        const size_t size = RTA_PAYLOAD(attribute);
        if (attribute->rta_type == IFA_LOCAL)
            local.assign(data, size);
        else if (attribute->rta_type == IFA_ADDRESS)
            peer.assign(data, size);
        else if (attribute->rta_type == IFA_FLAGS && size >= sizeof(uint32_t))
            std::memcpy(&flags, data, sizeof(uint32_t)); // the full flags; ifa_flags holds 8 bits
    }
    // A point-to-point IPv4 link names the own end in IFA_LOCAL and the peer in IFA_ADDRESS.
    address.bytes = local.empty() ? peer : local;
    if (address.bytes.empty())
        return std::nullopt;
    address.ready = (flags & (IFA_F_TENTATIVE | IFA_F_DADFAILED)) == 0;
    return address;
}

// Every address of the machine, asked on a socket of its own so that the watched socket's
// notifications never mix with the answer. None on any failure.
std::optional<std::vector<MachineAddress>> DumpAddresses() {
    const int fd = OpenRouteSocket(0, 0);
    if (fd < 0)
        return std::nullopt;
    struct {
        nlmsghdr header;
        ifaddrmsg info;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    request.header.nlmsg_type = RTM_GETADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.info.ifa_family = AF_UNSPEC;
    std::optional<std::vector<MachineAddress>> result;
    if (send(fd, &request, request.header.nlmsg_len, 0) == static_cast<ssize_t>(request.header.nlmsg_len)) {
        std::vector<MachineAddress> addresses;
        alignas(nlmsghdr) char buffer[kBufferSize];
        for (bool done = false; !done;) {
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            int length = static_cast<int>(got);
            for (const auto *header = reinterpret_cast<const nlmsghdr *>(buffer); NLMSG_OK(header, length);
                 header = NLMSG_NEXT(header, length)) {
                if (header->nlmsg_type == NLMSG_DONE) {
                    result = std::move(addresses);
                    done = true;
                    break;
                }
                if (header->nlmsg_type == NLMSG_ERROR) {
                    done = true;
                    break;
                }
                if (header->nlmsg_type == RTM_NEWADDR) {
                    if (std::optional<MachineAddress> address = ParseAddress(header))
                        addresses.push_back(std::move(*address));
                }
            }
        }
    }
    close(fd);
    return result;
}

} // namespace

struct AddressWatch::State {
    int fd = -1;
    std::vector<std::string> known;
};

AddressWatch::AddressWatch() : state_(std::make_unique<State>()) {
    // Subscribed before the first dump, so that no change falls between the two.
    state_->fd = OpenRouteSocket(RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR, SOCK_NONBLOCK);
    if (state_->fd < 0)
        return;
    if (std::optional<std::vector<MachineAddress>> addresses = DumpAddresses())
        state_->known = CountedAddresses(*addresses);
}

AddressWatch::~AddressWatch() {
    if (state_->fd >= 0)
        close(state_->fd);
}

int AddressWatch::Descriptor() const {
    return state_->fd;
}

bool AddressWatch::Active() const {
    return state_->fd >= 0;
}

bool AddressWatch::TakeChange() {
    if (state_->fd < 0)
        return false;
    // The notifications only say that something happened: a lifetime refresh, an address
    // that became ready, or (ENOBUFS) more than the socket could hold. The set is asked anew.
    bool notified = false;
    alignas(nlmsghdr) char buffer[kBufferSize];
    for (;;) {
        const ssize_t got = recv(state_->fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0 || (got < 0 && errno == ENOBUFS)) {
            notified = true;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    if (!notified)
        return false;
    std::optional<std::vector<MachineAddress>> addresses = DumpAddresses();
    if (!addresses)
        return false;
    std::vector<std::string> now = CountedAddresses(*addresses);
    if (now == state_->known)
        return false;
    state_->known = std::move(now);
    return true;
}

} // namespace zevlo::platform
