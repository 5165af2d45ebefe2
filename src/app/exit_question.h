#pragma once
// The exit question names what ending the program stops, so that an operator who meant to close
// a page does not end a recording of days, a replay or the outputs others listen to unawares.
#include <string>
#include <vector>

#include "ports/operator_dialogs.h"

namespace cv {

class RecordingScreen;
namespace share {
class NetworkScreen;
}

struct RunningWork {
    std::string recording;             // the recording's file line; empty while none runs
    std::string replay;                // the file being replayed; empty while none runs
    std::vector<std::string> outputs;  // the network outputs running
};

struct ExitQuestion {
    std::string text;
    // Cancel while a recording runs: a stray Enter must not end it.
    Answer defaultAnswer = Answer::Ok;
};

ExitQuestion exitQuestion(const RunningWork& work);
RunningWork runningWork(RecordingScreen& recording, const share::NetworkScreen* network);

} // namespace cv
