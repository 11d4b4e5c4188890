#include "data/LogCsv.h"

#include "platform/FileIO.h"

#include <string_view>

namespace zevlo {

namespace {

// A spreadsheet takes a cell starting with one of these as a formula (a service's answer
// "=HYPERLINK(...)" would become a link); a leading ' makes it text, as spreadsheet
// guidance advises.
bool StartsLikeAFormula(std::string_view field) {
    return !field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
}

void AppendField(std::string &out, std::string_view field) {
    const std::string_view prefix = StartsLikeAFormula(field) ? "'" : "";
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += prefix;
        out += field;
        return;
    }
    out += '"';
    out += prefix;
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

struct LogFields {
    std::string_view timestamp;
    std::string_view type;
    std::string_view data;
};

// "<timestamp>\t<type> <data>"; the check type carries a trailing blank of its own, so
// the data may start after several blanks.
LogFields SplitLogLine(std::string_view line) {
    LogFields fields;
    const auto tab = line.find('\t');
    if (tab == std::string_view::npos) {
        fields.timestamp = line;
        return fields;
    }
    fields.timestamp = line.substr(0, tab);
    const auto rest = line.substr(tab + 1);
    const auto blank = rest.find(' ');
    if (blank == std::string_view::npos) {
        fields.type = rest;
        return fields;
    }
    fields.type = rest.substr(0, blank);
    const auto dataStart = rest.find_first_not_of(' ', blank);
    if (dataStart != std::string_view::npos)
        fields.data = rest.substr(dataStart);
    return fields;
}

} // namespace

std::string LogToCsv(const TextList &logLines) {
    std::string csv = "Timestamp,Type,Data\r\n";
    for (const auto &line : logLines) {
        const auto fields = SplitLogLine(line);
        AppendField(csv, fields.timestamp);
        csv += ',';
        AppendField(csv, fields.type);
        csv += ',';
        AppendField(csv, fields.data);
        csv += "\r\n";
    }
    return csv;
}

void ExportLogCsv(const TextList &logLines, const std::string &path) {
    platform::ReplaceFileAtomically(path, LogToCsv(logLines), platform::FileAccess::Usual,
                                    platform::TemporaryName::Unique);
}

} // namespace zevlo
