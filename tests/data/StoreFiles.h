#pragma once

#include "data/Tdm.h"
#include "platform/FileError.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace zevlo::test {

// A store on these files (none where empty) that has read nothing yet.
inline std::unique_ptr<Tdm> StoreOn(const std::string &settingsFile, const std::string &logFile = {}) {
    auto dm = std::make_unique<Tdm>();
    dm->SettingsFile = settingsFile;
    dm->LogFile = logFile;
    return dm;
}

// The text of the file error the action throws; "(no error)" when it throws none.
inline std::string FileErrorOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const FileError &error) {
        return error.what();
    }
    return "(no error)";
}

// The action fails with a file error that starts so and gives a cause after it.
inline void ExpectFileError(const std::function<void()> &action, const std::string &start) {
    const std::string text = FileErrorOf(action);
    EXPECT_EQ(text.rfind(start, 0), 0u) << text;
    EXPECT_GT(text.size(), start.size()) << text;
}

} // namespace zevlo::test
