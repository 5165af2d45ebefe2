#pragma once
// The operator's remark waiting for the next PC logger record, which carries it into the
// stream (and so into the archive file being recorded) as its text section.
#include <optional>
#include <string>

namespace cv {

class AnnotationQueue {
public:
    // The waiting text and its terminating zero fit in this many bytes.
    static constexpr size_t kBufferSize = 1128;

    // Queues "<stamp> <remark>", cut to the buffer. Returns the text it drops when one still
    // waits; the new one waits in its place.
    std::optional<std::string> queue(const std::string& stamp, const std::string& remark);
    bool pending() const { return m_pending; }
    const std::string& text() const { return m_text; }
    std::string take();

private:
    std::string m_text;
    bool m_pending = false;
};

} // namespace cv
