#include "extract/extract_command.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "extract/run_extraction.h"
#include "extract/warning_sink.h"

namespace cv {

namespace {

constexpr const char* kUsage =
    "Usage: cvextract [--raw] [--debug] [-o DIR] RUNFILE...\n"
    "Extracts logger run files (run.NNN) into archive.NNN, Battery.NNN and Summary.NNN,\n"
    "one file after another, exactly as the host program does after an upload.\n"
    "\n"
    "  --raw              also write the raw files Port1.NNN .. Port8.NNN, analog.NNN and timestp.NNN\n"
    "  --debug            write the record listing log.dat into the output folder\n"
    "                     (each run file starts it afresh, as in the program)\n"
    "  -o, --output DIR   write the outputs into DIR (created when missing) instead of\n"
    "                     the folder of each run file\n"
    "  -h, --help         show this help and exit\n"
    "  --                 take every argument after it as a run file\n"
    "\n"
    "Warnings are printed on standard error.\n"
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
    bool help = false;
    std::filesystem::path outputDirectory;
    std::vector<std::string> runFiles;
};

// Returns an error text, or an empty string when the arguments are usable.
std::string parseArguments(const std::vector<std::string>& args, Arguments& parsed) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            parsed.runFiles.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
        } else if (a == "--raw") {
            parsed.raw = true;
        } else if (a == "--debug") {
            parsed.debug = true;
        } else if (a == "-h" || a == "--help") {
            parsed.help = true;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return "option " + a + " needs a folder";
            parsed.outputDirectory = args[++i];
        } else if (a.rfind("--output=", 0) == 0) {
            if (a.size() == 9) return "option --output needs a folder";
            parsed.outputDirectory = a.substr(9);
        } else if (a.size() > 2 && a.rfind("-o", 0) == 0) {
            parsed.outputDirectory = a.substr(2);
        } else {
            return "unknown option " + a;
        }
    }
    if (!parsed.help && parsed.runFiles.empty()) return "no run file given";
    return {};
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
    const std::string problem = parseArguments(args, parsed);
    if (parsed.help) {
        out << kUsage;
        return kExtractExitOk;
    }
    if (!problem.empty()) {
        err << "cvextract: " << problem << '\n' << kUsage;
        return kExtractExitUsage;
    }
    if (!parsed.outputDirectory.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(parsed.outputDirectory, ec);
        if (!std::filesystem::is_directory(parsed.outputDirectory, ec)) {
            err << "cvextract: cannot create the output folder " << parsed.outputDirectory.string() << '\n';
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
