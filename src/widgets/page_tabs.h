#pragma once
// The window's row of tabs as a controller may use it for the pages it owns: whether a page's
// tab is shown, showing or hiding it, and its caption. The window lends it; no controller looks
// for the tab widget itself.
#include <optional>
#include <string_view>

class QColor;
class QString;
class QWidget;

namespace cv {

class PageTabs {
public:
    virtual ~PageTabs() = default;
    // Whether the page's tab is shown; nullopt for a page that has no tab (yet).
    virtual std::optional<bool> tabShown(const QWidget* page) const = 0;
    virtual std::optional<bool> tabShown(std::string_view pageName) const = 0;
    // Shown: the tab appears and is chosen. Hidden: a chosen tab hands over to the next shown
    // one to its right, round to the first.
    virtual void setTabShown(QWidget* page, bool shown) = 0;
    // An invalid colour is the tab row's own.
    virtual void setTabCaption(const QWidget* page, const QString& caption, const QColor& colour) = 0;
};

} // namespace cv
