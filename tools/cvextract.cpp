// cvextract: extracts logger run files from the command line with the host program's own
// extraction. See --help.
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "extract/extract_command.h"

namespace {

// Standard error, line by line, with the usage text after a usage error cut to a pointer at
// --help: one line names the fault, as with the other programs.
class UsageErrorLines : public std::streambuf {
public:
    explicit UsageErrorLines(std::ostream& to) : m_to(to) {}
    ~UsageErrorLines() override { sync(); }

protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return 0;
        m_line += char(c);
        if (c == '\n') flushLine();
        return c;
    }
    int sync() override {
        if (!m_line.empty()) flushLine();
        m_to.flush();
        return 0;
    }

private:
    void flushLine() {
        if (!m_inUsage && m_line.rfind("Usage: cvextract", 0) == 0) {
            m_inUsage = true;
            m_to << "Try 'cvextract --help'\n";
        }
        if (!m_inUsage) m_to << m_line;
        m_line.clear();
    }
    std::ostream& m_to;
    std::string m_line;
    bool m_inUsage = false;
};

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    UsageErrorLines errLines(std::cerr);
    std::ostream err(&errLines);
    return cv::runExtractCommand(args, std::cout, err);
}
