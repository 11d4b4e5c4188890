#include "platform/FileVersion.h"

#include <windows.h>

#include <vector>

namespace zevlo::platform {

std::string GetFileVersionText(const std::string &path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) {
        return {};
    }
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &length) || value == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(value);
    if (fixed->dwSignature != VS_FFI_SIGNATURE) {
        return {};
    }
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

} // namespace zevlo::platform
