#include "app/serial_port_qt.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace cv {

bool QtSerialDevice::open(int comNumber, const LineSettings& settings) {
    const QString device = QString::fromStdString(m_map.deviceFor(comNumber));
#ifndef _WIN32
    // A path that is not a character device (a plain file, a folder) is no serial port.
    if (device.startsWith('/')) {
        QFileInfo info(device);
        if (!info.exists() || info.isFile() || info.isDir()) return false;
    }
#endif
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) return false;
    // Pseudo-terminals refuse some settings; the result of applying them is ignored on purpose.
    m_port.setBaudRate(settings.baud);
    m_port.setDataBits(settings.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    m_port.setParity(settings.parity == 'E' ? QSerialPort::EvenParity : QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clearError();
    return true;
}

bool QtSerialDevice::close() {
    if (!m_port.isOpen()) return true;
    m_port.clearError();
    m_port.close();
    return m_port.error() == QSerialPort::NoError || m_port.error() == QSerialPort::NotOpenError;
}

size_t QtSerialDevice::read(uint8_t* buffer, size_t room) {
    if (!m_port.isOpen()) return 0;
    // The event loop's read notifier fills the port's buffer; reading it costs no system call.
    const qint64 n = m_port.read(reinterpret_cast<char*>(buffer), qint64(room));
    return n > 0 ? size_t(n) : 0;
}

void QtSerialDevice::write(const uint8_t* data, size_t count) {
    if (!m_port.isOpen()) return;
    m_port.write(reinterpret_cast<const char*>(data), qint64(count));
    QElapsedTimer t;
    t.start();
    while (m_port.bytesToWrite() > 0 && t.elapsed() < 2000)
        if (!m_port.waitForBytesWritten(100)) break;
}

} // namespace cv
