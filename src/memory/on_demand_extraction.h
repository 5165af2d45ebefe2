#pragma once
// Parse Run Files: extracting a run file the operator picks, and saying on the page what came of
// it, since that job has no progress of its own to show.
#include <filesystem>

#include "memory/upload_session.h"

namespace cv {

class OperatorDialogs;
class UploadView;
class WarningBox;

class OnDemandExtraction {
public:
    OnDemandExtraction(UploadSession& upload, WarningBox& warnings, OperatorDialogs& dialogs, UploadView& view,
                       ExtractRunFile extract)
        : m_upload(upload), m_warnings(warnings), m_dialogs(dialogs), m_view(view), m_extract(std::move(extract)) {}

    // Asks for the file and extracts it with the extraction choice (0 archive only, 1 with raw files).
    void extractChosenFile(int extractChoice);

private:
    void showResult(const std::filesystem::path& path, const ExtractionResult& result);

    UploadSession& m_upload;
    WarningBox& m_warnings;
    OperatorDialogs& m_dialogs;
    UploadView& m_view;
    ExtractRunFile m_extract;
};

} // namespace cv
