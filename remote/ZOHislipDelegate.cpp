#include "remote/ZOHislipDelegate.h"

#include "remote/QueueError.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOScpiResponderLink.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace zo4882 {

namespace {

// Longest lock string kept (the stored string has room for 255 characters and its end mark).
constexpr int MaxLockString = 255;

quint32 readBe32(const unsigned char *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

quint64 readBe64(const unsigned char *p)
{
    return (quint64(readBe32(p)) << 32) | readBe32(p + 4);
}

void writeBe(char *p, quint64 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        p[i] = char(value & 0xFF);
        value >>= 8;
    }
}

bool isPrintable(char c)
{
    return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) <= 0x7F;
}

// Clients that read a service request in two consecutive status replies.
bool readsSrqTwice(const HISLIP_LINKOBJ &slot)
{
    return (slot.vendor[0] == 'A' && slot.vendor[1] == 'G')
        || (slot.vendor[0] == 'K' && slot.vendor[1] == 'S');
}

} // namespace

QMutex ZOHislipDelegate::s_tableMutex;
QWaitCondition ZOHislipDelegate::s_lockReleased;
HISLIP_LINKOBJ ZOHislipDelegate::s_aHsLinkObj[ZOHislipDelegate::Slots];
int ZOHislipDelegate::s_iXLockCnt = 0;
int ZOHislipDelegate::s_iSLockCnt = 0;
QByteArray ZOHislipDelegate::s_lockString;
std::atomic<int> ZOHislipDelegate::s_hsSessions { 0 };
quint64 ZOHislipDelegate::s_nextGeneration = 0;
int ZOHislipDelegate::s_interrupting = 0;

QByteArray HISLIP_MESSAGE_HEADER::encode(
    unsigned char type, unsigned char control, quint32 parameter, const QByteArray &payload)
{
    QByteArray message(Size, '\0');
    char *p = message.data();
    p[0] = 'H';
    p[1] = 'S';
    p[2] = char(type);
    p[3] = char(control);
    writeBe(p + 4, parameter, 4);
    writeBe(p + 8, quint64(payload.size()), 8);
    message += payload;
    return message;
}

ZOHislipDelegate::Frame ZOHislipDelegate::scanFrame(const unsigned char *data, int len)
{
    Frame frame;
    int at = 0;
    while (at + 1 < len && !(data[at] == 'H' && data[at + 1] == 'S'))
        ++at;
    if (at + 1 >= len) {
        // No prologue: all is dropped but a final 'H', which may begin one.
        frame.skip = (len > 0 && data[len - 1] == 'H') ? len - 1 : std::max(len, 0);
        return frame;
    }
    frame.skip = at;
    if (len - at < HISLIP_MESSAGE_HEADER::Size)
        return frame;
    const unsigned char *h = data + at;
    frame.header.type = h[2];
    frame.header.control = h[3];
    frame.header.parameter = readBe32(h + 4);
    frame.header.payloadLength = readBe64(h + 8);
    if (frame.header.payloadLength > MaxMessageSize) {
        frame.kind = Frame::TooLarge;
        return frame;
    }
    const int total = HISLIP_MESSAGE_HEADER::Size + int(frame.header.payloadLength);
    if (len - at < total)
        return frame;
    frame.kind = Frame::Complete;
    frame.total = total;
    return frame;
}

ZOHislipDelegate::ZOHislipDelegate(unsigned long deviceClearSettleMs, quint32 lockWaitCapMs)
    : m_deviceClearSettleMs(deviceClearSettleMs)
    , m_lockWaitCapMs(lockWaitCapMs)
{ }

ZOHislipDelegate::~ZOHislipDelegate() = default;

int ZOHislipDelegate::OnDataReceive(const void *connection, const unsigned char *data, int len)
{
    int pos = 0;
    while (pos < len) {
        const Frame frame = scanFrame(data + pos, len - pos);
        if (frame.kind == Frame::NeedMore)
            return pos + frame.skip;
        if (frame.kind == Frame::TooLarge) {
            generateError(false, ErrorTooLarge);
            return len;
        }
        const int start = pos + frame.skip;
        const unsigned char type = frame.header.type;
        if (type == Data || type == DataEnd || type == Trigger) {
            // Held where it is until the lock that keeps it out is released; checked and
            // marked in one step, so a release in between cannot be missed.
            QMutexLocker lock(&s_tableMutex);
            HISLIP_LINKOBJ *slot = slotLocked();
            m_blocked = !accessGrantedLocked(slot);
            if (m_blocked) {
                slot->syncBlocked = true;
                return start;
            }
        }
        dispatch(connection, frame.header, data + start + HISLIP_MESSAGE_HEADER::Size);
        pos = start + frame.total;
    }
    return len;
}

void ZOHislipDelegate::dispatch(
    const void *connection, const HISLIP_MESSAGE_HEADER &header, const unsigned char *payload)
{
    using Handler = void (ZOHislipDelegate::*)(
        const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *);
    // The messages a client sends; any other type is unrecognized.
    static const struct
    {
        unsigned char type;
        Handler handler;
    } handlers[] = {
        { Initialize, &ZOHislipDelegate::OnInitialize },
        { AsyncLock, &ZOHislipDelegate::OnAsyncLock },
        { Data, &ZOHislipDelegate::OnData },
        { DataEnd, &ZOHislipDelegate::OnData },
        { DeviceClearComplete, &ZOHislipDelegate::OnDeviceClearComplete },
        { AsyncRemoteLocalControl, &ZOHislipDelegate::OnAsyncRemoteLocal },
        { Trigger, &ZOHislipDelegate::OnTrigger },
        { AsyncMaximumMessageSize, &ZOHislipDelegate::OnAsyncMaximumMessageSize },
        { AsyncInitialize, &ZOHislipDelegate::OnAsyncInitialize },
        { AsyncDeviceClear, &ZOHislipDelegate::OnAsyncDeviceClear },
        { AsyncStatusQuery, &ZOHislipDelegate::OnAsyncStatusQuery },
        { AsyncLockInfo, &ZOHislipDelegate::OnAsyncLockInfo },
    };
    for (const auto &entry : handlers) {
        if (entry.type == header.type)
            return (this->*entry.handler)(connection, header, payload);
    }
    generateError(false, ErrorUnknownType);
}

void ZOHislipDelegate::generateError(bool fatal, unsigned char code)
{
    sendMessage(HISLIP_MESSAGE_HEADER::encode(fatal ? FatalError : Error, code, 0));
}

HISLIP_LINKOBJ *ZOHislipDelegate::slotLocked() const
{
    if (m_slot < 0)
        return nullptr;
    HISLIP_LINKOBJ *slot = &s_aHsLinkObj[m_slot];
    if (!slot->syncConnection || slot->generation != m_generation)
        return nullptr;
    return slot;
}

bool ZOHislipDelegate::accessGranted() const
{
    QMutexLocker lock(&s_tableMutex);
    return accessGrantedLocked(slotLocked());
}

bool ZOHislipDelegate::accessGrantedLocked(const HISLIP_LINKOBJ *slot) const
{
    if (!slot || s_hsSessions.load() <= 1 || slot->xLocks > 0)
        return true;
    if (slot->sLocks > 0 && s_iXLockCnt == 0)
        return true;
    return s_iXLockCnt == 0 && s_iSLockCnt == 0;
}

void ZOHislipDelegate::wakeBlockedLocked()
{
    s_lockReleased.wakeAll();
    for (HISLIP_LINKOBJ &slot : s_aHsLinkObj) {
        if (slot.syncBlocked && slot.syncPort)
            slot.syncPort->resume();
        slot.syncBlocked = false;
    }
}

void ZOHislipDelegate::OnInitialize(
    const void *connection, const HISLIP_MESSAGE_HEADER &header, const unsigned char *)
{
    QMutexLocker lock(&s_tableMutex);
    if (slotLocked()) {
        lock.unlock();
        return generateError(true, FatalBadInitSequence);
    }
    int index = 0;
    while (index < Slots && s_aHsLinkObj[index].syncConnection)
        ++index;
    if (index == Slots) {
        lock.unlock();
        return generateError(true, FatalNoFreeSlot);
    }
    HISLIP_LINKOBJ &slot = s_aHsLinkObj[index];
    slot = HISLIP_LINKOBJ {};
    slot.syncConnection = connection;
    slot.syncPort = ownPort();
    slot.input.reset(new char[HISLIP_LINKOBJ::InputSize]());
    slot.generation = ++s_nextGeneration;
    slot.nextServerId = FirstServerMessageId;
    // The client's vendor id: the low half of the parameter, first character in the high byte.
    const char vendor[2] = { char(header.parameter >> 8), char(header.parameter) };
    const bool printable = isPrintable(vendor[0]) && isPrintable(vendor[1]);
    slot.vendor[0] = printable ? vendor[0] : 'N';
    slot.vendor[1] = printable ? vendor[1] : 'I';
    ++s_hsSessions;
    m_slot = index;
    m_generation = slot.generation;
    m_isSync = true;
    const unsigned char mode = (slot.marks & HISLIP_LINKOBJ::Overlapped) ? 1 : 0;
    lock.unlock();
    sendMessage(HISLIP_MESSAGE_HEADER::encode(
        InitializeResponse, mode, (quint32(ProtocolVersion) << 16) | quint32(index + 1)));
}

void ZOHislipDelegate::OnAsyncInitialize(
    const void *connection, const HISLIP_MESSAGE_HEADER &header, const unsigned char *)
{
    QMutexLocker lock(&s_tableMutex);
    // The session id must name an initialized slot without an asynchronous connection, and
    // this connection must not belong to a slot already.
    const quint32 id = header.parameter;
    HISLIP_LINKOBJ *slot = (id >= 1 && id <= quint32(Slots)) ? &s_aHsLinkObj[id - 1] : nullptr;
    if (slotLocked() || !slot || !slot->syncConnection || slot->asyncConnection) {
        lock.unlock();
        return generateError(true, FatalBadInitSequence);
    }
    slot->asyncConnection = connection;
    slot->asyncPort = ownPort();
    slot->asyncResponder = ownResponderLink();
    m_slot = int(id - 1);
    m_generation = slot->generation;
    m_isSync = false;
    lock.unlock();
    sendMessage(HISLIP_MESSAGE_HEADER::encode(AsyncInitializeResponse, 0, ServerVendor));
}

bool ZOHislipDelegate::checkDeliveredLocked(HISLIP_LINKOBJ *slot, unsigned char control, bool clear)
{
    if (slot->marks & HISLIP_LINKOBJ::Overlapped)
        return true;
    const bool delivered = control & 1;
    if (delivered)
        slot->marks &= ~HISLIP_LINKOBJ::MessageAvailable;
    if (bool(slot->marks & HISLIP_LINKOBJ::AnswerSent) == delivered) {
        slot->marks &= ~HISLIP_LINKOBJ::AnswerSent;
        return true;
    }
    if (clear)
        slot->marks &= ~(HISLIP_LINKOBJ::MessageAvailable | HISLIP_LINKOBJ::AnswerSent);
    return false;
}

void ZOHislipDelegate::OnData(
    const void *, const HISLIP_MESSAGE_HEADER &header, const unsigned char *payload)
{
    // Cut under the table mutex, queued (errors) and posted after it: the parser's answer
    // takes the mutex too, and an error may raise a service request, which takes it as well.
    QVarLengthArray<QByteArray, 4> messages;
    const void *device = nullptr;
    bool interrupted = false;
    bool overrun = false;
    {
        QMutexLocker lock(&s_tableMutex);
        HISLIP_LINKOBJ *slot = slotLocked();
        if (!slot) {
            lock.unlock();
            return generateError(true, FatalNoSlotYet);
        }
        device = slot->syncConnection;
        interrupted = !checkDeliveredLocked(slot, header.control, true);
        const quint32 length = quint32(header.payloadLength);
        overrun = slot->inputHeld + length > MaxMessageSize;
        if (overrun) {
            slot->inputHeld = 0;
        } else {
            std::memcpy(slot->input.get() + slot->inputHeld, payload, length);
            slot->inputHeld += length;
            cutMessagesLocked(slot, header, messages);
        }
    }
    if (interrupted)
        queueErrorFrom(INTF_HISLIP, -410, QString());
    if (overrun)
        queueErrorFrom(INTF_HISLIP, -363, QString());
    for (QByteArray &message : messages)
        OnCmdReceive(device, message.data(), message.size(), header.parameter);
}

void ZOHislipDelegate::cutMessagesLocked(HISLIP_LINKOBJ *slot,
    const HISLIP_MESSAGE_HEADER &header,
    QVarLengthArray<QByteArray, 4> &messages)
{
    const bool end = header.type == DataEnd;
    char *input = slot->input.get();
    for (;;) {
        PARSER_SPLITTED_PACK pack;
        const int found = ZOMessageSplitter::split(input, int(slot->inputHeld), end, &pack);
        if (found > 0)
            slot->lastClientId = header.parameter;
        for (int i = 0; i < found; ++i)
            messages.append(QByteArray(pack.messages[i], pack.lengths[i]));
        const int rest = pack.restLength > 0 ? pack.restLength : 0;
        if (rest > 0 && pack.rest != input)
            std::memmove(input, pack.rest, size_t(rest));
        slot->inputHeld = quint32(rest);
        // A full split may have left more messages behind it.
        if (found < PARSER_SPLITTED_PACK::MAX_MESSAGES || rest == 0)
            break;
    }
}

void ZOHislipDelegate::OnTrigger(
    const void *, const HISLIP_MESSAGE_HEADER &header, const unsigned char *)
{
    const void *device = nullptr;
    bool interrupted = false;
    {
        QMutexLocker lock(&s_tableMutex);
        HISLIP_LINKOBJ *slot = slotLocked();
        if (!slot) {
            lock.unlock();
            return generateError(true, FatalNoSlotYet);
        }
        // A mismatch is reported, but the marks stay as they are.
        interrupted = !checkDeliveredLocked(slot, header.control, false);
        slot->lastClientId = header.parameter;
        device = slot->syncConnection;
    }
    if (interrupted)
        queueErrorFrom(INTF_HISLIP, -410, QString());
    char trigger[] = "*TRG";
    OnCmdReceive(device, trigger, 4, header.parameter);
}

void ZOHislipDelegate::SendResponseBack(
    const void *connection, const char *text, int length, unsigned tag)
{
    if (length < 2)
        return;
    QByteArray reply;
    QByteArray asyncNote; // AsyncInterrupted, for a stale answer
    std::shared_ptr<zostd::ZOTcpSession::AnswerPort> asyncPort;
    std::shared_ptr<ZOScpiResponderLink> srqLink;
    {
        // Decided and marked under the mutex, sent after it: the client's next message may
        // arrive as soon as the answer is out, and its session thread takes the mutex too.
        QMutexLocker lock(&s_tableMutex);
        HISLIP_LINKOBJ *slot = slotLocked();
        if (!slot || slot->syncConnection != connection)
            return;
        if (slot->marks & HISLIP_LINKOBJ::Overlapped) {
            reply = HISLIP_MESSAGE_HEADER::encode(
                DataEnd, 0, slot->nextServerId, QByteArray::fromRawData(text, length));
            slot->nextServerId += 2;
        } else if (tag == slot->lastClientId) {
            reply = HISLIP_MESSAGE_HEADER::encode(
                DataEnd, 0, tag, QByteArray::fromRawData(text, length));
            slot->marks |= HISLIP_LINKOBJ::MessageAvailable | HISLIP_LINKOBJ::AnswerSent;
        } else {
            // The client has sent a newer message since: this answer is stale.
            asyncNote = HISLIP_MESSAGE_HEADER::encode(AsyncInterrupted, 0, slot->lastClientId);
            asyncPort = slot->asyncPort;
            reply = HISLIP_MESSAGE_HEADER::encode(Interrupted, 0, slot->lastClientId);
        }
        if (asyncNote.isEmpty() && (s_stb.enabler() & ZO_STB_REGISTER::MessageAvailable)
            && slot->asyncResponder) {
            slot->marks |= HISLIP_LINKOBJ::ServiceRequest;
            if (readsSrqTwice(*slot))
                slot->marks |= HISLIP_LINKOBJ::SecondReport;
            srqLink = slot->asyncResponder;
        }
    }
    if (!asyncNote.isEmpty()) {
        queueErrorFrom(INTF_HISLIP, -410, QString());
        if (asyncPort)
            asyncPort->post(asyncNote);
    }
    sendMessage(reply);
    if (srqLink)
        srqLink->raiseSrq((s_stb.condition() | ZO_STB_REGISTER::MessageAvailable)
            & ~ZO_STB_REGISTER::RequestService);
}

void ZOHislipDelegate::broadcastSRQ(unsigned char stb)
{
    QMutexLocker lock(&s_tableMutex);
    for (HISLIP_LINKOBJ &slot : s_aHsLinkObj) {
        if (!slot.syncConnection || !slot.asyncResponder
            || (slot.marks & HISLIP_LINKOBJ::ServiceRequest))
            continue;
        slot.marks |= HISLIP_LINKOBJ::ServiceRequest;
        if (readsSrqTwice(slot))
            slot.marks |= HISLIP_LINKOBJ::SecondReport;
        slot.asyncResponder->raiseSrq(stb);
    }
}

void ZOHislipDelegate::OnAsyncStatusQuery(
    const void *, const HISLIP_MESSAGE_HEADER &header, const unsigned char *)
{
    QMutexLocker lock(&s_tableMutex);
    HISLIP_LINKOBJ *slot = slotLocked();
    if (!slot) {
        lock.unlock();
        return generateError(true, FatalNoSlotYet);
    }
    bool available = slot->marks & HISLIP_LINKOBJ::MessageAvailable;
    if (!(slot->marks & HISLIP_LINKOBJ::Overlapped) && (header.control & 1)) {
        available = false;
        slot->marks &= ~HISLIP_LINKOBJ::MessageAvailable;
        if (!readsSrqTwice(*slot))
            slot->marks &= ~HISLIP_LINKOBJ::AnswerSent;
    }
    unsigned char status =
        s_stb.condition() & ~(ZO_STB_REGISTER::MessageAvailable | ZO_STB_REGISTER::RequestService);
    if (slot->marks & HISLIP_LINKOBJ::ServiceRequest) {
        status |= ZO_STB_REGISTER::RequestService;
        if (slot->marks & HISLIP_LINKOBJ::SecondReport)
            slot->marks &= ~HISLIP_LINKOBJ::SecondReport;
        else
            slot->marks &= ~HISLIP_LINKOBJ::ServiceRequest;
    }
    if (available)
        status |= ZO_STB_REGISTER::MessageAvailable;
    lock.unlock();
    sendMessage(HISLIP_MESSAGE_HEADER::encode(AsyncStatusResponse, status, 0));
}

void ZOHislipDelegate::OnAsyncLock(
    const void *, const HISLIP_MESSAGE_HEADER &header, const unsigned char *payload)
{
    QMutexLocker lock(&s_tableMutex);
    HISLIP_LINKOBJ *slot = slotLocked();
    if (!slot) {
        lock.unlock();
        return generateError(true, FatalNoSlotYet);
    }
    unsigned char result = 0;
    if (header.control == 0) {
        result = releaseLocked(slot);
    } else {
        const QByteArray name(reinterpret_cast<const char *>(payload), int(header.payloadLength));
        result = lockLocked(slot, header.parameter, name);
    }
    lock.unlock();
    sendMessage(HISLIP_MESSAGE_HEADER::encode(AsyncLockResponse, result, 0));
}

bool ZOHislipDelegate::waitForZeroLocked(
    const int &count, quint32 timeoutMs, const HISLIP_LINKOBJ *slot)
{
    const QDeadlineTimer deadline(qint64(std::min(timeoutMs, m_lockWaitCapMs)), Qt::PreciseTimer);
    const quint64 generation = slot->generation;
    for (;;) {
        // The slot may be freed while the table mutex is given up in the wait.
        if (!slot->syncConnection || slot->generation != generation || s_interrupting > 0)
            return false;
        if (count == 0)
            return true;
        if (deadline.hasExpired())
            return false;
        s_lockReleased.wait(&s_tableMutex, deadline);
    }
}

void ZOHislipDelegate::interruptLockWaits(bool on)
{
    QMutexLocker lock(&s_tableMutex);
    s_interrupting += on ? 1 : -1;
    s_lockReleased.wakeAll();
}

unsigned char ZOHislipDelegate::lockLocked(
    HISLIP_LINKOBJ *slot, quint32 timeoutMs, const QByteArray &name)
{
    enum Result : unsigned char { Failure = 0, Success = 1, LockError = 3 };
    const int x = slot->xLocks;
    const int s = slot->sLocks;
    if (name.isEmpty()) {
        const bool grantNow = (s_iXLockCnt == 0 && s_iSLockCnt == 0)
            || (s_iXLockCnt == 0 && s_iSLockCnt > 0 && s >= 1);
        if (!grantNow) {
            if (x >= 1)
                return LockError;
            if (!waitForZeroLocked(s_iXLockCnt, timeoutMs, slot))
                return Failure;
        }
        ++slot->xLocks;
        ++s_iXLockCnt;
        return Success;
    }
    if (name.size() > MaxLockString)
        return LockError;
    const bool sameOrNone = s_lockString.isEmpty() || s_lockString == name;
    bool store = true;
    if (s_iXLockCnt == 0 && s_iSLockCnt == 0) {
        // Free: granted at once.
    } else if (s_iXLockCnt == 0) {
        if (s >= 1)
            return LockError;
        if (!sameOrNone && !waitForZeroLocked(s_iSLockCnt, timeoutMs, slot))
            return Failure;
    } else if (s_iSLockCnt == 0) {
        if (x >= 1)
            return Failure;
        if (!waitForZeroLocked(s_iSLockCnt, timeoutMs, slot))
            return Failure;
        store = false;
    } else {
        if (s >= 1)
            return Failure;
        if (!sameOrNone && !waitForZeroLocked(s_iSLockCnt, timeoutMs, slot))
            return Failure;
    }
    ++slot->sLocks;
    ++s_iSLockCnt;
    if (store)
        s_lockString = name;
    return Success;
}

unsigned char ZOHislipDelegate::releaseLocked(HISLIP_LINKOBJ *slot)
{
    unsigned char result = 3;
    if (slot->sLocks >= 1 && slot->xLocks == 0) {
        --slot->sLocks;
        --s_iSLockCnt;
        result = 2;
    } else if (slot->xLocks >= 1) {
        --slot->xLocks;
        --s_iXLockCnt;
        result = 1;
    }
    if (s_iSLockCnt == 0)
        s_lockString.clear();
    wakeBlockedLocked();
    return result;
}

void ZOHislipDelegate::OnAsyncLockInfo(
    const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *)
{
    QMutexLocker lock(&s_tableMutex);
    if (!slotLocked()) {
        lock.unlock();
        return generateError(true, FatalNoSlotYet);
    }
    unsigned char exclusive = 0;
    quint32 holders = 0;
    for (const HISLIP_LINKOBJ &slot : s_aHsLinkObj) {
        if (!slot.syncConnection || !slot.asyncConnection)
            continue;
        if (slot.xLocks > 0)
            exclusive = 1;
        if (slot.xLocks > 0 || slot.sLocks > 0)
            ++holders;
    }
    lock.unlock();
    sendMessage(HISLIP_MESSAGE_HEADER::encode(AsyncLockInfoResponse, exclusive, holders));
}

void ZOHislipDelegate::OnAsyncRemoteLocal(
    const void *connection, const HISLIP_MESSAGE_HEADER &header, const unsigned char *)
{
    {
        QMutexLocker lock(&s_tableMutex);
        if (!slotLocked()) {
            lock.unlock();
            return generateError(true, FatalNoSlotYet);
        }
    }
    switch (header.control) {
    case 0:
        OnControlRENReceive(connection, 0);
        break;
    case 1:
        OnControlRENReceive(connection, 1);
        break;
    case 2:
        OnControlRemoteReceive(connection, 0);
        OnControlRENReceive(connection, 0);
        break;
    case 3:
        OnControlRENReceive(connection, 1);
        OnControlRemoteReceive(connection, 1);
        break;
    case 4:
        OnControlRENReceive(connection, 1);
        OnControlLLOReceive(connection);
        break;
    case 5:
        OnControlRENReceive(connection, 1);
        OnControlRemoteReceive(connection, 1);
        OnControlLLOReceive(connection);
        break;
    case 6:
        OnControlRemoteReceive(connection, 0);
        break;
    default:
        return generateError(false, ErrorUnknownControl);
    }
    sendMessage(HISLIP_MESSAGE_HEADER::encode(AsyncRemoteLocalResponse, 0, 0));
}

void ZOHislipDelegate::OnAsyncMaximumMessageSize(
    const void *, const HISLIP_MESSAGE_HEADER &header, const unsigned char *payload)
{
    {
        QMutexLocker lock(&s_tableMutex);
        HISLIP_LINKOBJ *slot = slotLocked();
        if (!slot) {
            lock.unlock();
            return generateError(true, FatalNoSlotYet);
        }
        slot->maxMessageSize = header.payloadLength == 8 ? quint32(readBe64(payload)) : 0;
    }
    QByteArray size(8, '\0');
    writeBe(size.data(), MaxMessageSize, 8);
    sendMessage(HISLIP_MESSAGE_HEADER::encode(AsyncMaximumMessageSizeResponse, 0, 0, size));
}

void ZOHislipDelegate::OnAsyncDeviceClear(
    const void *, const HISLIP_MESSAGE_HEADER &, const unsigned char *)
{
    const void *device = nullptr;
    {
        QMutexLocker lock(&s_tableMutex);
        HISLIP_LINKOBJ *slot = slotLocked();
        if (!slot) {
            lock.unlock();
            return generateError(true, FatalNoSlotYet);
        }
        device = slot->syncConnection;
    }
    OnDeviceClearReceive(device);
    // The control handler and the parser act on the clear meanwhile.
    if (m_deviceClearSettleMs > 0)
        QThread::msleep(m_deviceClearSettleMs);
    // Reset before the acknowledgement, so the client's next message finds the slot clean.
    {
        QMutexLocker lock(&s_tableMutex);
        if (HISLIP_LINKOBJ *slot = slotLocked()) {
            slot->nextServerId = FirstServerMessageId;
            slot->marks &= ~(HISLIP_LINKOBJ::MessageAvailable | HISLIP_LINKOBJ::AnswerSent);
            std::memset(slot->input.get(), 0, HISLIP_LINKOBJ::InputSize);
            slot->inputHeld = 0;
        }
    }
    sendMessage(HISLIP_MESSAGE_HEADER::encode(AsyncDeviceClearAcknowledge, 0, 0));
}

void ZOHislipDelegate::OnDeviceClearComplete(
    const void *, const HISLIP_MESSAGE_HEADER &header, const unsigned char *)
{
    QMutexLocker lock(&s_tableMutex);
    HISLIP_LINKOBJ *slot = slotLocked();
    if (!slot) {
        lock.unlock();
        return generateError(true, FatalNoSlotYet);
    }
    const unsigned char overlapped = header.control & 1;
    if (overlapped)
        slot->marks |= HISLIP_LINKOBJ::Overlapped;
    else
        slot->marks &= ~HISLIP_LINKOBJ::Overlapped;
    lock.unlock();
    sendMessage(HISLIP_MESSAGE_HEADER::encode(DeviceClearAcknowledge, overlapped, 0));
}

void ZOHislipDelegate::OnSessionClose(const void *connection)
{
    QMutexLocker lock(&s_tableMutex);
    HISLIP_LINKOBJ *slot = slotLocked();
    m_slot = -1;
    if (!slot)
        return;
    if (m_isSync && slot->syncConnection == connection) {
        s_iXLockCnt -= slot->xLocks;
        s_iSLockCnt -= slot->sLocks;
        *slot = HISLIP_LINKOBJ {};
        slot->generation = ++s_nextGeneration;
        if (--s_hsSessions <= 0) {
            s_hsSessions = 0;
            s_iXLockCnt = 0;
            s_iSLockCnt = 0;
        }
        if (s_iSLockCnt == 0)
            s_lockString.clear();
        wakeBlockedLocked();
    } else if (!m_isSync && slot->asyncConnection == connection) {
        // Nothing may reach the closed connection afterwards.
        slot->asyncConnection = nullptr;
        slot->asyncPort.reset();
        slot->asyncResponder.reset();
    }
}

} // namespace zo4882
