#include "remote/ZO4882Parser.h"

#include "remote/IPreferenceInfo.h"
#include "remote/QueueError.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZOCommandRunner.h"
#include "remote/ZOFlowControl.h"
#include "remote/ZOMessageSplitter.h"
#include "remote/ZOScpiResponderLink.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace zo4882 {

std::atomic<ZO4882Parser *> ZO4882Parser::s_pSelf { nullptr };

namespace {

const char OutOfMemory[] = "Out of memory";
const int ShutdownRetryMs = 10;

} // namespace

ZO4882Parser::ZO4882Parser(const IDictIndex *dict, DEFAULT_NODE_TYPES root, int tickMs)
    : QObject(nullptr)
    , m_delegate(this)
    , m_timer(new QTimer(this))
{
    qRegisterMetaType<const SCPIMSG_T *>();
    s_pSelf.store(this);
    // Queued even from the parser thread itself, so a message never runs inside another.
    connect(this, &ZO4882Parser::posted, this, &ZO4882Parser::OnMsgPost, Qt::QueuedConnection);
    m_delegate.registerDictionary(dict, root);
    m_timer->setInterval(tickMs);
    connect(m_timer, &QTimer::timeout, this, &ZO4882Parser::OnTimeout);
    connect(this, &ZO4882Parser::wdogTimeout, this, &ZO4882Parser::OnWdogTimeout);
    connect(&m_thread, &QThread::started, m_timer, qOverload<>(&QTimer::start));
    moveToThread(&m_thread);
    m_thread.start(QThread::HighPriority);
}

ZO4882Parser::~ZO4882Parser()
{
    stop();
}

void ZO4882Parser::stop()
{
    Q_ASSERT(QThread::currentThread() != &m_thread);
    ZO4882Parser *self = this;
    s_pSelf.compare_exchange_strong(self, nullptr);
    if (!m_thread.isRunning())
        return;
    m_stopping.store(true);
    // A post() that saw the parser running finishes queueing first, so the drain below frees
    // its message; later ones free their own.
    while (m_posting.load() != 0)
        QThread::yieldCurrentThread();
    QSemaphore stopped;
    QMetaObject::invokeMethod(
        this,
        [this, &stopped] {
            stopInThread();
            stopped.release();
        },
        Qt::QueuedConnection);
    // The running message may be parked in a wait without limit (*OPC?, *WAI, a request to
    // the engine); a wait it starts after one call is ended by the next.
    do {
        OnShutdown();
    } while (!stopped.tryAcquire(1, ShutdownRetryMs));
    m_thread.quit();
    m_thread.wait();
}

void ZO4882Parser::OnShutdown()
{
    m_delegate.setAbort(true);
    s_opc.interruptWaits();
}

// Messages still queued are freed unparsed; the timer is stopped in its own thread.
void ZO4882Parser::stopInThread()
{
    m_timer->stop();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

int ZO4882Parser::post(SCPIMSG_T *message)
{
    if (!message)
        return 0;
    m_posting.fetch_add(1);
    if (m_stopping.load()) {
        m_posting.fetch_sub(1);
        freeScpiMessage(message);
        return 0;
    }
    if (m_postHook)
        m_postHook(*message);
    if (m_arrivalHook)
        m_arrivalHook(*message);
    message->sequence = m_lastSequence.fetch_add(1) + 1;
    // Counted before it is queued, so the parser never takes a message the count lacks.
    m_pending.fetch_add(1);
    emit posted(message);
    m_posting.fetch_sub(1);
    return 1;
}

int ZO4882Parser::postReceived(char *buffer,
    int length,
    bool endIsMessage,
    INTF_TYPE_ENUM intf,
    unsigned tag,
    void *device,
    ZOScpiResponder *responder,
    int maxMessages,
    int *posted,
    const std::shared_ptr<ZOFlowControl> &flow)
{
    int cut = 0;
    if (posted)
        *posted = 0;
    if (!buffer || length <= 0 || maxMessages <= 0)
        return 0;
    int used = 0;
    for (;;) {
        const int ask = std::min(maxMessages - cut, int(PARSER_SPLITTED_PACK::MAX_MESSAGES));
        PARSER_SPLITTED_PACK pack;
        const int count =
            ZOMessageSplitter::split(buffer + used, length - used, endIsMessage, &pack, ask);
        for (int i = 0; i < count; ++i) {
            SCPIMSG_T *message =
                createScpiMessage(pack.messages[i], pack.lengths[i], tag, intf, device, responder);
            if (!message) {
                queueErrorFrom(intf, -310, QString::fromLatin1(OutOfMemory));
                continue;
            }
            if (flow) {
                message->flow = flow;
                flow->messagePosted();
            }
            post(message);
        }
        cut += count;
        if (posted)
            *posted = cut;
        used = int(pack.rest - buffer);
        // A full cut may have stopped before further complete messages.
        if (count < ask || pack.restLength == 0 || cut >= maxMessages)
            break;
    }
    return used;
}

void ZO4882Parser::deviceClear()
{
    const std::uint64_t last = m_lastSequence.load();
    std::uint64_t cleared = m_clearedThrough.load();
    while (cleared < last && !m_clearedThrough.compare_exchange_weak(cleared, last)) { }
    m_discard.store(m_pending.load());
    // Raised after the mark: OnMsgPost lowers it before reading the mark, so a message it
    // took just now is either discarded or stopped.
    m_delegate.setAbort(true);
}

void ZO4882Parser::resetAndSetDenyFlags(unsigned clear, unsigned set)
{
    QMutexLocker lock(&m_denyMutex);
    m_denyFlags = set | (m_denyFlags & ~clear);
    if (QThread::currentThread() == &m_thread)
        m_denyView = m_denyFlags;
}

unsigned ZO4882Parser::denyFlags() const
{
    QMutexLocker lock(&m_denyMutex);
    return m_denyFlags;
}

void ZO4882Parser::setWatchDog(int periodMs)
{
    QMutexLocker lock(&m_watchdogMutex);
    m_watchdogPeriod = periodMs > 0 ? periodMs : 0;
    m_lastActivity = nowMs();
}

void ZO4882Parser::refreshWatchDog()
{
    QMutexLocker lock(&m_watchdogMutex);
    m_lastActivity = nowMs();
}

void ZO4882Parser::recoverWatchDog()
{
    QMutexLocker lock(&m_watchdogMutex);
    m_watchdogFired = false;
    m_lastActivity = nowMs();
}

int ZO4882Parser::watchDogPeriod() const
{
    QMutexLocker lock(&m_watchdogMutex);
    return m_watchdogPeriod;
}

bool ZO4882Parser::watchDogFired() const
{
    QMutexLocker lock(&m_watchdogMutex);
    return m_watchdogFired;
}

void ZO4882Parser::setWatchdogHandler(std::function<void()> handler)
{
    QMutexLocker lock(&m_watchdogMutex);
    m_watchdogHandler = std::move(handler);
}

void ZO4882Parser::OnParsed(
    const ZO_PARSER_RESULT *result, const unsigned &denyFlags, ZOCmdArg **answer)
{
    Q_UNUSED(denyFlags);
    ZOCommandRunner::run(result, answer);
}

short ZO4882Parser::OnSettingsConflict(unsigned deniedBits) const
{
    Q_UNUSED(deniedBits);
    return -221;
}

void ZO4882Parser::OnMsgPost(const SCPIMSG_T *queued)
{
    if (!queued)
        return;
    const ScpiMessagePtr message(const_cast<SCPIMSG_T *>(queued));
    const int pending = m_pending.fetch_sub(1) - 1;
    refreshWatchDog();
    m_delegate.setAbort(false);
    // A closed session's messages go as a device clear would drop them.
    const bool orphaned = message->flow && message->flow->isClosed();
    const bool cleared = m_stopping || message->sequence <= m_clearedThrough.load();
    if (cleared || orphaned) {
        if (cleared && m_discard.load() > 0)
            m_discard.fetch_sub(1);
        if (pending <= 0)
            m_discard.store(0);
        return;
    }

    {
        QMutexLocker lock(&m_denyMutex);
        m_denyView = m_denyFlags;
    }
    const int length =
        m_delegate.parse(message->intf, message->text(), message->length, m_denyView);
    if (length > 0)
        answer(*message, m_delegate.response(), length);
    // Telnet clients get the prompt after every message, answered or not.
    if (message->intf == INTF_TELNET) {
        const zostd::IPreferenceInfo *preferences = zostd::getInterface_IPreferenceInfo();
        const QByteArray prompt =
            "\r" + (preferences ? preferences->getTelnetPrompt().toUtf8() : QByteArray());
        answer(*message, prompt.constData(), prompt.size());
    }
}

void ZO4882Parser::answer(const SCPIMSG_T &message, const char *text, int length)
{
    if (!message.responder || !message.responder->isValid())
        return;
    SCPIRESP_T *response = createScpiResponse(text, length, message.tag, message.device);
    if (!response) {
        queueErrorFrom(message.intf, -310, QString::fromLatin1(OutOfMemory));
        return;
    }
    message.responder->postResponse(response);
}

void ZO4882Parser::OnTimeout()
{
    bool trip = false;
    {
        QMutexLocker lock(&m_watchdogMutex);
        if (!m_watchdogFired && m_watchdogPeriod > 0
            && nowMs() - m_lastActivity > m_watchdogPeriod) {
            m_watchdogFired = true;
            trip = true;
        }
    }
    if (trip)
        emit wdogTimeout();
}

void ZO4882Parser::OnWdogTimeout()
{
    std::function<void()> handler;
    {
        QMutexLocker lock(&m_watchdogMutex);
        handler = m_watchdogHandler;
    }
    if (handler)
        handler();
}

std::int64_t ZO4882Parser::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace zo4882
