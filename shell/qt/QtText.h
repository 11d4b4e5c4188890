#pragma once

#include <QString>

#include <string>

namespace zevlo::qt {

// The core holds 8-bit text in the system's encoding; Qt holds UTF-16.
inline QString FromLocal8(const std::string &text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToLocal8(const QString &text) {
    return text.toLocal8Bit().toStdString();
}

} // namespace zevlo::qt
