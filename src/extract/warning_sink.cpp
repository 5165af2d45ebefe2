#include "extract/warning_sink.h"

#include "ports/operator_dialogs.h"

namespace cv {

void WarningBoxSink::warning(const std::string& title, const std::string& text) { m_box.show(title, text); }

} // namespace cv
