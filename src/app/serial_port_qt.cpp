#include "app/serial_port_qt.h"

#include <QElapsedTimer>
#include <QFileInfo>

#ifndef _WIN32
#include <poll.h>
#endif

namespace cv {

QtSerialDevice::QtSerialDevice(const PortMap& map) : m_map(map) {
    // A device that vanishes (an adapter pulled, the far end of a pseudo-terminal closed) keeps
    // signalling readiness, and an adapter that returns while its old descriptor is still open
    // gets a new name; so let go of it at once and remember to look for it again.
    QObject::connect(&m_port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        if (!m_port.isOpen()) return;
        if (e == QSerialPort::ResourceError ||
            ((e == QSerialPort::ReadError || e == QSerialPort::WriteError) && hungUp()))
            markLost();
    });
    QObject::connect(&m_port, &QSerialPort::readyRead, [this] {
        if (m_dataReady) m_dataReady();
    });
}

bool QtSerialDevice::open(int comNumber, const LineSettings& settings) {
    const QString device = QString::fromStdString(m_map.deviceFor(comNumber));
#ifndef _WIN32
    // A path that is not a character device (a plain file, a folder) is no serial port.
    if (device.startsWith('/')) {
        QFileInfo info(device);
        if (!info.exists() || info.isFile() || info.isDir()) return false;
    }
#endif
    if (m_port.isOpen()) m_port.close();
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) return false;
    // Pseudo-terminals refuse some settings; the result of applying them is ignored on purpose.
    m_port.setBaudRate(settings.baud);
    m_port.setDataBits(settings.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    m_port.setParity(settings.parity == 'E' ? QSerialPort::EvenParity : QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clearError();
    m_comNumber = comNumber;
    m_settings = settings;
    m_lost = false;
    return true;
}

bool QtSerialDevice::reopen() {
    if (m_comNumber == 0) return false;
    if (m_port.isOpen()) return !m_lost;
    return open(m_comNumber, m_settings);
}

bool QtSerialDevice::close() {
    m_lost = false;
    if (!m_port.isOpen()) return true;
    m_port.clearError();
    m_port.close();
    return m_port.error() == QSerialPort::NoError || m_port.error() == QSerialPort::NotOpenError;
}

void QtSerialDevice::markLost() {
    m_lost = true;
    m_port.close();
}

size_t QtSerialDevice::read(uint8_t* buffer, size_t room) {
    if (!m_port.isOpen()) return 0;
    // The event loop's read notifier fills the port's buffer; reading it costs no system call.
    const qint64 n = m_port.read(reinterpret_cast<char*>(buffer), qint64(room));
    if (n > 0) return size_t(n);
    // A line whose far end has hung up reads as endless end-of-file without an error, and its
    // notifier would keep the program busy. One poll per quiet read notices it within a tick.
    if (hungUp()) markLost();
    return 0;
}

bool QtSerialDevice::hungUp() const {
#ifdef _WIN32
    return false;
#else
    pollfd p{int(m_port.handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
#endif
}

bool QtSerialDevice::write(const uint8_t* data, size_t count) {
    if (!m_port.isOpen()) return false;
    if (m_port.write(reinterpret_cast<const char*>(data), qint64(count)) != qint64(count)) {
        if (m_port.isOpen() && hungUp()) markLost();
        return false;
    }
    QElapsedTimer t;
    t.start();
    while (m_port.isOpen() && m_port.bytesToWrite() > 0 && t.elapsed() < 2000) {
        if (m_port.waitForBytesWritten(100)) continue;
        if (m_port.error() != QSerialPort::TimeoutError) break;
        m_port.clearError();
    }
    if (!m_port.isOpen()) return false;  // lost while the bytes were going out
    if (m_port.bytesToWrite() == 0) return true;
    if (hungUp()) markLost();
    return false;
}

} // namespace cv
