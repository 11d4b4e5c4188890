#pragma once

#include <QIcon>

namespace zevlo {

// The program's icon from the compiled-in resources; a drawn stand-in when the program was
// built without them, so the tray never shows an empty slot.
QIcon ApplicationIcon();

} // namespace zevlo
