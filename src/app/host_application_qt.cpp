#include "app/host_application_qt.h"

#include <cstdio>
#include <exception>

namespace cv {

bool HostApplication::notify(QObject* receiver, QEvent* event) {
    std::string what;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "unknown error";
    }
    if (m_report) m_report(what);
    else std::fprintf(stderr, "cvhost: %s\n", what.c_str());
    return false;
}

} // namespace cv
