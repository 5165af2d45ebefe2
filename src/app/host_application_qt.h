#pragma once
// The application object: an exception that escapes an event handler is shown to the operator
// and the program goes on, instead of ending with whatever a recording or an upload had open.
#include <QApplication>
#include <functional>
#include <string>

namespace cv {

class HostApplication : public QApplication {
public:
    HostApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    // Shows the text of an escaped exception; without one the text goes to stderr.
    void setReporter(std::function<void(const std::string&)> report) { m_report = std::move(report); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::function<void(const std::string&)> m_report;
};

} // namespace cv
