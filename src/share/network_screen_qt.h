#pragma once
// The network outputs' controller: the Network group, the outputs its rows start and stop, their
// figures on the 1 s tick, and the rows kept in a settings file of their own (not the host setup
// file other tools read).
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>

#include "share/network_outputs.h"
#include "share/network_panel.h"

namespace cv::share {

class NetworkScreen : public QObject {
    Q_OBJECT
public:
    // `settingsFile` empty: the rows are not kept.
    NetworkScreen(QObject* parent, NetworkOutputs& outputs, QString settingsFile);
    ~NetworkScreen() override;

    // Where the rows are kept for the operator: network.ini in the program's configuration folder.
    static QString defaultSettingsFile();

    NetworkPanel* panel() const { return m_panel; }
    // 1000 ms tick: each row's figures.
    void figuresStep();
    // The output's socket while it is on, for tests that need the port it listens on.
    OutputSocket* output(int index) const { return m_outputs.socket(index); }

private:
    void rowChanged(int index);
    void start(int index);
    void stop(int index);
    void load();
    void save() const;

    NetworkOutputs& m_outputs;
    QPointer<NetworkPanel> m_panel;  // the page it is put on owns it
    QString m_settingsFile;
};

} // namespace cv::share
