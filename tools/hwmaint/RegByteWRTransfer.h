#pragma once

#include "platform/SpiPort.h"
#include "tools/hwmaint/RegWriteTransfer.h"

#include <array>
#include <cerrno>

namespace ioc {

// The configuration flash's SPI device (a board path), reachable while the flash access line
// is on.
extern const char *const spiFlashDevice;

// One full-duplex byte exchange with the configuration flash: up to N bytes of the buffer go
// out and the bytes clocked in replace them. The object opens the device (mode 0, 8 bits per
// word, 24 MHz top clock) when it is built and closes it when it ends, so every flash command
// opens the device once. Sent at 12 MHz, no delay, no chip-select change.
template <typename T, int N> class RegByteWRTransfer : public RegWriteTransfer
{
    static_assert(sizeof(T) == 1 && N >= 1, "a byte exchange of at least one byte");

public:
    static constexpr quint32 ClockHz = 12000000;
    static constexpr quint32 MaxSpeedHz = 24000000;
    static constexpr int Capacity = N;

    RegByteWRTransfer()
    {
        m_buffer.fill(0);
        m_state = m_port.open(QLatin1String(spiFlashDevice));
        if (m_state == 0)
            m_state = m_port.configure({ 0, 8, MaxSpeedHz });
        m_xfer.tx_buf = quintptr(m_buffer.data());
        m_xfer.rx_buf = quintptr(m_buffer.data());
        m_xfer.len = N;
        m_xfer.speed_hz = ClockHz;
        m_xfer.delay_usecs = 0;
        m_xfer.bits_per_word = 8;
        m_xfer.cs_change = 0;
    }

    T *data() { return m_buffer.data(); }
    T &operator[](int i) { return m_buffer[size_t(i)]; }

    // Exchanges the first length bytes (at most N). Returns 0 or a negative errno; a device
    // that could not be opened fails here with the open's error.
    int exchange(int length)
    {
        if (length < 1 || length > N)
            return -EINVAL;
        if (m_state != 0)
            return m_state;
        m_xfer.len = quint32(length);
        return m_port.message(&m_xfer, 1);
    }

private:
    std::array<T, N> m_buffer;
    platform::SpiPort m_port;
    int m_state = 0; // 0, or the negative errno of the failed open or set-up
};

} // namespace ioc
