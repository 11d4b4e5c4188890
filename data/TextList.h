#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zevlo {

// An ordered list of 8-bit text lines, as Settings.ini, log.txt and the CSV export hold them.
using TextList = std::vector<std::string>;

// Lines end at CR LF, a lone CR or a lone LF; a final line without a break is read.
// Any other byte, NUL included, belongs to its line.
TextList SplitLines(std::string_view text);

// Every line, the last included, followed by CR LF.
std::string JoinLines(const TextList &lines);

// Names in the files match without regard to the case of ASCII letters; other bytes match
// only themselves.
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace zevlo
