#include "engine/Endpoints.h"

namespace zevlo {

const char *CaptionFor(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return "Error";
    case MessageKind::Warning:
        return "Warning";
    case MessageKind::FileError:
        break;
    }
    return kApplicationTitle;
}

} // namespace zevlo
