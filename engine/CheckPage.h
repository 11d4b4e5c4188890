#pragma once

#include <string>
#include <string_view>

// Check pages that are not a bare address: the classic "Current IP Address: a.b.c.d" page and
// its kin, and the words that tell why an answer is no address.
namespace zevlo::text {

// True for an address that can be a machine's public one: IPv4 outside the unspecified,
// private, shared (100.64/10), loopback, link-local, multicast and reserved blocks; IPv6 in
// the global unicast block 2000::/3. The documentation blocks count as public.
bool IsPublicUnicast(std::string_view address);

// The one public unicast address a page holds among its words (HTML or text); empty when it
// holds none, or several different ones.
std::string AddressInPage(std::string_view page);

// " and 3 more lines" when the first line of `answer` is an address and more lines follow;
// empty otherwise. For the log line of an answer that is not one address.
std::string MoreLinesNote(std::string_view answer);

} // namespace zevlo::text
