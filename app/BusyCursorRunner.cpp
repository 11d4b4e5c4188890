#include "app/BusyCursorRunner.h"

#include <QApplication>
#include <QCursor>

namespace zevlo {

namespace {

// Restores the cursor however the run ends.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

platform::RunResult BusyCursorRunner::RunCommand(const std::string &command, const std::string &directory) {
    BusyCursor busy;
    return inner_.RunCommand(command, directory);
}

platform::RunResult BusyCursorRunner::RunProgram(const std::vector<std::string> &args, const std::string &directory,
                                                 const std::optional<std::string> &input) {
    BusyCursor busy;
    return inner_.RunProgram(args, directory, input);
}

} // namespace zevlo
