#pragma once
// Which device a COM number opens on this machine: "comports.cfg" lines such as
// COM3=/dev/ttyUSB0, overridden by --com N=DEVICE; an unmapped COM n is /dev/ttyS<n-1>.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace cv {

// A serial device on this machine: a /dev/serial/by-id link with the device it points at, or a
// device node (no target).
struct PresentDevice {
    std::string path;
    std::string target;
    bool operator==(const PresentDevice&) const = default;
};

// The serial devices under `root` ("/" on a running machine): the /dev/serial/by-id links
// first, by name, each with its target, because their names survive a renumbering of the
// adapters; then the USB and board serial devices (ttyUSB, ttyACM, ttyAMA, rfcomm) in number
// order. Paths are as they are under `root`.
std::vector<PresentDevice> presentSerialDevices(const std::filesystem::path& root = "/");

// `fileText` (a map file's whole text) with COM `comNumber` mapped to `device`, or with its
// mapping removed when `device` is empty. Every other line, comments included, stays as written.
std::string withMapping(const std::string& fileText, int comNumber, const std::string& device);

class PortMap {
public:
    // Reads a map file; missing file is fine. Returns false and an error for a malformed line.
    // The file is remembered: remap keeps its changes there.
    bool load(const std::filesystem::path& file, std::string* error = nullptr);
    // Parses "N=DEVICE" or "COMN=DEVICE"; false when malformed or N is outside 1..12.
    bool addMapping(const std::string& text, std::string* error = nullptr);
    void set(int comNumber, const std::string& device) { m_map[comNumber] = device; }
    // The operator's choice while the program runs: maps COM n to `device` (an empty one
    // unmaps it) and writes it to the loaded map file, if any. The map changes even when the
    // file cannot be written; false and an error then.
    bool remap(int comNumber, const std::string& device, std::string* error = nullptr);
    std::string deviceFor(int comNumber) const;
    bool isMapped(int comNumber) const { return m_map.count(comNumber) != 0; }
    // What a COM combo box shows for COM n: the number, and the device when it is mapped.
    std::string comItemText(int comNumber) const;
    const std::filesystem::path& file() const { return m_file; }

private:
    std::map<int, std::string> m_map;
    std::filesystem::path m_file;
};

} // namespace cv
