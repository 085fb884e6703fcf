#include "sim/ConfigFlash.h"

#include <QFile>

namespace sim {

namespace {
enum Opcode : quint8 {
    WRSR = 0x01,
    PP = 0x02,
    READ = 0x03,
    WRDI = 0x04,
    RDSR = 0x05,
    WREN = 0x06,
    FAST_READ = 0x0B,
    SE = 0x20,
    DREAD = 0x3B,
    CE_ALT = 0x60,
    REMS = 0x90,
    RDID = 0x9F,
    RES = 0xAB,
    ENSO = 0xB1,
    DP = 0xB9,
    EXSO = 0xC1,
    CE = 0xC7,
    BE = 0xD8,
};

constexpr quint8 WIP = 0x01;
constexpr quint8 WEL = 0x02;
constexpr quint8 BlockProtection = 0x3C;
constexpr quint8 WritableStatus = 0xBC; // SRWD and BP3..BP0

quint8 at(const QByteArray &in, int i)
{
    return i < in.size() ? quint8(in.at(i)) : 0;
}
} // namespace

ConfigFlash::ConfigFlash(const QString &root)
{
    if (!root.isEmpty())
        m_gate = root + QStringLiteral("/sys/class/gpio/gpio114/value");
    setId(DefaultId);
}

bool ConfigFlash::reachable() const
{
    if (m_gate.isEmpty())
        return true;
    QFile f(m_gate);
    return f.open(QIODevice::ReadOnly) && f.read(8).trimmed() == "1";
}

bool ConfigFlash::setId(quint32 id)
{
    const int density = int(id & 0xFF);
    if (density < 0x10 || density > 0x18)
        return false;
    m_id = id & 0xFFFFFF;
    m_image = QByteArray(1 << density, char(0xFF));
    m_programs = 0;
    m_erases = 0;
    return true;
}

void ConfigFlash::setStuck(Stuck stuck)
{
    m_stuck = stuck;
    if (stuck == Stuck::Now)
        m_status |= WIP;
    else if (stuck == Stuck::Off) {
        // Released, the write in progress completes at once.
        m_busyLeft = 0;
        m_status &= quint8(~WIP);
    }
}

void ConfigFlash::setBitError(quint32 address, quint8 mask)
{
    if (mask == 0)
        m_bitErrors.remove(address);
    else
        m_bitErrors.insert(address, mask);
}

void ConfigFlash::setProtected(bool on)
{
    m_status = on ? quint8(m_status | BlockProtection) : quint8(m_status & ~BlockProtection);
}

QByteArray ConfigFlash::exchange(const QByteArray &message)
{
    QByteArray reply(message.size(), '\0');
    if (message.isEmpty() || !reachable())
        return reply;
    command(message, &reply);
    return reply;
}

quint32 ConfigFlash::address(const QByteArray &in) const
{
    const quint32 a = (quint32(at(in, 1)) << 16) | (quint32(at(in, 2)) << 8) | at(in, 3);
    return a & quint32(m_image.size() - 1);
}

void ConfigFlash::command(const QByteArray &in, QByteArray *out)
{
    const quint8 op = quint8(in.at(0));
    if (op == RDSR) {
        for (int i = 1; i < out->size(); ++i)
            (*out)[i] = char(m_status);
        // One reading per command, however many bytes it clocks.
        if ((m_status & WIP) && m_stuck == Stuck::Off && m_busyLeft > 0 && --m_busyLeft == 0)
            m_status &= quint8(~WIP);
        return;
    }
    if (m_status & WIP)
        return;
    if (m_deepPowerDown) {
        // Only the release (with or without its signature) wakes the chip.
        if (op == RES)
            m_deepPowerDown = false;
        else
            return;
    }
    switch (op) {
    case WREN:
        m_status |= WEL;
        break;
    case WRDI:
        m_status &= quint8(~WEL);
        break;
    case WRSR:
        if (in.size() >= 2 && startWrite()) {
            m_status = quint8((m_status & ~WritableStatus) | (at(in, 1) & WritableStatus));
            finishWrite();
        }
        break;
    case RDID:
        for (int i = 1; i < out->size() && i <= 3; ++i)
            (*out)[i] = char(m_id >> (8 * (3 - i)));
        break;
    case RES:
        for (int i = 4; i < out->size(); ++i)
            (*out)[i] = char((m_id & 0xFF) - 1);
        break;
    case REMS: {
        const quint8 manufacturer = quint8(m_id >> 16);
        const quint8 device = quint8((m_id & 0xFF) - 1);
        const bool deviceFirst = at(in, 3) & 1;
        for (int i = 4; i < out->size(); ++i)
            (*out)[i] = char(((i - 4) % 2 == 0) != deviceFirst ? manufacturer : device);
        break;
    }
    case READ:
    case FAST_READ:
    case DREAD: {
        const int first = op == READ ? 4 : 5;
        quint32 a = address(in);
        for (int i = first; i < out->size(); ++i) {
            (*out)[i] = m_secured ? char(0xFF) : m_image.at(int(a));
            a = (a + 1) & quint32(m_image.size() - 1);
        }
        break;
    }
    case PP:
        if (in.size() > 4 && startWrite()) {
            pageProgram(in);
            finishWrite(true);
        }
        break;
    case SE:
    case BE:
        if (in.size() >= 4 && startWrite()) {
            const int length = op == BE ? BlockSize : SectorSize;
            erase(address(in) & ~quint32(length - 1), length);
            finishWrite();
        }
        break;
    case CE:
    case CE_ALT:
        if (startWrite()) {
            erase(0, m_image.size());
            finishWrite();
        }
        break;
    case DP:
        m_deepPowerDown = true;
        break;
    case ENSO:
        m_secured = true;
        break;
    case EXSO:
        m_secured = false;
        break;
    default:
        break;
    }
}

// A write needs the latch; the latch is spent whether or not the array takes the write.
bool ConfigFlash::startWrite()
{
    if (!(m_status & WEL))
        return false;
    m_status &= quint8(~WEL);
    return true;
}

void ConfigFlash::finishWrite(bool program)
{
    m_busyLeft = m_busyReadings;
    if (m_stuck == Stuck::AfterWrite || (program && m_stuck == Stuck::AfterProgram))
        m_stuck = Stuck::Now;
    if (m_busyLeft > 0 || m_stuck == Stuck::Now)
        m_status |= WIP;
}

void ConfigFlash::pageProgram(const QByteArray &in)
{
    if (isProtected() || m_secured)
        return;
    ++m_programs;
    const quint32 base = address(in);
    const quint32 page = base & ~quint32(PageSize - 1);
    const QByteArray data = in.mid(4).right(PageSize);
    // A page takes the last 256 bytes sent, starting at the address's offset inside the page.
    const int skip = in.size() - 4 - data.size();
    for (int i = 0; i < data.size(); ++i) {
        const quint32 a = page + ((base + quint32(skip + i)) & quint32(PageSize - 1));
        quint8 value = quint8(m_image.at(int(a))) & quint8(data.at(i));
        value |= m_bitErrors.value(a, 0);
        m_image[int(a)] = char(value);
    }
}

void ConfigFlash::erase(quint32 start, int length)
{
    if (isProtected() || m_secured)
        return;
    ++m_erases;
    for (int i = 0; i < length; ++i)
        m_image[int(start) + i] = char(0xFF);
}

} // namespace sim
