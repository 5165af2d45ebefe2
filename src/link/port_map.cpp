#include "link/port_map.h"

#include <cctype>
#include <fstream>

#include "link/port_slots.h"
#include "base/text_format.h"

namespace cv {

namespace {
std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}
} // namespace

bool PortMap::addMapping(const std::string& text, std::string* error) {
    const auto eq = text.find('=');
    std::string key = trim(eq == std::string::npos ? text : text.substr(0, eq));
    const std::string device = eq == std::string::npos ? std::string() : trim(text.substr(eq + 1));
    if (key.size() > 3 && (key.compare(0, 3, "COM") == 0 || key.compare(0, 3, "com") == 0)) key = key.substr(3);
    int n = 0;
    bool digits = !key.empty() && key.size() <= 2;
    for (char c : key) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (digits) n = std::stoi(key);
    if (!digits || n < 1 || n > kMaxComNumber || device.empty()) {
        if (error) *error = "bad port mapping \"" + text + "\": expected COMn=DEVICE with n from 1 to 12";
        return false;
    }
    m_map[n] = device;
    return true;
}

bool PortMap::load(const std::filesystem::path& file, std::string* error) {
    std::ifstream in(file);
    if (!in) return true;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string t = trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';') continue;
        std::string why;
        if (!addMapping(t, &why)) {
            if (error) *error = file.string() + format(":%d: ", lineNo) + why;
            return false;
        }
    }
    return true;
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

} // namespace cv
