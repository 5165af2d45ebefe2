#include "hardware/record_file.h"

#include <fstream>
#include <vector>

#include "base/bytes.h"
#include "base/durable_file.h"

namespace cv::hardware {

FileOutcome writeRecordFile(const std::filesystem::path& path, const uint8_t* record, size_t length) {
    switch (replaceFile(path, record, length)) {
    case ReplaceOutcome::Ok: return FileOutcome::Ok;
    case ReplaceOutcome::CannotCreate: return FileOutcome::CannotOpen;
    case ReplaceOutcome::WriteFailed: break;
    }
    return FileOutcome::WriteFailed;
}

FileOutcome readRecordFile(const std::filesystem::path& path, uint8_t* record, size_t length) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return FileOutcome::CannotOpen;
    std::vector<char> bytes(length);
    in.read(bytes.data(), std::streamsize(length));
    if (size_t(in.gcount()) < length) return FileOutcome::Short;
    std::copy(bytes.begin(), bytes.end(), record);
    return FileOutcome::Ok;
}

std::string fileProblemText(FileOutcome outcome, const std::string& path) {
    switch (outcome) {
    case FileOutcome::CannotOpen: return "Unable to open the file " + path;
    case FileOutcome::Short: return "The file " + path + " is too short to hold a whole record; nothing was loaded";
    case FileOutcome::WriteFailed: return "Unable to write the whole record to the file " + path;
    case FileOutcome::Ok: break;
    }
    return {};
}

std::string withDefaultExtension(const std::string& path, const char* extension) {
    std::filesystem::path p(path);
    if (p.has_extension()) return path;
    return path + extension;
}

bool recordIntact(const uint8_t* record, size_t length, uint8_t type) {
    return record[0] == type && record[1] == type && packetChecksumOk(record, length);
}

} // namespace cv::hardware
