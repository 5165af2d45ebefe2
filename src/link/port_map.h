#pragma once
// Which device a COM number opens on this machine: "comports.cfg" lines such as
// COM3=/dev/ttyUSB0, overridden by --com N=DEVICE; an unmapped COM n is /dev/ttyS<n-1>.
#include <filesystem>
#include <map>
#include <string>

namespace cv {

class PortMap {
public:
    // Reads a map file; missing file is fine. Returns false and an error for a malformed line.
    bool load(const std::filesystem::path& file, std::string* error = nullptr);
    // Parses "N=DEVICE" or "COMN=DEVICE"; false when malformed or N is outside 1..12.
    bool addMapping(const std::string& text, std::string* error = nullptr);
    void set(int comNumber, const std::string& device) { m_map[comNumber] = device; }
    std::string deviceFor(int comNumber) const;
    bool isMapped(int comNumber) const { return m_map.count(comNumber) != 0; }

private:
    std::map<int, std::string> m_map;
};

} // namespace cv
