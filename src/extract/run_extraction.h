#pragma once
// Extraction of a run file (run.NNN) into files other tools read: archive.NNN in the archive
// record format, Battery.NNN, Summary.NNN and, with raw files chosen, Port1.NNN .. Port8.NNN,
// analog.NNN and timestp.NNN. NNN is the run number behind the last dot of the file name.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace cv {

class OutputStore;
class WarningSink;

// The item index of the "Extract File Types" radio group.
enum class ExtractChoice : int {
    ArchiveOnly = 0,     // "CV Archive"
    ArchivePlusRaw = 1,  // "CV Archive Plus Raw Files"
};

struct ExtractOptions {
    bool debugListing = false;  // write log.dat ("Write Debug File")
    // Where the outputs (and log.dat) go; empty means the folder of the run file.
    std::filesystem::path outputDirectory;
    // Told the share of the run read so far (0..100) each time it grows, and 100 at the end;
    // called on the thread that extracts.
    std::function<void(int percent)> progress;
};

// Counters that carry on from one extraction to the next for as long as the program runs.
// Keep one per program (or per command-line run) and pass it to every extraction.
struct ExtractionState {
    uint8_t windowCounter = 0;  // sequence number of the next record built from a time window
    uint8_t headerCounter = 0;  // sequence number of the next record built from a header block
    uint8_t headerFlag = 0;     // second header byte of header-block records (7-byte ARCHIVE HEADER)
    uint32_t headerTime = 0;    // time of the ARCHIVE HEADER that opened the current block
};

enum class ExtractStatus {
    Extracted,     // the run file was read (warnings may still have been given)
    UnusableName,  // no run number behind the last dot of the file name; nothing written
    CannotOpen,    // the run file could not be opened; nothing written
    Empty,         // the run file holds no complete record header; nothing written
    Refused,       // the run file does not start with a valid record header; nothing written
};

struct ExtractionResult {
    ExtractStatus status = ExtractStatus::Extracted;
    int runNumber = -1;
    std::vector<std::filesystem::path> files;  // outputs created, in the order they were created
    uint64_t records = 0;                      // valid records read
    uint64_t rejectedHeaders = 0;              // header positions skipped while resynchronising
    uint64_t unknownRecords = 0;               // records of a type that means nothing (26)
    uint64_t damagedRecords = 0;               // records too short or inconsistent to be used
    uint64_t archiveRecords = 0;               // records written to archive.NNN
    uint64_t earlyWindowRecords = 0;           // window records written early because a section was full
    bool cutShort = false;                     // the last record was cut short by the end of the file
    uint64_t outputFailures = 0;               // outputs that could not be created, written or closed
    bool usable() const { return status == ExtractStatus::Extracted; }
    // Extracted, but not the whole run the logger recorded: the outputs hold what was there.
    bool incomplete() const {
        return usable() && (cutShort || rejectedHeaders > 0 || damagedRecords > 0 || unknownRecords > 0);
    }
};

// The run number a run file's name gives: the decimal digits that start the text behind the
// last dot of the file name, 0..65535, a ".part" ending set aside. Nothing when there is no dot
// or no number there.
std::optional<int> runNumberFromPath(const std::filesystem::path& runFile);

// The ending of a run file an upload left unfinished (run.NNN.part).
inline constexpr std::string_view kPartSuffix = ".part";

// Extracts one run file. Warnings go to warnings, in the order the program shows them; the
// result says what was done. Output files are created empty when their first record arrives;
// files for which no record arrives are left as they were.
ExtractionResult extractRunFile(const std::filesystem::path& runFile, ExtractChoice choice, const ExtractOptions& options,
                                ExtractionState& state, WarningSink& warnings);

// Extracts a run file's bytes held in memory into outputs, exactly as extractRunFile does with a
// file of that name; options.outputDirectory is not used (the store decides where outputs go),
// and the result names the outputs by their location in the store.
ExtractionResult extractRunBytes(const std::filesystem::path& runName, const uint8_t* data, size_t size,
                                 ExtractChoice choice, const ExtractOptions& options, ExtractionState& state,
                                 WarningSink& warnings, OutputStore& outputs);

// Warning texts of extraction.
namespace extract_text {
constexpr const char* kUnusableNameTitle = "Unusable File Name '%s";
constexpr const char* kUnusableNameText = "Extraction Requires name.xxx, where xxx=000-999";
constexpr const char* kUnknownTypeTitle = "Unknown Type:  %d %02x";
constexpr const char* kUnknownTypeText = "Record Not Saved";
constexpr const char* kFileErrorTitle = "File Extraction Error";
constexpr const char* kNoSummaryText = "Unable to create Summary File";
constexpr const char* kCannotCreateText = "Unable to create %s";
constexpr const char* kCannotWriteText = "Unable to write %s";
constexpr const char* kDamagedTitle = "Run File Error";
constexpr const char* kDamagedArchiveText = "%llu Damaged Archive Records Not Saved";
}  // namespace extract_text

} // namespace cv
