// The window without a mouse: the clickable panels take the focus and act on Space and Enter, and
// a screen reader names every control of every page and dialog by what it is.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "app/hostmain_window.h"
#include "link/link_screen_qt.h"
#include "setup/setup_screen_qt.h"
#include "setup/record_builders.h"
#include "support/fakes.h"
#include "support/window_rig.h"
#include "widgets/clickable_label.h"
#include "support/case_name.h"

namespace cv {
namespace {

struct Keyboard : ::testing::TestWithParam<Qt::Key> {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
};

TEST_P(Keyboard, EveryClickablePanelIsReachedByTabAndActsOnTheKey) {
    for (ClickableLabel* panel : form.findChildren<ClickableLabel*>()) {
        EXPECT_TRUE(panel->focusPolicy() & Qt::TabFocus) << panel->objectName().toStdString();
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Name).isEmpty())
            << panel->objectName().toStdString();
        int clicks = 0;
        QObject::connect(panel, &ClickableLabel::clicked, [&clicks] { ++clicks; });
        QTest::keyClick(panel, GetParam());
        EXPECT_EQ(clicks, 1) << panel->objectName().toStdString();
    }
}

TEST_P(Keyboard, TheRedXHidesThePortSetupFromTheKeyboard) {
    QGroupBox* group = form.linkScreen()->LoggerPortGB;
    ASSERT_FALSE(group->isHidden());
    QTest::keyClick(form.linkScreen()->CloseLoggerPortSetup, GetParam());
    EXPECT_TRUE(group->isHidden());
}

// What a screen reader announces for a control, or nothing when it is not operated by the user.
// A combo box announces its value, so what names it is the label it is the buddy of.
std::optional<QString> spokenName(QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        for (QLabel* label : w->window()->findChildren<QLabel*>())
            if (label->buddy() == combo) return label->text().remove('&');
        return QString();
    }
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    if (!face) return std::nullopt;
    switch (face->role()) {
    case QAccessible::PushButton: case QAccessible::CheckBox: case QAccessible::RadioButton:
    case QAccessible::SpinBox: case QAccessible::EditableText: case QAccessible::List:
    case QAccessible::Table: case QAccessible::Tree: case QAccessible::Slider:
    case QAccessible::ProgressBar:
        return face->text(QAccessible::Name);
    default:
        return std::nullopt;
    }
}

// What the control holds, for the controls whose value a screen reader announces apart from the name.
QString valueOf(QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    switch (face->role()) {
    case QAccessible::SpinBox: case QAccessible::EditableText: case QAccessible::Slider: case QAccessible::ProgressBar:
        return face->text(QAccessible::Value);
    default:
        return {};
    }
}

// The tab page or dialog a control sits on.
QString pageOf(QWidget* w, const QTabWidget* tabs) {
    for (QWidget* p = w; p; p = p->parentWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(p))
            return dialog->objectName().isEmpty() ? dialog->metaObject()->className() : dialog->objectName();
        if (tabs->indexOf(p) >= 0) return p->objectName();
    }
    return "TForm1";
}

// The pop-up list of a combo box, the text field of a spin box, the arrows of a tab bar or a
// menu bar are parts of that control.
bool isPartOfAnotherControl(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
            qobject_cast<const QTabBar*>(p) || qobject_cast<const QMenuBar*>(p))
            return true;
    return qobject_cast<const QTabWidget*>(w->parentWidget()) != nullptr;
}

struct Page : ::testing::TestWithParam<const char*> {};

TEST_P(Page, EveryControlHasANameOfItsOwnThatIsNotItsValue) {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
    QMap<QString, QStringList> holders;  // spoken name -> the controls that answer to it
    QList<QWidget*> onThisPage;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (isPartOfAnotherControl(w)) continue;
        std::optional<QString> name = spokenName(w);
        if (!name) continue;
        holders[*name] << pageOf(w, form.Tabs) + "/" + w->objectName();
        if (pageOf(w, form.Tabs) == GetParam()) onThisPage << w;
    }
    ASSERT_FALSE(onThisPage.isEmpty()) << "no controls on " << GetParam();
    for (QWidget* w : onThisPage) {
        const QString name = *spokenName(w);
        const std::string id = w->metaObject()->className() + std::string(" ") + w->objectName().toStdString();
        EXPECT_FALSE(name.trimmed().isEmpty()) << id;
        if (!valueOf(w).isEmpty()) {
            EXPECT_NE(name.toStdString(), valueOf(w).toStdString()) << id;
        }
        EXPECT_EQ(holders[name].size(), 1) << id << " shares \"" << name.toStdString() << "\" with "
                                           << holders[name].join(", ").toStdString();
    }
}

// Every label a screen reader knows by a name of its own (the setup marker, the clock, a line's
// traffic, the line load, the word after a Send) tells the caption that carries its state as its
// description; the number of labels that had a caption to tell.
int expectCaptionsTold(const TForm1& form, const std::string& when) {
    int told = 0;
    for (QLabel* label : form.findChildren<QLabel*>()) {
        const QString caption = label->text();
        // A one-character caption is a glyph (the red "X"), not a state.
        if (label->accessibleName().isEmpty() || caption.size() < 2 || label->accessibleName().contains(caption))
            continue;
        EXPECT_EQ(label->accessibleDescription().toStdString(), caption.toStdString())
            << when << ": " << label->objectName().toStdString();
        ++told;
    }
    return told;
}

TEST(SpokenState, ALabelNamedApartFromItsCaptionTellsTheCaptionWheneverItChanges) {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
    ClickableLabel* marker = form.findChild<ClickableLabel*>("PStore");
    for (int second = 0; second < 2; ++second) {
        form.Timer10msTimer();
        form.Timer1000msTimer();
        const std::string when = second == 0 ? "at start" : "a second later";
        EXPECT_GT(expectCaptionsTold(form, when), 3) << when;
        EXPECT_EQ(marker->accessibleDescription(), second == 0 ? "Setup is Not Current" : "Setup is Current");
        form.setupScreen()->setSetupMarker(1);
        ++clock.seconds;
    }
}

// The read-outs that speak only now and then, driven to speak: each is heard as it is seen.
struct SpokenScene {
    const char* name;
    const char* label;  // the read-out the scene makes speak
    std::function<void(test::WindowRig&)> play;
};
void PrintTo(const SpokenScene& s, std::ostream* os) { *os << s.name; }

struct SpokenReadout : ::testing::TestWithParam<SpokenScene>, test::WindowRig {
    void SetUp() override {
        form.setupScreen()->setupDisplayMode(5);
        form.linkScreen()->LoggerPortCB->setCurrentIndex(1);
        form.linkScreen()->LoggerSetupCB->setCurrentIndex(6);  // 9600: 960 bytes a second
        form.linkScreen()->LoggerPortCBChange();
    }
};

void fullLine(test::WindowRig& rig) {
    for (int s = 0; s < 12; ++s) {
        rig.line->feed(std::vector<uint8_t>(960, 0x41));
        for (int i = 0; i < 10; ++i) rig.form.Timer10msTimer();
        rig.clock.ms += 1000;
        rig.clock.seconds += 1;
        rig.form.Timer1000msTimer();
    }
}

void sentSetup(test::WindowRig& rig) {
    rig.form.records().setup = test::SetupRecordBuilder().build();
    rig.form.records().setupArrived = true;
    rig.form.Timer475msTimer();
    rig.form.findChild<QPushButton*>("BTSendSetup1")->click();
}

TEST_P(SpokenReadout, IsHeardAsItIsSeen) {
    GetParam().play(*this);
    const QLabel* readout = form.findChild<QLabel*>(GetParam().label);
    ASSERT_NE(readout, nullptr);
    EXPECT_GE(readout->text().size(), 2) << "the scene did not make it speak";
    EXPECT_EQ(readout->accessibleDescription(), readout->text());
    expectCaptionsTold(form, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Scenes, SpokenReadout,
                         ::testing::Values(SpokenScene{"LineFull", "LBLineLoad", fullLine},
                                           SpokenScene{"SetupSent", "LBSetupSent2", sentSetup}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(SpaceAndEnter, Keyboard, ::testing::Values(Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter),
                         [](const auto& i) { return std::string(i.param == Qt::Key_Space ? "Space" : i.param == Qt::Key_Return ? "Return" : "Enter"); });
// The window itself, every tab page with controls and every dialog the window owns.
INSTANTIATE_TEST_SUITE_P(EveryPage, Page,
                         ::testing::Values("TForm1", "TSPortSetup", "TSLoggerControl", "TSUpload", "TSRecord",
                                           "TSRealTime", "TSHardware", "TSAnalog", "TSPCLogger", "TSleepForm", "TForm2",
                                           "TMuxIDForm", "TRS422Form", "TestPortForm", "TAnnotationForm", "PortMapDialog"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
} // namespace cv
