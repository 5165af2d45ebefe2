#include "app/exit_question.h"

#include "archive/recording_screen_qt.h"
#include "share/network_screen_qt.h"

namespace cv {

ExitQuestion exitQuestion(const RunningWork& work) {
    ExitQuestion q;
    q.text = "EXIT Program?";
    std::vector<std::string> lines;
    if (!work.recording.empty()) lines.push_back("the recording, and its file is closed (" + work.recording + ")");
    if (!work.replay.empty()) lines.push_back("the archive replay of " + work.replay);
    for (const std::string& output : work.outputs) lines.push_back("the network output " + output);
    if (!lines.empty()) {
        q.text += "\n\nThis stops:";
        for (const std::string& line : lines) q.text += "\n  - " + line;
    }
    if (!work.recording.empty()) q.defaultAnswer = Answer::Cancel;
    return q;
}

RunningWork runningWork(RecordingScreen& recording, const share::NetworkScreen* network) {
    RunningWork work;
    const ArchiveRecorder& recorder = recording.recorder();
    if (recording::isRecording(recorder.mode())) work.recording = recorder.fileNameText();
    const ArchiveReplay& replay = recording.replay();
    if (replay.mode() != recording::kOff) work.replay = replay.fileName();
    if (network) work.outputs = network->runningOutputs();
    return work;
}

} // namespace cv
