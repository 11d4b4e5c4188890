#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace zevlo::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        // Some random_device implementations repeat themselves; the clock and a count make
        // every try differ anyway.
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (unsigned attempt = 0;; ++attempt) {
            const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
            path_ = base / ("zevlo-data-" + std::to_string(random()) + "-" + std::to_string(ticks) + "-" +
                            std::to_string(attempt));
            if (std::filesystem::create_directory(path_))
                break;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Plain stream I/O, independent of the code under test.
inline void WriteBytes(const std::string &path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace zevlo::test
