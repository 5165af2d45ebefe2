#pragma once
// The host setup file (*.cvh): a header naming the program version, then 22 numbered lines of
// integers. Reading checks the whole file before anything is applied, so a damaged file
// changes nothing; writing replaces the file whole (base/durable_file.h), so a crash, a full disk
// or a power cut never leaves a half-written file that the next start would refuse.
#include <array>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <vector>

#include "protocol/host_setup_part.h"

namespace cv {

class WarningBox;

namespace hostsetup {

constexpr int kLineCount = hostline::kCount;
constexpr int kMaxCount = 20;
constexpr size_t kMaxLineLength = 499;
// The value count of each line by number (index 0 unused); line 1 of an older file has two.
extern const std::array<int, kLineCount + 1> kCounts;
constexpr int kOlderLineOneCount = 2;

// "CV Host Version=7.06"
std::string headerLine();
// True when a header names this program's version.
bool isCurrentVersion(const std::string& header);

// The text of a line: number, count, the values, and what some lines carry after them.
std::string lineText(int number, const std::vector<int>& values);

using Values = std::array<int16_t, kMaxCount>;

// Checks one line read from the file against its expected number and count and fills
// `values`; a wrong line is reported in one warning box and gives false.
bool checkLine(const std::string& line, int expectedNumber, int expectedCount, Values& values, WarningBox& warnings);

// Reads one line as the reader takes it: up to its line end or kMaxLineLength characters,
// without the line end. False at the end of the input.
bool readLine(std::istream& in, std::string& line);

// Checks the whole file first and applies it to the parts, line by line, only when it passes.
// False when the file does not exist or a line is wrong (already reported); a file that exists
// but cannot be opened gives true and changes nothing.
bool load(const std::filesystem::path& file, const std::vector<HostSetupPart*>& parts, bool atStartup,
          WarningBox& warnings);
// The same over text in memory (no existence rule).
bool loadText(const std::string& text, const std::vector<HostSetupPart*>& parts, bool atStartup,
              WarningBox& warnings);

// Line 3's height or width as the window takes it: a value of 0 or less keeps the window's own
// (`current`), and none is larger than the room the screen has for it.
int windowExtent(int stored, int current, int room);

// The whole file as the parts describe the present state, CR LF line ends.
std::string fileText(const std::vector<HostSetupPart*>& parts);
// Replaces `file` with fileText, whole; false when it could not be written, and then the old
// file is as it was.
bool save(const std::filesystem::path& file, const std::vector<HostSetupPart*>& parts);

} // namespace hostsetup
} // namespace cv
