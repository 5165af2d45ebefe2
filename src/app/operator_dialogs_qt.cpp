#include "app/operator_dialogs_qt.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QSpacerItem>
#include <QTimer>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

namespace cv {

void QtOperatorDialogs::beep(Icon) { QApplication::beep(); }

namespace {

// Every box comes up over every window of the program, the stay-on-top statistics window too.
QMessageBox* makeBox(QWidget* parent, const std::string& caption, const std::string& text, Icon icon) {
    auto* box = new QMessageBox(parent);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setWindowTitle(QString::fromStdString(caption));
    box->setText(QString::fromStdString(text));
    switch (icon) {
    case Icon::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case Icon::Question: box->setIcon(QMessageBox::Question); break;
    case Icon::Information: box->setIcon(QMessageBox::Information); break;
    case Icon::Error: box->setIcon(QMessageBox::Critical); break;
    case Icon::None: break;
    }
    // A message box sizes itself to its text; a longer title would be cut off by the title bar.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        const int width = box->fontMetrics().horizontalAdvance(box->windowTitle()) + 160;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return box;
}

} // namespace

Answer QtOperatorDialogs::ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon) {
    return ask(caption, text, buttons, icon, buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes
                                                                                                       : Answer::Ok);
}

Answer QtOperatorDialogs::ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                              Answer defaultAnswer) {
    std::unique_ptr<QMessageBox> box(makeBox(m_parent, caption, text, icon));
    switch (buttons) {
    case Buttons::Ok: box->setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box->setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    const QMessageBox::StandardButton enterButton = [&] {
        switch (defaultAnswer) {
        case Answer::Ok: return QMessageBox::Ok;
        case Answer::Cancel: return QMessageBox::Cancel;
        case Answer::Yes: return QMessageBox::Yes;
        case Answer::No: return QMessageBox::No;
        }
        return QMessageBox::NoButton;
    }();
    if (QAbstractButton* b = box->button(enterButton)) {
        box->setDefaultButton(qobject_cast<QPushButton*>(b));
        b->setFocus();
    }
    switch (box->exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

void QtOperatorDialogs::inform(const std::string& caption, const std::string& text, Icon icon,
                               std::function<void()> closed) {
    QMessageBox* box = makeBox(m_parent, caption, text, icon);
    box->setStandardButtons(QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Non-modal: the window behind it and every timer go on; the operator closes it with OK.
    box->setModal(false);
    if (closed) QObject::connect(box, &QMessageBox::finished, box, [closed = std::move(closed)] { closed(); });
    if (m_parent && m_parent->isVisible()) {
        box->show();
        box->raise();
        return;
    }
    // Raised while the window is still being built (a port of the last setup that would not
    // open): shown once the event loop runs, that is after the window, and over it.
    QTimer::singleShot(0, box, [this, box] {
        if (m_parent && box->parentWidget() != m_parent) box->setParent(m_parent, box->windowFlags());
        box->show();
        box->raise();
    });
}

QString qtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << parts[i] + " (" + patterns + ")";
    }
    return out.join(";;");
}

static std::optional<std::string> finish(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    // A confirmed choice leaves the current folder at the chosen one, as the upload relies on.
    QDir::setCurrent(QFileInfo(path).absolutePath());
    return path.toStdString();
}

std::optional<std::string> QtOperatorDialogs::chooseSaveFile(const FileChoice& c) {
    QFileDialog::Options options;
    if (!c.askOverwrite) options |= QFileDialog::DontConfirmOverwrite;
    return finish(QFileDialog::getSaveFileName(m_parent, QString::fromStdString(c.title),
                                               QDir::current().filePath(QString::fromStdString(c.proposedName)),
                                               qtFileFilter(c.filter), nullptr, options));
}

std::optional<std::string> QtOperatorDialogs::chooseOpenFile(const FileChoice& c) {
    return finish(QFileDialog::getOpenFileName(m_parent, QString::fromStdString(c.title),
                                               QDir::currentPath(), qtFileFilter(c.filter)));
}

} // namespace cv
