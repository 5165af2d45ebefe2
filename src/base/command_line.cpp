#include "base/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace cv::cli {

namespace {

constexpr size_t kLineWidth = 79;
constexpr size_t kWidestNameColumn = 30;

// Thrown from an option's handler; it is no CLI11 error, so it passes CLI11 untouched.
struct Refusal {
    std::string fault;
};

// The words of `text` in lines that start at `indent` and end before kLineWidth; a line break
// in `text` starts a new line.
std::string wrapped(const std::string& text, size_t indent, size_t firstColumn) {
    std::string out;
    size_t column = firstColumn;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '\n') {
            out += '\n' + std::string(indent, ' ');
            column = indent;
            ++at;
            continue;
        }
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        const size_t end = std::min(text.find_first_of(" \n", at), text.size());
        const std::string word = text.substr(at, end - at);
        if (column > indent && column + 1 + word.size() > kLineWidth) {
            out += '\n' + std::string(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        at = end;
    }
    return out;
}

std::string withNewline(std::string text) {
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text;
}

// Usage lines, description, the options by group, epilogue: the layout of every program's help.
class HelpLayout : public CLI::Formatter {
public:
    HelpLayout(std::vector<std::string> usages, std::string epilogue)
        : m_usages(std::move(usages)), m_epilogue(std::move(epilogue)) {}

    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
        const std::string program = app->get_name();
        std::string out;
        for (size_t i = 0; i < m_usages.size(); ++i)
            out += (i == 0 ? "Usage: " : std::string(7, ' ')) + program + " " + m_usages[i] + "\n";
        out += withNewline(app->get_description());
        const auto listed = [](const CLI::Option* o) { return o->nonpositional() && !o->get_group().empty(); };
        size_t column = 0;
        for (const CLI::Option* o : app->get_options(listed))
            column = std::max(column, names(o).size() + 4);
        column = std::min(column, kWidestNameColumn);
        for (const std::string& group : app->get_groups()) {
            const auto options =
                app->get_options([&](const CLI::Option* o) { return listed(o) && o->get_group() == group; });
            if (options.empty()) continue;
            out += "\n" + group + ":\n";
            for (const CLI::Option* o : options) {
                std::string line = "  " + names(o);
                line += line.size() + 2 > column ? "\n" + std::string(column, ' ') : std::string(column - line.size(), ' ');
                out += line + wrapped(o->get_description(), column, column) + "\n";
            }
        }
        if (!m_epilogue.empty()) out += "\n" + withNewline(m_epilogue);
        return out;
    }

private:
    // "-o, --output DIR"
    static std::string names(const CLI::Option* o) {
        std::string text;
        for (const std::string& s : o->get_snames()) text += (text.empty() ? "-" : ", -") + s;
        for (const std::string& l : o->get_lnames()) text += (text.empty() ? "--" : ", --") + l;
        if (!o->get_option_text().empty()) text += " " + o->get_option_text();
        return text;
    }

    std::vector<std::string> m_usages;
    std::string m_epilogue;
};

// CLI11's own texts of the faults a user makes, in this program's voice.
std::string faultOf(const CLI::ParseError& e, const CLI::App& app) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e) && !app.remaining().empty()) {
        const std::string extra = app.remaining().front();
        if (extra.size() > 1 && extra[0] == '-') return "unknown option '" + extra.substr(0, extra.find('=')) + "'";
        return "unexpected argument '" + extra + "'";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        // "NAME: 1 required TYPE missing" and "NAME was given a disallowed flag override"
        if (const size_t colon = what.find(": "); colon != std::string::npos && what.ends_with(" missing"))
            return what.substr(0, colon) + " needs a value";
        if (const size_t given = what.find(" was given a disallowed flag override"); given != std::string::npos) {
            const std::string name = what.substr(0, given);
            return (name.size() == 1 ? "-" : "--") + name + " takes no value";
        }
    }
    return what;
}

} // namespace

std::string programVersion() { return CVHOST_VERSION_TEXT " (build " CVHOST_BUILD_TEXT ")"; }

std::string versionLine(const std::string& program) { return program + " " + programVersion(); }

Verdict usageError(std::string fault) { return {Verdict::UsageError, std::move(fault)}; }

int finish(const Verdict& verdict, const std::string& program, std::ostream& out, std::ostream& err) {
    switch (verdict.kind) {
    case Verdict::Run: return kExitOk;
    case Verdict::Help:
    case Verdict::Version: out << withNewline(verdict.text) << std::flush; return kExitOk;
    case Verdict::UsageError: break;
    }
    err << program << ": " << verdict.text << "\nTry '" << program << " --help'\n" << std::flush;
    return kExitUsage;
}

CommandLine::CommandLine(std::string program, std::vector<std::string> usages, std::string description,
                         std::string epilogue)
    : m_program(program), m_app(std::make_unique<CLI::App>(std::move(description), std::move(program))) {
    m_app->formatter(std::make_shared<HelpLayout>(std::move(usages), std::move(epilogue)));
    m_app->set_help_flag();
    m_app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->disable_flag_override();
}

CommandLine::~CommandLine() = default;

void CommandLine::group(const std::string& title) { m_group = title; }

void CommandLine::flag(const std::string& names, bool& target, const std::string& help) {
    m_app->add_flag(names, target, help)->group(m_group);
}

void CommandLine::option(const std::string& names, const std::string& valueName, const std::string& help, Take take) {
    // The values go through each() below, so a repeated option sees every value in order.
    CLI::Option* o = m_app->add_option_function<std::string>(names, [](const std::string&) {}, help);
    o->option_text(valueName)->group(m_group);
    o->each([take = std::move(take), name = o->get_name()](const std::string& value) {
        if (value.empty()) throw Refusal{name + " needs a value"};
        if (const std::string expected = take(value); !expected.empty())
            throw Refusal{name + " '" + value + "': expected " + expected};
    });
}

void CommandLine::option(const std::string& names, const std::string& valueName, const std::string& help,
                         std::string& target) {
    option(names, valueName, help, [&target](const std::string& value) {
        target = value;
        return std::string();
    });
}

void CommandLine::arguments(std::vector<std::string>& target) {
    m_app->add_option("arguments", target)->group("")->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

size_t CommandLine::count(const std::string& name) const { return m_app->count(name); }

Verdict CommandLine::parse(const std::vector<std::string>& args) {
    if (!m_app->get_help_ptr()) {
        m_app->set_help_flag("-h,--help", "show this help and exit")->group(m_group);
        m_app->set_version_flag("--version", versionLine(m_program), "show the version and exit")->group(m_group);
    }
    // CLI11 would take the next argument as the value of "--output=", and "--raw=" for "--raw".
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a.size() < 4 || !a.starts_with("--") || !a.ends_with("=")) continue;
        const std::string name = a.substr(0, a.size() - 1);
        if (const CLI::Option* o = m_app->get_option_no_throw(name))
            return usageError(name + (o->get_expected_min() > 0 ? " needs a value" : " takes no value"));
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        m_app->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {Verdict::Help, help()};
    } catch (const CLI::CallForVersion& version) {
        return {Verdict::Version, version.what()};
    } catch (const CLI::ParseError& e) {
        return usageError(faultOf(e, *m_app));
    } catch (const Refusal& r) {
        return usageError(r.fault);
    }
    return {};
}

std::string CommandLine::help() const { return m_app->help(); }

} // namespace cv::cli
