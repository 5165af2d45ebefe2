#include "link/port_map.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <tuple>
#include <sstream>

#include "base/durable_file.h"
#include "base/text_format.h"
#include "link/port_slots.h"

namespace cv {

namespace fs = std::filesystem;

namespace {
std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// "N=DEVICE" or "COMN=DEVICE" to its COM number and device; 0 when it is no mapping.
int parseMapping(const std::string& text, std::string& device) {
    const auto eq = text.find('=');
    std::string key = trim(eq == std::string::npos ? text : text.substr(0, eq));
    device = eq == std::string::npos ? std::string() : trim(text.substr(eq + 1));
    if (key.size() > 3 && (key.compare(0, 3, "COM") == 0 || key.compare(0, 3, "com") == 0)) key = key.substr(3);
    bool digits = !key.empty() && key.size() <= 2;
    for (char c : key) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    const int n = digits ? std::stoi(key) : 0;
    return n >= 1 && n <= kMaxComNumber && !device.empty() ? n : 0;
}

bool isCommentOrBlank(const std::string& trimmed) {
    return trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';';
}

int comOfLine(const std::string& line) {
    const std::string t = trim(line);
    std::string device;
    return isCommentOrBlank(t) ? 0 : parseMapping(t, device);
}

// The kinds of device node listed after the by-id links, in this order.
constexpr const char* kNodeKinds[] = {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
} // namespace

std::vector<PresentDevice> presentSerialDevices(const fs::path& root) {
    std::vector<PresentDevice> links;
    std::error_code ec;
    for (fs::directory_iterator it(root / "dev" / "serial" / "by-id", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkError;
        if (!it->is_symlink(linkError)) continue;
        fs::path target = fs::read_symlink(it->path(), linkError);
        if (linkError) continue;
        if (target.is_relative()) target = (it->path().parent_path() / target).lexically_normal();
        links.push_back({it->path().string(), target.string()});
    }
    std::sort(links.begin(), links.end(), [](const auto& a, const auto& b) { return a.path < b.path; });

    struct Node {
        size_t kind;
        unsigned long number;
        std::string path;
    };
    std::vector<Node> nodes;
    for (fs::directory_iterator it(root / "dev", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (size_t k = 0; k < std::size(kNodeKinds); ++k) {
            const std::string kind = kNodeKinds[k];
            const std::string number = name.size() > kind.size() ? name.substr(kind.size()) : std::string();
            if (name.compare(0, kind.size(), kind) != 0 || number.empty() || number.size() > 6 ||
                !std::all_of(number.begin(), number.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
                continue;
            nodes.push_back({k, std::stoul(number), it->path().string()});
        }
    }
    std::sort(nodes.begin(), nodes.end(),
              [](const Node& a, const Node& b) { return std::tie(a.kind, a.number) < std::tie(b.kind, b.number); });
    for (Node& n : nodes) links.push_back({std::move(n.path), {}});
    return links;
}

std::string withMapping(const std::string& fileText, int comNumber, const std::string& device) {
    const std::string eol = fileText.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    const std::string mapping = format("COM%d=", comNumber) + device;
    std::string out;
    bool written = device.empty();
    size_t at = 0;
    while (at < fileText.size()) {
        const size_t newline = fileText.find('\n', at);
        const size_t next = newline == std::string::npos ? fileText.size() : newline + 1;
        std::string line = fileText.substr(at, next - at);
        std::string ending;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            ending.insert(ending.begin(), line.back());
            line.pop_back();
        }
        at = next;
        if (comOfLine(line) != comNumber) {
            out += line + ending;
        } else if (!written) {
            // In place of the first line naming it; a later one would win when the file is read.
            out += mapping + ending;
            written = true;
        }
    }
    if (!written) {
        if (!out.empty() && out.back() != '\n') out += eol;
        out += mapping + eol;
    }
    return out;
}

bool PortMap::addMapping(const std::string& text, std::string* error) {
    std::string device;
    const int n = parseMapping(text, device);
    if (n == 0) {
        if (error) *error = "bad port mapping \"" + text + "\": expected COMn=DEVICE with n from 1 to 12";
        return false;
    }
    m_map[n] = device;
    return true;
}

bool PortMap::load(const fs::path& file, std::string* error) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(file, ec);
    m_file = ec ? file : absolute;
    std::ifstream in(file);
    if (!in) return true;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string t = trim(line);
        if (isCommentOrBlank(t)) continue;
        std::string why;
        if (!addMapping(t, &why)) {
            if (error) *error = file.string() + format(":%d: ", lineNo) + why;
            return false;
        }
    }
    return true;
}

bool PortMap::remap(int comNumber, const std::string& device, std::string* error) {
    const std::string path = trim(device);
    if (comNumber < 1 || comNumber > kMaxComNumber || path.find_first_of("\r\n") != std::string::npos) {
        if (error) *error = "not a COM number from 1 to 12 and a device path";
        return false;
    }
    if (path.empty()) m_map.erase(comNumber);
    else m_map[comNumber] = path;
    if (m_file.empty()) return true;

    std::string text;
    std::error_code ec;
    if (fs::exists(m_file, ec)) {
        std::ifstream in(m_file, std::ios::binary);
        std::ostringstream whole;
        whole << in.rdbuf();
        if (!in) {
            if (error) *error = m_file.string() + " could not be read; it is left as it was";
            return false;
        }
        text = whole.str();
    }
    const std::string updated = withMapping(text, comNumber, path);
    switch (replaceFile(m_file, updated.data(), updated.size())) {
    case ReplaceOutcome::Ok: return true;
    case ReplaceOutcome::CannotCreate:
        if (error) *error = m_file.string() + " could not be written (no folder or no permission)";
        return false;
    case ReplaceOutcome::WriteFailed:
        if (error) *error = m_file.string() + " could not be written; it is left as it was";
        return false;
    }
    return false;
}

std::string PortMap::deviceFor(int comNumber) const {
    auto it = m_map.find(comNumber);
    if (it != m_map.end()) return it->second;
#ifdef _WIN32
    return comDeviceName(comNumber);
#else
    return format("/dev/ttyS%d", comNumber - 1);
#endif
}

std::string PortMap::comItemText(int comNumber) const {
    std::string text = format("COM%d", comNumber);
    if (isMapped(comNumber)) text += "  " + deviceFor(comNumber);
    return text;
}

} // namespace cv
