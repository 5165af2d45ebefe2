#include "ports/serial_device.h"

#include <cstdlib>
#include <sstream>

namespace cv {

LineSettings parseLineSettings(const std::string& text) {
    LineSettings s;
    std::stringstream in(text);
    std::string field;
    int i = 0;
    while (std::getline(in, field, ',')) {
        switch (i++) {
        case 0: s.baud = std::atoi(field.c_str()); break;
        case 1: s.parity = field.empty() ? 'N' : field[0]; break;
        case 2: s.dataBits = std::atoi(field.c_str()); break;
        case 3: s.stopBits = std::atoi(field.c_str()); break;
        default: break;
        }
    }
    return s;
}

} // namespace cv
