#pragma once
// The few colours the setup and status screens use to speak to the operator. The widgets turn
// them into real colours; the rules only decide which one applies.

namespace cv {

enum class Shade {
    ButtonFace,  // normal panel colour
    Silver,      // 0xC0C0C0: a quiet "all is well" on the setup marker and rate read-out
    Yellow,      // 0x00FFFF in the logger's BGR notation: attention
    Red,         // 0x0000FF in BGR: a warning or a mismatch
};

} // namespace cv
