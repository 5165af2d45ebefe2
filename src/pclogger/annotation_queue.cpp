#include "pclogger/annotation_queue.h"

namespace cv {

std::optional<std::string> AnnotationQueue::queue(const std::string& stamp, const std::string& remark) {
    std::optional<std::string> dropped;
    if (m_pending) dropped = m_text;
    m_text = stamp + " " + remark;
    if (m_text.size() > kBufferSize - 1) m_text.resize(kBufferSize - 1);
    m_pending = true;
    return dropped;
}

std::string AnnotationQueue::take() {
    m_pending = false;
    return m_text;
}

} // namespace cv
