#include "memory/on_demand_extraction.h"

#include <optional>
#include <string>

#include "base/text_format.h"
#include "memory/upload_view.h"
#include "ports/operator_dialogs.h"

namespace cv {

namespace {
const char* const kExtractTitle = "Extract Run File";
const char* const kExtractFilter = "Run Files|Run.*|All Files|*.*";
const char* const kCannotOpenFormat = "Unable to open %s";
const char* const kNoRecordFormat = "%s holds no complete record: nothing was extracted";
const char* const kExtractedFormat = "%s extracted into %s: %s";
const char* const kExtractedDamagedFormat = "%s is cut short or damaged; what it holds was extracted into %s: %s";
const char* const kNothingExtractedFormat = "Nothing extracted from %s";
const char* const kExtractingFormat = "Extracting run %d: %d%%";
} // namespace

void OnDemandExtraction::extractChosenFile(int extractChoice) {
    m_upload.setExtractChoice(extractChoice);
    // The extraction keeps state of its own for one run at a time; an upload finishing inside
    // one of its boxes would start a second one over it.
    if (m_upload.refuseWhileUploading()) return;
    FileChoice choice;
    choice.title = kExtractTitle;
    choice.filter = kExtractFilter;
    const std::optional<std::string> chosen = m_dialogs.chooseOpenFile(choice);
    if (!chosen || !m_extraction.available()) return;
    const std::filesystem::path path(*chosen);
    m_view.setResultText("");
    const int run = runNumberFromPath(path).value_or(0);
    m_extraction.start(
        path, extractChoice, [this, run](int percent) { m_view.setResultText(format(kExtractingFormat, run, percent)); },
        [this, path](const OffTickExtraction::Outcome& outcome) {
            if (outcome.failure.empty()) {
                showResult(path, outcome.result);
            } else {
                m_view.setResultText("");
                m_warnings.show(kExtractTitle, extractionFailedText(path, outcome.failure));
            }
        });
}

void OnDemandExtraction::showResult(const std::filesystem::path& path, const ExtractionResult& result) {
    const std::string file = path.string();
    const std::string name = path.filename().string();
    switch (result.status) {
    case ExtractStatus::CannotOpen: m_warnings.show(kExtractTitle, format(kCannotOpenFormat, file.c_str())); break;
    case ExtractStatus::Empty: m_warnings.show(kExtractTitle, format(kNoRecordFormat, file.c_str())); break;
    case ExtractStatus::UnusableName:
    case ExtractStatus::Refused: break;  // the extraction's own warning has said why
    case ExtractStatus::Extracted: {
        std::string files;
        for (const auto& f : result.files) files += (files.empty() ? "" : ", ") + f.filename().string();
        if (files.empty()) files = "no file";
        std::filesystem::path folder = result.files.empty() ? path.parent_path() : result.files.front().parent_path();
        if (folder.empty()) folder = ".";
        m_view.setResultText(format(result.incomplete() ? kExtractedDamagedFormat : kExtractedFormat, name.c_str(),
                                    folder.string().c_str(), files.c_str()));
        return;
    }
    }
    m_view.setResultText(format(kNothingExtractedFormat, name.c_str()));
}

} // namespace cv
