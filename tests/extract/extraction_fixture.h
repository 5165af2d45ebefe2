#pragma once
// A run file written into a temporary folder and extracted there, for the extraction tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "extract/run_extraction.h"
#include "extract_test_support.h"
#include "support/temp_dir.h"

namespace cv::test {

using Choice = ExtractChoice;

class Extraction : public ::testing::Test {
protected:
    ExtractionResult run(const RunBytes& run, Choice choice = Choice::ArchivePlusRaw, const std::string& name = "run.007",
                         bool debug = false) {
        writeBytes(dir / name, run.bytes);
        ExtractOptions options;
        options.debugListing = debug;
        return extractRunFile(dir / name, choice, options, state, warnings);
    }
    bool has(const std::string& name) const { return std::filesystem::exists(dir / name); }
    std::vector<uint8_t> bytes(const std::string& name) const { return readBytes(dir / name); }
    std::vector<ArchiveRecord> archive(const std::string& name = "archive.007") const {
        std::vector<ArchiveRecord> records;
        EXPECT_TRUE(parseArchive(bytes(name), records)) << "archive framing broken";
        return records;
    }

    TempDir dir;
    ExtractionState state;
    RecordedWarnings warnings;
};

inline std::vector<uint8_t> B(const std::string& s) { return textBytes(s); }

} // namespace cv::test
