#include <gtest/gtest.h>

#include <QEvent>
#include <stdexcept>

#include "app/host_application_qt.h"

namespace cv {
namespace {

struct Throwing : QObject {
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("disk full while writing archive.003");
        return QObject::event(e);
    }
};

// An exception escaping a handler is shown to the operator and the program goes on.
TEST(HostApplication, EscapedExceptionIsShownAndTheProgramGoesOn) {
    auto* app = dynamic_cast<HostApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    std::vector<std::string> shown;
    app->setReporter([&](const std::string& what) { shown.push_back(what); });
    Throwing target;
    QEvent user(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&target, &user));
    EXPECT_EQ(shown, (std::vector<std::string>{"disk full while writing archive.003"}));
    QEvent other(QEvent::Type(QEvent::User + 1));
    QCoreApplication::sendEvent(&target, &other);
    EXPECT_EQ(shown.size(), 1u) << "handlers that do not throw run as before";
    app->setReporter({});
}

} // namespace
} // namespace cv
