#include "sim/BootController.h"

#include <QCryptographicHash>

namespace sim {

namespace {
QString hex(quint32 v)
{
    return QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0'));
}

QString words(const quint32 *w, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << hex(w[i]);
    return out.join(QLatin1Char(' '));
}
} // namespace

BootController::BootController(const QString &root, qint64 nowUs)
    : m_disk(root)
    , m_ispSinceUs(nowUs)
{ }

QString BootController::modeName(Mode mode)
{
    switch (mode) {
    case Mode::Flash:
        return QStringLiteral("flash");
    case Mode::Isp:
        return QStringLiteral("isp");
    case Mode::Reset:
        return QStringLiteral("reset");
    }
    return QString();
}

// Bitwise on purpose: the tool computes the same CRC from a table, so each checks the other.
quint16 BootController::crc16(const quint32 *words, int count)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < count; ++i) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            crc ^= quint16(((words[i] >> shift) & 0xFF) << 8);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
        }
    }
    return crc;
}

void BootController::receive(const QVector<quint32> &message, qint64 nowUs)
{
    ++m_messages;
    const quint32 *w = message.constData();
    int at = 0;
    while (at < message.size()) {
        const int left = message.size() - at;
        const quint32 n = left >= 2 ? w[at + 1] : 0;
        if (left < 4 || n == 0 || n > quint32(left - 3)) {
            // The controller cannot find the next frame's start: the rest of the chip select
            // is lost.
            ++m_badFrames;
            record(QStringLiteral("%1 frame %2 length %3")
                       .arg(nowUs)
                       .arg(m_messages)
                       .arg(words(w + at, qMin(left, 64))));
            return;
        }
        frame(w + at, int(n) + 3, nowUs);
        at += int(n) + 3;
    }
}

void BootController::frame(const quint32 *f, int count, qint64 nowUs)
{
    const quint32 sent = f[count - 1];
    bool good = sent == crc16(f, count - 1);
    if (m_corrupt > 0) {
        --m_corrupt;
        good = false;
    }
    record(QStringLiteral("%1 frame %2 %3 %4")
               .arg(nowUs)
               .arg(m_messages)
               .arg(good ? QStringLiteral("ok") : QStringLiteral("crc"))
               .arg(words(f, qMin(count, 64))));
    if (!good) {
        ++m_badFrames;
        return;
    }
    if (f[0] == BootRegister && f[1] == 1)
        bootWrite(f[2], nowUs);
}

void BootController::bootWrite(quint32 value, qint64 nowUs)
{
    const bool run = value & 0x2;
    const bool flash = value & 0x4;
    if (!run) {
        if (m_mode != Mode::Reset) {
            m_modeBeforeReset = m_mode;
            m_resetSinceUs = nowUs;
            detachDisk(nowUs);
        }
        m_mode = Mode::Reset;
        m_resetSelectsFlash = flash;
        event(nowUs, QStringLiteral("reset held, %1 selected").arg(flash ? "flash" : "isp"));
        return;
    }
    if (m_mode != Mode::Reset) {
        event(nowUs, QStringLiteral("boot ignored: release without a reset"));
        return;
    }
    const qint64 heldMs = (nowUs - m_resetSinceUs) / 1000;
    if (nowUs - m_resetSinceUs < MinResetUs || flash != m_resetSelectsFlash) {
        event(nowUs,
            flash != m_resetSelectsFlash
                ? QStringLiteral("boot ignored: reset selected %1, release %2")
                      .arg(m_resetSelectsFlash ? "flash" : "isp", flash ? "flash" : "isp")
                : QStringLiteral("boot ignored: reset held %1 ms, less than %2 ms")
                      .arg(heldMs)
                      .arg(MinResetUs / 1000));
        m_mode = m_modeBeforeReset;
        return;
    }
    event(nowUs,
        QStringLiteral("boot %1 after a reset of %2 ms").arg(flash ? "flash" : "isp").arg(heldMs));
    release(flash, nowUs);
}

void BootController::release(bool flash, qint64 nowUs)
{
    if (!flash) {
        m_mode = Mode::Isp;
        m_ispSinceUs = nowUs;
        m_disk.erase();
        return;
    }
    m_mode = Mode::Flash;
    if (m_modeBeforeReset != Mode::Isp)
        return;
    bool present = false;
    const QByteArray image = m_disk.firmware(&present);
    if (!present) {
        event(nowUs, QStringLiteral("firmware kept: no firmware.bin on the ISP disk"));
        return;
    }
    m_firmware = image;
    event(nowUs,
        QStringLiteral("firmware installed %1 %2")
            .arg(image.size())
            .arg(QString::fromLatin1(
                QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex())));
}

void BootController::tick(qint64 nowUs)
{
    const bool routed = m_mode == Mode::Isp && m_disk.routedToController();
    if (!routed)
        m_routedSinceUs = -1;
    else if (m_routedSinceUs < 0)
        m_routedSinceUs = nowUs;
    const qint64 since = qMax(m_ispSinceUs, m_routedSinceUs);
    const bool show = routed && m_diskDelayMs >= 0 && nowUs - since >= qint64(m_diskDelayMs) * 1000;
    if (show && !m_disk.isAttached()) {
        QString error;
        event(nowUs,
            m_disk.attach(&error) ? QStringLiteral("disk attached as %1").arg(m_disk.name())
                                  : QStringLiteral("disk not attached: %1").arg(error));
    } else if (!routed) {
        detachDisk(nowUs);
    }
}

void BootController::detachDisk(qint64 nowUs)
{
    if (!m_disk.isAttached())
        return;
    event(nowUs, QStringLiteral("disk %1 detached").arg(m_disk.name()));
    m_disk.detach();
}

int BootController::pollTimeoutMs() const
{
    return m_mode == Mode::Isp || m_disk.isAttached() ? 20 : -1;
}

void BootController::clearLog()
{
    m_log.clear();
}

void BootController::event(qint64 nowUs, const QString &text)
{
    record(QStringLiteral("%1 event %2").arg(nowUs).arg(text));
}

void BootController::record(const QString &line)
{
    if (m_log.size() < LogCapacity)
        m_log << line;
}

} // namespace sim
