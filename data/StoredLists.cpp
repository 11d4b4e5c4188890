#include "data/StoredLists.h"

namespace zevlo {

const std::vector<std::string> &Entries(StoredList list) {
    static const std::vector<std::string> protocols{"HTTPS", "HTTP"};
    static const std::vector<std::string> methods{"GET", "POST"};
    static const std::vector<std::string> updateAuth{"Basic", "Digest"};
    static const std::vector<std::string> checkAuth{"None", "Basic", "Digest"};
    switch (list) {
    case StoredList::Protocol:
        return protocols;
    case StoredList::Method:
        return methods;
    case StoredList::UpdateAuth:
        return updateAuth;
    case StoredList::CheckAuth:
        break;
    }
    return checkAuth;
}

int EntryOrNone(const std::vector<std::string> &entries, int index) {
    return index >= 0 && index < static_cast<int>(entries.size()) ? index : -1;
}

std::string EntryText(StoredList list, int index) {
    const std::vector<std::string> &entries = Entries(list);
    const int entry = EntryOrNone(entries, index);
    return entry < 0 ? std::string() : entries[static_cast<std::size_t>(entry)];
}

} // namespace zevlo
