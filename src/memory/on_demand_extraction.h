#pragma once
// Parse Run Files: extracting a run file the operator picks on the upload's file lane, showing
// how far it has got and then what came of it on the page.
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
        : m_upload(upload), m_warnings(warnings), m_dialogs(dialogs), m_view(view),
          m_extraction(upload.fileLane(), warnings, std::move(extract)) {}

    // Asks for the file and starts extracting it with the extraction choice (0 archive only,
    // 1 with raw files); the result comes with a later poll of the upload's lane.
    void extractChosenFile(int extractChoice);
    // On the tick: shows the warnings and progress that came since the last call.
    void relay() { m_extraction.relay(); }

private:
    void showResult(const std::filesystem::path& path, const ExtractionResult& result);

    UploadSession& m_upload;
    WarningBox& m_warnings;
    OperatorDialogs& m_dialogs;
    UploadView& m_view;
    OffTickExtraction m_extraction;
};

} // namespace cv
