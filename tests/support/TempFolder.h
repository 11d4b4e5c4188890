#pragma once

#include <filesystem>
#include <string>

namespace zevlo::test {

// A fresh, empty folder of the test's own (only its owner may enter it on POSIX systems),
// removed with everything in it when the owner goes; kept for a look when the environment
// sets ZEVLO_KEEP_TEST_FILES. Throws when no folder can be made.
class TempFolder {
public:
    explicit TempFolder(const std::filesystem::path &parent = std::filesystem::temp_directory_path());
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    // The folder itself.
    const std::filesystem::path &Root() const { return root_; }
    // The folder with a trailing separator, as the program passes folders around.
    const std::string &Path() const { return path_; }
    // The path of `name` inside the folder.
    std::string File(const std::string &name) const { return (root_ / name).string(); }

private:
    std::filesystem::path root_;
    std::string path_;
};

} // namespace zevlo::test
