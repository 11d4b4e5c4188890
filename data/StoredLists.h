#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zevlo {

// The lists whose chosen entry Settings.ini keeps as an index.
enum class StoredList { Protocol, Method, UpdateAuth, CheckAuth };

// What a stored index stands for: the list's entries in order ("HTTPS", "HTTP"; "GET",
// "POST"; "Basic", "Digest"; "None", "Basic", "Digest").
const std::vector<std::string> &Entries(StoredList list);

// The protocol entry of plain HTTP.
inline constexpr std::int32_t kHttpEntry = 1;
// The check's authentication entry when nothing else is stored: "Basic".
inline constexpr std::int32_t kDefaultCheckAuthEntry = 1;

// The entry a stored index names; -1 when it names none.
int EntryOrNone(const std::vector<std::string> &entries, int index);
// The text of the entry a stored index names; empty when it names none.
std::string EntryText(StoredList list, int index);

} // namespace zevlo
