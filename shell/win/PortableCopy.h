#pragma once

#include <functional>
#include <string>

namespace zevlo::win {

// Asks the user a Yes/No question; true for Yes.
using AskYesNo = std::function<bool(const std::string &text)>;

// The installed program's first start after a portable copy: when the login entry starts
// another Zevlo.exe that has a Settings.ini of the user's beside it and the per-user folder
// has none yet, the user is asked whether the installed copy should take that Settings.ini
// and log.txt into the per-user folder and start at login instead. Otherwise the old copy
// would start at login and the installed one, started later, end at once as a second copy.
// Does nothing for a portable copy, or while another copy is using the old folder. Yes moves
// the files (never over a file in the per-user folder) and points the login entry at
// `ownExe`; No changes nothing. Problems are reported through `report`.
void OfferToTakeOverPortableCopy(const std::string &ownExe, const std::string &perUserDir, const AskYesNo &ask,
                                 const std::function<void(const std::string &)> &report);

// The same with the system's boxes, for the window program's start.
void OfferToTakeOverPortableCopy();

} // namespace zevlo::win
