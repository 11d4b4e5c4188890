#pragma once

#include <stdexcept>
#include <string>

namespace zevlo {

// A settings, log or export file could not be read or written. The message is
// the text shown to the user: "Cannot open file "<path>". <system text>".
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zevlo
