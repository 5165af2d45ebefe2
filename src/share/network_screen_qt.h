#pragma once
// The network outputs' controller: the Network group, the outputs its rows start and stop, their
// figures on the 1 s tick, and the rows kept in a settings file of their own (not the host setup
// file other tools read).
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

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
    // The outputs running now, as the rows give them ("2:1=127.0.0.1:5001 UDP").
    std::vector<std::string> runningOutputs() const;

private:
    void rowChanged(int index);
    void protocolChanged(int index);
    void showFigures();
    void start(int index);
    void stop(int index);
    void load();
    void save() const;

    NetworkOutputs& m_outputs;
    QPointer<NetworkPanel> m_panel;  // the page it is put on owns it
    QString m_settingsFile;
    std::array<Protocol, kMaxOutputs> m_shown{};  // the protocol each row had before a change
};

} // namespace cv::share
