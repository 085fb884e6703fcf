#include "tools/hwmaint/RegWriteTransfer.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace ioc {

namespace {
quint16 update(quint16 crc, unsigned char byte)
{
    // Table of the polynomial 0x1021 for the high byte of the running CRC.
    static const std::array<quint16, 256> crc_tbl = [] {
        std::array<quint16, 256> t {};
        for (int i = 0; i < 256; ++i) {
            quint16 c = quint16(i << 8);
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 0x8000) ? quint16((c << 1) ^ 0x1021) : quint16(c << 1);
            t[size_t(i)] = c;
        }
        return t;
    }();
    return quint16((crc << 8) ^ crc_tbl[size_t(((crc >> 8) ^ byte) & 0xFF)]);
}
} // namespace

RegWriteTransfer::RegWriteTransfer()
{
    std::memset(&m_xfer, 0, sizeof(m_xfer));
}

RegWriteTransfer::~RegWriteTransfer() = default;

quint16 RegWriteTransfer::qChecksumMT(const unsigned int *words, unsigned int bytes)
{
    quint16 crc = 0xFFFF;
    for (unsigned int i = 0; i < bytes / 4; ++i) {
        for (int shift = 24; shift >= 0; shift -= 8)
            crc = update(crc, (unsigned char)(words[i] >> shift));
    }
    return crc;
}

QVector<quint32> RegWriteTransfer::words() const
{
    QVector<quint32> out(int(m_xfer.len / 4));
    if (m_xfer.tx_buf)
        std::memcpy(
            out.data(), reinterpret_cast<const void *>(quintptr(m_xfer.tx_buf)), out.size() * 4);
    return out;
}

qint32 RegWriteTransfer::toSigned(double value)
{
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(value);
    if (t <= -2147483648.0)
        return std::numeric_limits<qint32>::min();
    if (t >= 2147483647.0)
        return std::numeric_limits<qint32>::max();
    return qint32(t);
}

quint32 RegWriteTransfer::toUnsigned(double value)
{
    if (std::isnan(value) || value <= 0)
        return 0;
    const double t = std::trunc(value);
    return t >= 4294967295.0 ? std::numeric_limits<quint32>::max() : quint32(t);
}

quint16 RegWriteTransfer::checksum(const unsigned char *data, unsigned int size)
{
    quint16 crc = 0xFFFF;
    for (unsigned int i = 0; i < size; ++i)
        crc = update(crc, data[i]);
    return crc;
}

} // namespace ioc
