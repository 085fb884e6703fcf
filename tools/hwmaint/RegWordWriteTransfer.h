#pragma once

#include "tools/hwmaint/RegWriteTransfer.h"

#include <QVector>

#include <array>

namespace ioc {

// A register write of N data words of type T (int or unsigned int) as the controller takes it,
// one 32-bit word per row:
//
//   0        register address
//   1        N
//   2..N+1   data, in the order appended
//   N+2      qChecksumMT() of words 0..N+1 in the low 16 bits, the high 16 bits 0
//
// Sent at 12 MHz, 32 bits per word, no delay, no chip-select change, nothing received.
template <typename T, int N> class RegWordWriteTransfer : public RegWriteTransfer
{
    static_assert(N >= 1, "a register write carries at least one word");

public:
    static constexpr quint32 ClockHz = 12000000;
    static constexpr int FrameWords = N + 3;

    explicit RegWordWriteTransfer(quint32 address)
    {
        m_frame.fill(0);
        m_frame[0] = address;
        m_frame[1] = quint32(N);
        seal();
        m_xfer.tx_buf = quintptr(m_frame.data());
        m_xfer.rx_buf = 0;
        m_xfer.len = FrameWords * 4;
        m_xfer.speed_hz = ClockHz;
        m_xfer.delay_usecs = 0;
        m_xfer.bits_per_word = 32;
        m_xfer.cs_change = 0;
    }

    // Appends the next data value and seals the frame again; values past N are ignored.
    void append(T value)
    {
        if (m_values.size() >= N)
            return;
        m_values.append(value);
        m_frame[size_t(1 + m_values.size())] = quint32(value);
        seal();
    }

    const QVector<T> &values() const { return m_values; }
    const std::array<quint32, FrameWords> &frame() const { return m_frame; }

private:
    void seal() { m_frame[N + 2] = qChecksumMT(m_frame.data(), (N + 2) * 4); }

    QVector<T> m_values;
    std::array<quint32, FrameWords> m_frame;
};

} // namespace ioc
