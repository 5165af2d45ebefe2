#pragma once
// Where the main window's status boxes and its pages go in the client area, for the room the
// screen gives.
#include <QRect>
#include <QSize>
#include <vector>

namespace cv {

struct StatusBox {
    int height = 0;
    bool shown = true;
    int narrowColumn = 0;  // the column the box stands in when the boxes go above the pages
};

struct ClientPlacement {
    std::vector<QRect> boxes;  // one per box, empty for a hidden one
    QRect pages;
    QSize minimum;  // the client size below which the window scrolls
};

// With room for both, the boxes stand in one column left of the pages, in the given order. On a
// narrower screen (1024 x 768) the boxes stand in a few columns above the pages, which keep their
// whole width: the window then scrolls up and down, never sideways, and nothing is cut.
ClientPlacement placeClient(const std::vector<StatusBox>& boxes, int boxWidth, QSize pagesMinimum, QSize room);

} // namespace cv
