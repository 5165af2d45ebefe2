#include "hardware/analog_page.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "hardware/password.h"
#include "widgets/colours.h"
#include "widgets/widget_helpers.h"

namespace cv {

const char* const AnalogPage::kCaption = "Analog Calibration";

AnalogPage::AnalogPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TSAnalog");
    setWindowTitle(kCaption);

    GroupBox2 = named(new QGroupBox("Analog Calibration", this), "GroupBox2");
    auto* grid = new QGridLayout(GroupBox2);
    grid->addWidget(namedLabel(GroupBox2, "LBScaleHeading", "Counts\nper Volt"), 0, 1);
    grid->addWidget(namedLabel(GroupBox2, "LBOffsetHeading", "Counts\n@ 0 Volts"), 0, 2);
    for (int e = 0; e < hardware::kCalibrationEntries; ++e) {
        const QString row = e == 0 ? QString("Battery") : QString("Port %1:%2Analog %3").arg(e + 8).arg(e + 8 < 10 ? "   " : " ").arg(e);
        auto* label = namedLabel(GroupBox2, e == 0 ? QString("LBBattery") : QString("LBAC%1").arg(e), row);
        auto* scale = named(new QLineEdit(GroupBox2), QString("MEScale%1").arg(e));
        scale->setText(e == 0 ? "  790" : " 5325");
        scale->setAccessibleName(QString("%1 scale, counts per volt").arg(e == 0 ? QString("Battery") : QString("Analog %1").arg(e)));
        auto* offset = named(new QLineEdit(GroupBox2), QString("MEOffset%1").arg(e));
        offset->setText(e == 0 ? "  200" : "  150");
        offset->setAccessibleName(QString("%1 offset, counts at 0 volts").arg(e == 0 ? QString("Battery") : QString("Analog %1").arg(e)));
        for (QLineEdit* box : {scale, offset}) {
            // A sign and five digits: the record carries -32768 to 32767, and a box that dropped
            // the sign would show, and send back, another number.
            box->setValidator(new QRegularExpressionValidator(QRegularExpression(" *-?[0-9]{0,5}"), box));
            box->setMaxLength(6);
            box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            box->setMaximumWidth(120);
        }
        label->setBuddy(scale);
        MEScale[size_t(e)] = scale;
        MEOffset[size_t(e)] = offset;
        grid->addWidget(label, e + 1, 0);
        grid->addWidget(scale, e + 1, 1);
        grid->addWidget(offset, e + 1, 2);
    }

    AnalogPanel = namedLabel(this, "AnalogPanel", hardware::kNotCurrentCalibrationText);
    AnalogPanel->setAlignment(Qt::AlignCenter);
    AnalogPanel->setAutoFillBackground(true);
    setPanelColour(AnalogPanel, kYellow);
    keepPlaceWhenHidden(AnalogPanel);
    ALGPassword = named(new QLineEdit(hardware::kPasswordPrompt, this), "ALGPassword");
    ALGPassword->setAccessibleName("Calibration password");
    LBALGPassword = namedLabel(this, "LBALGPassword", hardware::kPasswordCaption);
    BTGetAnalog = named(new QPushButton("Get Analog Calibration", this), "BTGetAnalog");
    BTSendAnalogCalibration = named(new QPushButton("Send Analog Calibration", this), "BTSendAnalogCalibration");
    BTLoadAnalogFile = named(new QPushButton("Load Analog Calibration File", this), "BTLoadAnalogFile");
    BTSaveAnalogFile = named(new QPushButton("Save Analog Calibration File", this), "BTSaveAnalogFile");
    BTDoneWithAnalog = named(new QPushButton("Done", this), "BTDoneWithAnalog");
    BTDoneWithAnalog->setAccessibleName("Done with the analog calibration");

    ALGPassword->setToolTip("Type the password shown above: Send needs it.");
    GroupBox2->setToolTip("Converts each input's counts to volts: counts per volt, and the counts read at 0 volts.");

    auto* buttons = new QVBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{AnalogPanel, BTGetAnalog, BTSendAnalogCalibration, LBALGPassword,
                                                      ALGPassword, BTLoadAnalogFile, BTSaveAnalogFile,
                                                      BTDoneWithAnalog})
        buttons->addWidget(w);
    buttons->addStretch();
    auto* row = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(GroupBox2);
    LBAnalogSent = wordLabel(this, "LBAnalogSent", "Last Send Analog Calibration");
    left->addWidget(LBAnalogSent);
    left->addStretch();
    row->addLayout(left, 2);
    row->addLayout(buttons, 1);
}

} // namespace cv
