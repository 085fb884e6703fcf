#include "tools/hwmaint/IoControl.h"

#include <QMutexLocker>

namespace ioc {

const char *const spiDevice = "/dev/spidev1.0";

int IoControl::m_fd = 0;
QMutex IoControl::m_spiMutex;
platform::SpiPort IoControl::m_port;
int IoControl::m_functionMode = 0;
int IoControl::m_network = 0;

IoControl::IoControl(QObject *parent)
    : QThread(parent)
{
    if (m_fd != 0)
        return;
    // A device that cannot take the frame's settings is as unusable as a missing one.
    int rc = m_port.open(QLatin1String(spiDevice));
    if (rc == 0)
        rc = m_port.configure({ 0, 32, MaxSpeedHz });
    if (rc != 0)
        m_port.close();
    m_fd = rc != 0 ? rc : 1;
}

IoControl::~IoControl()
{
    if (isRunning()) {
        stop();
    } else if (m_fd > 0) {
        m_port.close();
        m_fd = 0;
    }
}

int IoControl::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stop = true;
    }
    m_wake.wakeAll();
    wait();
    if (m_fd > 0) {
        m_port.close();
        m_fd = 0;
    }
    QMutexLocker lock(&m_mutex);
    return m_fd < 0 ? m_fd : m_failure;
}

void IoControl::run()
{
    initThread();
    if (m_fd < 0)
        return;
    for (;;) {
        transferThread();
        QMutexLocker lock(&m_mutex);
        if (m_stop) {
            m_stop = false;
            return;
        }
    }
}

int IoControl::sendMessage(const spi_ioc_transfer *transfers, int count)
{
    int rc;
    {
        QMutexLocker lock(&m_spiMutex);
        rc = m_port.message(transfers, count);
    }
    if (rc != 0 && m_failure == 0)
        m_failure = rc;
    return rc;
}

} // namespace ioc
