#include "widgets/client_placement.h"

#include <algorithm>

namespace cv {

namespace {
constexpr int kMargin = 8;
constexpr int kBoxGap = 4;
} // namespace

ClientPlacement placeClient(const std::vector<StatusBox>& boxes, int boxWidth, QSize pagesMinimum, QSize room) {
    ClientPlacement p;
    p.boxes.resize(boxes.size());
    const int wideWidth = kMargin + boxWidth + kMargin + pagesMinimum.width() + kMargin;
    if (room.width() >= wideWidth) {
        int top = kMargin;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (!boxes[i].shown) continue;
            p.boxes[i] = QRect(kMargin, top, boxWidth, boxes[i].height);
            top += boxes[i].height + kBoxGap;
        }
        p.minimum = QSize(wideWidth, kMargin + pagesMinimum.height() + kMargin);
        const int left = kMargin + boxWidth + kMargin;
        p.pages = QRect(left, kMargin, std::max(room.width() - left - kMargin, pagesMinimum.width()),
                        std::max(room.height() - 2 * kMargin, pagesMinimum.height()));
        return p;
    }
    // A box that comes and goes stands below the ones of its column, so that its arrival moves
    // none of them under the operator's mouse.
    std::vector<int> columnTop;
    int stripBottom = kMargin;
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i].shown) continue;
        const size_t c = size_t(std::max(boxes[i].narrowColumn, 0));
        if (columnTop.size() <= c) columnTop.resize(c + 1, kMargin);
        p.boxes[i] = QRect(kMargin + int(c) * (boxWidth + kMargin), columnTop[c], boxWidth, boxes[i].height);
        columnTop[c] += boxes[i].height + kBoxGap;
        stripBottom = std::max(stripBottom, p.boxes[i].bottom() + 1);
    }
    const int pagesTop = stripBottom + kMargin;
    p.minimum = QSize(kMargin + pagesMinimum.width() + kMargin, pagesTop + pagesMinimum.height() + kMargin);
    p.pages = QRect(kMargin, pagesTop, std::max(room.width() - 2 * kMargin, pagesMinimum.width()),
                    std::max(room.height() - pagesTop - kMargin, pagesMinimum.height()));
    return p;
}

} // namespace cv
