#include "adapters/serial_port_qt.h"

#include <QFileInfo>
#include <algorithm>

#ifndef _WIN32
#include <poll.h>
#endif

namespace cv {

QtSerialDevice::QtSerialDevice(const PortMap& map) : m_map(map) {
    // Qt keeps every byte it reads unless told otherwise, and a line nobody reads would grow
    // the program for as long as it runs.
    m_port.setReadBufferSize(qint64(kReadBufferBytes));
    // A device that vanishes (an adapter pulled, the far end of a pseudo-terminal closed) keeps
    // signalling readiness, and an adapter that returns while its old descriptor is still open
    // gets a new name; so let go of it at once and remember to look for it again.
    // A read that fails or ends (Qt reports end of file as a read error) means the far end is
    // gone: a serial line has no end of file, and a pseudo-terminal reads so once its other side
    // closed. Waiting for a poll to agree would leave the old values on screen as live.
    QObject::connect(&m_port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        if (!m_port.isOpen()) return;
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError ||
            (e == QSerialPort::WriteError && hungUp()))
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
    if (m_port.isOpen()) {
        handOverQueued();
        m_port.close();
    }
    if (!m_lock.take(device.toStdString())) return false;
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_lock.release();
        return false;
    }
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
    if (m_port.isOpen()) {
        handOverQueued();
        // A line this far behind loses its queue with the port anyway; the driver's part goes
        // too, or closing would wait for it to drain (up to 30 s on a serial port).
        if (m_port.bytesToWrite() > 0) m_port.clear(QSerialPort::Output);
    }
    m_lost = false;
    m_lock.release();
    if (!m_port.isOpen()) return true;
    m_port.clearError();
    m_port.close();
    return m_port.error() == QSerialPort::NoError || m_port.error() == QSerialPort::NotOpenError;
}

// A write only queues, and closing (also to reopen at another speed) would throw the queue
// away: give the driver what it takes now, as a waiting write used to before returning, so a
// command queued just before a speed change still leaves at the old speed. Only a line that
// does not drain holds more than the driver takes.
void QtSerialDevice::handOverQueued() {
    for (int pass = 0; pass < 64 && m_port.bytesToWrite() > 0 && driverHasRoom(); ++pass) {
        const qint64 before = m_port.bytesToWrite();
        if (!m_port.flush() || m_port.bytesToWrite() >= before) break;
    }
}

void QtSerialDevice::markLost() {
    m_lost = true;
    m_port.close();
    // The device that was locked is gone: whatever takes its path next (a replugged adapter, the
    // next pseudo-terminal of that number) is another device, which this lock must not hold.
    m_lock.release();
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

// Qt reports a write the driver refuses (EAGAIN) as a resource error, which means a vanished
// device; so bytes are handed over outside the event loop only when the driver has room.
bool QtSerialDevice::driverHasRoom() const {
#ifdef _WIN32
    return true;
#else
    pollfd p{int(m_port.handle()), POLLOUT, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLOUT) && !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
#endif
}

bool QtSerialDevice::hungUp() const {
#ifdef _WIN32
    return false;
#else
    pollfd p{int(m_port.handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
#endif
}

// Qt sends the queue from the event loop as the device takes it; nothing here waits.
bool QtSerialDevice::write(const uint8_t* data, size_t count) {
    if (!m_port.isOpen()) return false;
    if (count > writeRoom()) return false;
    if (m_port.write(reinterpret_cast<const char*>(data), qint64(count)) != qint64(count)) {
        if (m_port.isOpen() && hungUp()) markLost();
        return false;
    }
    // What the driver takes now leaves now, as a command did when writes waited; the rest goes
    // from the event loop as the device takes it.
    if (driverHasRoom()) m_port.flush();
    return m_port.isOpen();  // false when the device went away under the hand-over
}

size_t QtSerialDevice::writeRoom() const {
    if (!m_port.isOpen()) return 0;
    const size_t queued = size_t(std::max<qint64>(m_port.bytesToWrite(), 0));
    return queued >= kWriteQueueBytes ? 0 : kWriteQueueBytes - queued;
}

} // namespace cv
