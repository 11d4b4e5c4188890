#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zevlo::test {

// Whole files through plain system calls, independent of the file code under test.

// The bytes of the file; empty when it cannot be read. On Windows the file may be open in
// another process meanwhile, even one that replaces it.
std::string ReadBytes(const std::string &path);

// The lines of a text, without their ends ("\n" or "\r\n"); a last line needs none.
std::vector<std::string> Lines(const std::string &text);

// The value of `key` in Settings.ini text: the first line naming it, without regard to case.
std::optional<std::string> IniValue(const std::string &text, const std::string &key);

// Creates or replaces the file with exactly `bytes`; throws when that fails, so a test
// never runs on a file it did not get.
void WriteBytes(const std::string &path, std::string_view bytes);

} // namespace zevlo::test
