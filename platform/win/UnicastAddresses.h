#pragma once

#include "platform/AddressWatch.h"

// In this order: the address types before the functions that use them.
#include <winsock2.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

namespace zevlo::platform::win {

// A row of the system's unicast address table as the set comparison sees it: the scope
// from the address itself, ready once duplicate address detection is over (preferred or
// deprecated). Lifetimes and the other fields do not count.
MachineAddress AddressFromRow(const MIB_UNICASTIPADDRESS_ROW &row);

} // namespace zevlo::platform::win
