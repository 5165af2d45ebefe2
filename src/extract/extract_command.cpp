#include "extract/extract_command.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "base/command_line.h"
#include "extract/run_extraction.h"
#include "extract/warning_sink.h"

namespace cv {

namespace {

constexpr const char* kProgram = "cvextract";

constexpr const char* kExitStatusText =
    "Every argument after -- is taken as a run file. Warnings are printed on standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  every run file was extracted whole\n"
    "  1  a run file could not be used, or an output could not be written\n"
    "  2  usage error\n"
    "  3  every run file was extracted, but at least one was cut short or damaged: its\n"
    "     outputs hold what it had, and standard error names it (1 wins over 3)\n";

class StreamWarnings : public WarningSink {
public:
    explicit StreamWarnings(std::ostream& err) : m_errors(err) {}
    void setFile(const std::string& file) { m_file = file; }
    void warning(const std::string& title, const std::string& text) override {
        m_errors << "cvextract: " << m_file << ": " << title << ": " << text << '\n';
    }

private:
    std::ostream& m_errors;
    std::string m_file;
};

struct Arguments {
    bool raw = false;
    bool debug = false;
    std::string outputDirectory;
    std::vector<std::string> runFiles;
};

cli::Verdict parseArguments(const std::vector<std::string>& args, Arguments& parsed) {
    cli::CommandLine line(kProgram, {"[--raw] [--debug] [-o DIR] RUNFILE..."},
                          "Extracts logger run files (run.NNN) into archive.NNN, Battery.NNN and Summary.NNN,\n"
                          "one file after another, exactly as the host program does after an upload.",
                          kExitStatusText);
    line.flag("--raw", parsed.raw, "also write the raw files Port1.NNN .. Port8.NNN, analog.NNN and timestp.NNN");
    line.flag("--debug", parsed.debug,
              "write the record listing log.dat into the output folder (each run file starts it afresh, as in "
              "the program)");
    line.option("-o,--output", "DIR",
                "write the outputs into DIR (created when missing) instead of the folder of each run file",
                parsed.outputDirectory);
    line.arguments(parsed.runFiles);
    const cli::Verdict verdict = line.parse(args);
    if (verdict.run() && parsed.runFiles.empty()) return cli::usageError("no run file given");
    return verdict;
}

const char* statusText(ExtractStatus status) {
    switch (status) {
    case ExtractStatus::UnusableName: return "no run number in the file name, nothing extracted";
    case ExtractStatus::CannotOpen: return "cannot open the run file";
    case ExtractStatus::Empty: return "no complete record in the run file, nothing extracted";
    case ExtractStatus::Refused: return "not a run file (bad first record header), nothing extracted";
    case ExtractStatus::Extracted: break;
    }
    return "";
}

// What made an extracted run file less than the whole run.
std::string damageText(const ExtractionResult& r) {
    std::string text = r.cutShort ? "cut short: the last record is cut short by the end of the file"
                                  : "damaged";
    auto add = [&text](uint64_t n, const char* one, const char* many) {
        if (n > 0) text += ", " + std::to_string(n) + (n == 1 ? one : many);
    };
    add(r.rejectedHeaders, " byte skipped", " bytes skipped");
    add(r.damagedRecords, " unusable record", " unusable records");
    add(r.unknownRecords, " record of unknown type", " records of unknown type");
    return text;
}

} // namespace

int runExtractCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments parsed;
    if (const cli::Verdict verdict = parseArguments(args, parsed); !verdict.run())
        return cli::finish(verdict, kProgram, out, err);
    if (!parsed.outputDirectory.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(parsed.outputDirectory, ec);
        if (!std::filesystem::is_directory(parsed.outputDirectory, ec)) {
            err << "cvextract: cannot create the output folder " << parsed.outputDirectory << '\n';
            return kExtractExitUnusable;
        }
    }

    ExtractOptions options;
    options.debugListing = parsed.debug;
    options.outputDirectory = parsed.outputDirectory;
    const ExtractChoice choice = parsed.raw ? ExtractChoice::ArchivePlusRaw : ExtractChoice::ArchiveOnly;
    ExtractionState state;  // carries on from one run file to the next, as in the program
    StreamWarnings warnings(err);
    int status = kExtractExitOk;
    for (const std::string& file : parsed.runFiles) {
        warnings.setFile(file);
        const ExtractionResult result = extractRunFile(file, choice, options, state, warnings);
        if (!result.usable()) {
            err << "cvextract: " << file << ": " << statusText(result.status) << '\n';
            status = kExtractExitUnusable;
            continue;
        }
        if (result.outputFailures > 0) {
            // The warnings above name them; a script must not take a half-written run for done.
            status = kExtractExitUnusable;
        }
        if (result.incomplete()) {
            err << "cvextract: " << file << ": " << damageText(result) << '\n';
            if (status == kExtractExitOk) status = kExtractExitIncomplete;
        }
        out << file << ": " << result.records << " records";
        if (result.rejectedHeaders > 0) out << ", " << result.rejectedHeaders << " bytes skipped";
        out << ";";
        if (result.files.empty()) out << " no output";
        for (const auto& path : result.files) out << ' ' << path.filename().string();
        if (!result.files.empty()) {
            const std::filesystem::path folder = result.files.front().parent_path();
            out << " in " << (folder.empty() ? std::string(".") : folder.string());
        }
        out << '\n';
    }
    return status;
}

} // namespace cv
