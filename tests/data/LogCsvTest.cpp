#include "data/LogCsv.h"

#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <ostream>
#include <string>

namespace zevlo {
namespace {

constexpr const char *kHeader = "Timestamp,Type,Data\r\n";

struct RowCase {
    const char *name;
    std::string logLine;
    std::string row; // the expected CSV row without its CR LF
};

// Keeps test names short: ctest lists the printed parameter with every name.
void PrintTo(const RowCase &c, std::ostream *out) {
    *out << c.name;
}

class LogCsvRow : public ::testing::TestWithParam<RowCase> {};

TEST_P(LogCsvRow, OneLogLineGivesOneRow) {
    const auto &c = GetParam();
    EXPECT_EQ(LogToCsv({c.logLine}), std::string(kHeader) + c.row + "\r\n");
}

// Expected rows written by hand from RFC 4180: a field holding a comma, a double quote,
// CR or LF is enclosed in double quotes, and a double quote inside it is doubled.
const RowCase kRows[] = {
    {"CheckLineHasTwoBlanksBeforeData", "12/05/24 14:03:07\tCheck:  No changed detected.",
     "12/05/24 14:03:07,Check:,No changed detected."},
    {"UpdateLineHasOneBlank", "12/05/24 14:03:08\tUpdate: good 203.0.113.7",
     "12/05/24 14:03:08,Update:,good 203.0.113.7"},
    {"MidnightHasDateOnly", "12/05/24\tCheck:  198.51.100.1", "12/05/24,Check:,198.51.100.1"},
    {"CommaInDataIsQuoted", "t\tUpdate: ERROR - badauth, try again", "t,Update:,\"ERROR - badauth, try again\""},
    {"QuoteInDataIsDoubled", "t\tUpdate: said \"nochg\"", "t,Update:,\"said \"\"nochg\"\"\""},
    {"CommaInTimestampIsQuoted", "Thu, 12 May 2024\tCheck:  x", "\"Thu, 12 May 2024\",Check:,x"},
    {"SecondTabStaysInData", "t\tCheck:  a\tb", "t,Check:,a\tb"},
    {"NoTabFillsTimestampOnly", "a line, written by hand", "\"a line, written by hand\",,"},
    {"EmptyLineGivesEmptyFields", "", ",,"},
    {"TypeWithoutBlankHasNoData", "t\tUpdate:", "t,Update:,"},
    {"TypeFollowedOnlyByBlanks", "t\tCheck:   ", "t,Check:,"},
    {"BlankRightAfterTabGivesEmptyType", "t\t x", "t,,x"},
    {"EmptyTimestamp", "\tUpdate: good", ",Update:,good"},
    {"BlanksInsideDataKept", "t\tUpdate: a  b ", "t,Update:,a  b "},
    {"EightBitBytesPassThrough", "t\tCheck:  caf\xe9", "t,Check:,caf\xe9"},
    {"LoneQuoteField", "\"", "\"\"\"\",,"},
    // The characters that start a formula, from OWASP's "CSV Injection" page: such a field
    // gets a leading ' inside its quotes.
    {"FormulaInDataIsText", "t\tUpdate: =HYPERLINK(\"http://x\")", "t,Update:,\"'=HYPERLINK(\"\"http://x\"\")\""},
    {"PlusInDataIsText", "t\tUpdate: +1", "t,Update:,'+1"},
    {"MinusInDataIsText", "t\tUpdate: -2+3", "t,Update:,'-2+3"},
    {"AtInDataIsText", "t\tUpdate: @SUM(A1)", "t,Update:,'@SUM(A1)"},
    {"TabStartingDataIsText", "t\tCheck:  \tx", "t,Check:,'\tx"},
    {"FormulaInTimestampIsText", "=1+1\tCheck:  x", "'=1+1,Check:,x"},
    {"FormulaInTypeIsText", "t\t=cmd x", "t,'=cmd,x"},
    {"MinusInsideDataStays", "t\tUpdate: ERROR - badauth", "t,Update:,ERROR - badauth"},
};

INSTANTIATE_TEST_SUITE_P(Rows, LogCsvRow, ::testing::ValuesIn(kRows),
                         [](const auto &param) { return std::string(param.param.name); });

TEST(LogCsv, EmptyLogGivesHeaderOnly) {
    EXPECT_EQ(LogToCsv({}), "Timestamp,Type,Data\r\n");
}

TEST(LogCsv, LineBreaksInsideFieldsAreQuoted) {
    EXPECT_EQ(LogToCsv({"t\tUpdate: a\r\nb", "t\tUpdate: c\nd"}),
              std::string(kHeader) + "t,Update:,\"a\r\nb\"\r\nt,Update:,\"c\nd\"\r\n");
}

TEST(LogCsv, RowsKeepTheOrderOfTheLog) {
    EXPECT_EQ(LogToCsv({"1\tCheck:  a", "2\tUpdate: b", "3\tCheck:  c"}),
              std::string(kHeader) + "1,Check:,a\r\n2,Update:,b\r\n3,Check:,c\r\n");
}

TEST(LogCsv, ExportLeavesAFileNamedLikeItsTemporaryAlone) {
    test::TempFolder folder;
    const std::string path = folder.File("X.csv");
    test::WriteBytes(path + ".tmp", "the user's own file\r\n");
    ExportLogCsv({"1\tCheck:  a"}, path);
    ExportLogCsv({"2\tUpdate: b"}, path);
    EXPECT_EQ(test::ReadBytes(path), std::string(kHeader) + "2,Update:,b\r\n");
    EXPECT_EQ(test::ReadBytes(path + ".tmp"), "the user's own file\r\n");
    // Nothing of the export is left beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Root()), std::filesystem::directory_iterator()),
              2);
}

} // namespace
} // namespace zevlo
