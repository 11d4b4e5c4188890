#pragma once

#include "data/TextList.h"

#include <string>

namespace zevlo {

// The log lines as CSV: the header "Timestamp,Type,Data", then per line the text before
// the first TAB, the type up to the first blank after it, and the rest without its leading
// blanks; a field starting with =, +, -, @, TAB or CR gets a leading ' (a spreadsheet
// would run it as a formula); fields holding a comma, a double quote, CR or LF are quoted
// (RFC 4180). Every line ends in CR LF.
std::string LogToCsv(const TextList &logLines);

// Writes LogToCsv(logLines) to `path` atomically, through a temporary file of a name of its
// own: a "<path>.tmp" beside the chosen file may be one of the user's. Throws FileError.
void ExportLogCsv(const TextList &logLines, const std::string &path);

} // namespace zevlo
