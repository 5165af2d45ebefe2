#pragma once
// The one convention every program's command line follows: --help and --version print on
// standard output and end with status 0; a usage error prints one line naming the fault and
// then "Try 'PROGRAM --help'" on standard error and ends with status 2. Every other status is
// the program's own.
//
// CommandLine reads the programs built on the core alone (CLI11 underneath, seen only by
// command_line.cpp); cvhost reads its options with Qt's parser and hands its verdict to finish().
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cv::cli {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

// "7.06 (build 1a2b3c4 RelWithDebInfo)"
std::string programVersion();
// "cvarchive 7.06 (build 1a2b3c4 RelWithDebInfo)"
std::string versionLine(const std::string& program);

// What reading a command line came to.
struct Verdict {
    enum Kind { Run, Help, Version, UsageError };
    Kind kind = Run;
    std::string text;  // the help, the version line or the fault
    bool run() const { return kind == Run; }
};

Verdict usageError(std::string fault);

// Prints what the verdict asks for and returns the exit status: the help or the version line on
// `out` with 0, the fault on `err` with 2. A verdict to run returns 0 and prints nothing.
int finish(const Verdict& verdict, const std::string& program, std::ostream& out, std::ostream& err);

// A program's options. An option may be repeated: its handler sees each value in the order
// given (the last one counts unless the handler collects them). Handlers of different options
// run in the order the options were added, whatever their order on the line. `--name=value`,
// `-oVALUE`, `--` and run-together short switches work as usual. Faults are named in one voice:
//   unknown option '--bogus'         unexpected argument 'x'
//   --port needs a value             --raw takes no value
//   --port '9': expected a port from 1 to 8
class CommandLine {
public:
    // Takes a value and returns an empty text when it is used, or what was expected instead
    // ("a port from 1 to 8"). An empty value never reaches it: that is "needs a value".
    using Take = std::function<std::string(const std::string& value)>;

    // `usages`: each form of the command after the program's name ("[options] FILE...");
    // `description` follows the usage lines, `epilogue` the options (exit status, notes).
    CommandLine(std::string program, std::vector<std::string> usages, std::string description,
                std::string epilogue = {});
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Options added after this are listed under `title` in the help ("Options" until then).
    void group(const std::string& title);
    // `names`: "-o,--output" or "--raw". Help texts are wrapped to the terminal width.
    void flag(const std::string& names, bool& target, const std::string& help);
    void option(const std::string& names, const std::string& valueName, const std::string& help, Take take);
    void option(const std::string& names, const std::string& valueName, const std::string& help, std::string& target);
    // Every argument that is not an option, in order.
    void arguments(std::vector<std::string>& target);
    // How often an option was given, after parse().
    size_t count(const std::string& name) const;

    // Adds --help and --version (under the current group) and reads `args`, the arguments after
    // the program's name.
    Verdict parse(const std::vector<std::string>& args);
    std::string help() const;

private:
    std::string m_program;
    std::unique_ptr<CLI::App> m_app;
    std::string m_group = "Options";
};

} // namespace cv::cli
