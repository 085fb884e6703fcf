#include "remote/ZOUsbtmcTransfer.h"

#include <algorithm>
#include <cstring>

namespace zo4882 {

namespace {

quint32 le32(const unsigned char *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// The refusals below are framing faults of the host's transfer; they carry -230.
constexpr int CorruptTransfer = -230;

} // namespace

ZOUsbtmcTransfer::ZOUsbtmcTransfer(Sink *sink)
    : m_sink(sink)
    , m_in(new char[InputCapacity])
    , m_resp(new char[AnswerCapacity])
{ }

ZOUsbtmcTransfer::Outcome ZOUsbtmcTransfer::bulkOut(const char *data, int count)
{
    Outcome outcome;
    if (count <= 0)
        return outcome;
    int dataLen = count;
    if (!m_inMessage) {
        if (count < HeaderSize) {
            m_sink->queueError(CorruptTransfer,
                QStringLiteral("USBTMC Bulk-OUT transfer of %1 bytes, shorter than its header")
                    .arg(count));
            return outcome;
        }
        const auto *header = reinterpret_cast<const unsigned char *>(data);
        if (header[2] != static_cast<unsigned char>(~header[1]))
            return outcome;
        const auto size = qint32(le32(header + 4));
        const unsigned tag = header[1];
        if (size < 0)
            return outcome;
        switch (header[0]) {
        case REQUEST_DEV_DEP_MSG_IN:
            m_lastBtagBI = tag;
            m_readTransferSize = quint32(size);
            m_termCharEnabled = header[8] != 0;
            m_termChar = char(header[9]);
            resetInput();
            outcome.requestIn = true;
            return outcome;
        case TRIGGER:
            dropAnswer();
            m_lastBtagBO = tag;
            resetInput();
            m_sink->postTrigger(tag);
            return outcome;
        case DEV_DEP_MSG_OUT:
            if (!startMessage(header, count))
                return outcome;
            data += HeaderSize;
            dataLen -= HeaderSize;
            break;
        default:
            return outcome;
        }
    }
    takeData(data, dataLen);
    if (m_outstanding == 0) {
        completeMessage();
    } else if (count < ReadSize) {
        // A short read ends the host's transfer: what it announced never comes.
        m_sink->queueError(CorruptTransfer,
            QStringLiteral("USBTMC Bulk-OUT transfer ended %1 bytes before its announced size")
                .arg(m_outstanding));
        resetInput();
    }
    return outcome;
}

bool ZOUsbtmcTransfer::startMessage(const unsigned char *header, int count)
{
    const qint64 size = qint32(le32(header + 4));
    // Only a full read may continue in the next one; a shorter one holds the whole transfer.
    if (count < ReadSize && size > count - HeaderSize) {
        m_sink->queueError(CorruptTransfer,
            QStringLiteral("USBTMC Bulk-OUT header announces %1 bytes, the transfer holds %2")
                .arg(size)
                .arg(count - HeaderSize));
        return false;
    }
    m_inMessage = true;
    m_outstanding = size;
    m_tag = header[1];
    m_eom = (header[8] & 0x01) != 0;
    m_overflow = false;
    return true;
}

void ZOUsbtmcTransfer::takeData(const char *data, int len)
{
    // Bytes beyond the announced size are the fill to a multiple of 4.
    const int n = int(std::min<qint64>(len, m_outstanding));
    m_outstanding -= n;
    if (m_overflow)
        return;
    if (n > InputCapacity - m_inLen) {
        m_overflow = true;
        return;
    }
    std::memcpy(m_in.get() + m_inLen, data, size_t(n));
    m_inLen += n;
}

void ZOUsbtmcTransfer::completeMessage()
{
    m_inMessage = false;
    if (m_overflow) {
        m_sink->queueError(
            -363, QStringLiteral("USBTMC message longer than %1 bytes").arg(InputCapacity));
        resetInput();
        return;
    }
    dropAnswer();
    m_lastBtagBO = m_tag;
    const int used = std::clamp(m_sink->postInput(m_in.get(), m_inLen, m_eom, m_tag), 0, m_inLen);
    std::memmove(m_in.get(), m_in.get() + used, size_t(m_inLen - used));
    m_inLen -= used;
}

void ZOUsbtmcTransfer::dropAnswer()
{
    if (!hasAnswer())
        return;
    m_respLen = 0;
    m_respSent = 0;
    m_sink->answerDropped();
}

void ZOUsbtmcTransfer::resetInput()
{
    m_inLen = 0;
    m_outstanding = 0;
    m_inMessage = false;
    m_overflow = false;
}

bool ZOUsbtmcTransfer::appendAnswer(const char *text, int length)
{
    if (length < 0 || length > AnswerCapacity - m_respLen)
        return false;
    std::memcpy(m_resp.get() + m_respLen, text, size_t(length));
    m_respLen += length;
    return true;
}

QByteArray ZOUsbtmcTransfer::takeBulkIn(bool *more)
{
    *more = false;
    if (!hasAnswer())
        return {};
    const char *from = m_resp.get() + m_respSent;
    const int held = m_respLen - m_respSent;
    int n = int(std::min<quint32>(quint32(held), m_readTransferSize));
    if (m_termCharEnabled) {
        const char *term = static_cast<const char *>(std::memchr(from, m_termChar, size_t(n)));
        if (term)
            n = int(term - from) + 1;
    }
    const bool eom = n == held;
    QByteArray transfer(HeaderSize + ((n + 3) & ~3), '\0');
    auto *h = reinterpret_cast<unsigned char *>(transfer.data());
    h[0] = REQUEST_DEV_DEP_MSG_IN;
    h[1] = static_cast<unsigned char>(m_lastBtagBI);
    h[2] = static_cast<unsigned char>(~m_lastBtagBI);
    for (int i = 0; i < 4; ++i)
        h[4 + i] = static_cast<unsigned char>(quint32(n) >> (8 * i));
    h[8] = eom ? 0x01 : 0x00;
    std::memcpy(transfer.data() + HeaderSize, from, size_t(n));
    m_respSent += n;
    if (eom) {
        m_respLen = 0;
        m_respSent = 0;
    }
    *more = !eom;
    return transfer;
}

bool ZOUsbtmcTransfer::clear()
{
    const bool held = hasAnswer();
    m_respLen = 0;
    m_respSent = 0;
    m_lastBtagBO = 0;
    m_lastBtagBI = 0;
    resetInput();
    return held;
}

} // namespace zo4882
