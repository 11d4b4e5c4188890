#include "platform/AddressWatch.h"

#include <algorithm>

namespace zevlo::platform {

std::vector<std::string> CountedAddresses(const std::vector<MachineAddress> &addresses) {
    std::vector<std::string> counted;
    for (const MachineAddress &address : addresses) {
        if (!address.global || !address.ready)
            continue;
        counted.push_back(std::to_string(address.interfaceIndex) + "/" + address.bytes);
    }
    std::sort(counted.begin(), counted.end());
    counted.erase(std::unique(counted.begin(), counted.end()), counted.end());
    return counted;
}

bool IsGlobalAddress(const std::string &bytes) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() == 4) {
        // 0.0.0.0/8, 127.0.0.0/8, 169.254.0.0/16, 224.0.0.0/3 (multicast and reserved)
        return byte(0) != 0 && byte(0) != 127 && !(byte(0) == 169 && byte(1) == 254) && byte(0) < 224;
    }
    if (bytes.size() == 16) {
        const bool unspecifiedOrLoopback =
            std::all_of(bytes.begin(), bytes.begin() + 15, [](char b) { return b == 0; }) && byte(15) <= 1;
        const bool linkLocal = byte(0) == 0xfe && (byte(1) & 0xc0) == 0x80;
        const bool multicast = byte(0) == 0xff;
        return !unspecifiedOrLoopback && !linkLocal && !multicast;
    }
    return false;
}

} // namespace zevlo::platform
