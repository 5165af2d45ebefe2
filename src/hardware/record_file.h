#pragma once
// The *.hdw and *.alg files: one record, exactly as it travels, nothing else.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace cv::hardware {

enum class FileOutcome { Ok, CannotOpen, Short, WriteFailed };

// Replaces the file whole: a failed write leaves the file that was there as it was.
FileOutcome writeRecordFile(const std::filesystem::path& path, const uint8_t* record, size_t length);
// Reads `length` bytes into `record`; `record` is left untouched unless the whole record was read.
FileOutcome readRecordFile(const std::filesystem::path& path, uint8_t* record, size_t length);

// The operator's message for a failed read or write, naming the file.
std::string fileProblemText(FileOutcome outcome, const std::string& path);

// A chosen save name without an extension gets the dialog's default one.
std::string withDefaultExtension(const std::string& path, const char* extension);

// True when the type bytes and the trailing checksum of a record hold.
bool recordIntact(const uint8_t* record, size_t length, uint8_t type);

} // namespace cv::hardware
