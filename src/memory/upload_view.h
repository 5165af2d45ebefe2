#pragma once
// What the run directory and the upload show on the Upload Logger Data page, so that the core
// can be driven without widgets.
#include <string>

namespace cv {

class UploadView {
public:
    virtual ~UploadView() = default;
    virtual void setProgressMaximum(long maximum) = 0;   // UpLoadPB
    virtual void setProgressPosition(long position) = 0;
    virtual void setUploadRunText(const std::string& text) = 0;   // UpLoadRun
    virtual void setUploadSizeText(const std::string& text) = 0;  // UpLoadSize
    // beside the percentage: how long the rest of the run takes at the rate measured so far
    virtual void setTimeLeftText(const std::string& text) = 0;
    virtual void setStatusText(const std::string& text) = 0;      // CSError
    // UpLoadResult: where the runs of an upload or the files of an extraction went
    virtual void setResultText(const std::string& text) = 0;
    virtual void setTimeoutEnabled(bool enabled) = 0;             // the TTimeout timer
    virtual void appendRow(const std::string& text) = 0;          // LBProfiles
    virtual void clearRows() = 0;
};

} // namespace cv
