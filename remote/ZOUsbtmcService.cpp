#include "remote/ZOUsbtmcService.h"

#include "remote/CTL488MSG_T.h"
#include "remote/QueueError.h"
#include "remote/ScpiResponder_Usbtmc.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOScpiMessage.h"
#include "remote/ZOUsbtmcBulk.h"
#include "remote/ZOUsbtmcEp0.h"

#include "platform/BoardPath.h"
#include "platform/ChildProcess.h"
#include "platform/UsbGadget.h"

#include <QDirIterator>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace zo4882 {

namespace {

const QString Device = QStringLiteral("/dev/g_usbtmc");
const QString Insmod = QStringLiteral("/sbin/insmod");

// Class requests (bRequest) of USBTMC and its USB488 subclass.
enum ClassRequest : unsigned char {
    INITIATE_ABORT_BULK_OUT = 1,
    CHECK_ABORT_BULK_OUT_STATUS = 2,
    INITIATE_ABORT_BULK_IN = 3,
    CHECK_ABORT_BULK_IN_STATUS = 4,
    INITIATE_CLEAR = 5,
    CHECK_CLEAR_STATUS = 6,
    GET_CAPABILITIES = 7,
    INDICATOR_PULSE = 64,
    READ_STATUS_BYTE = 128,
    REN_CONTROL = 160,
    GO_TO_LOCAL = 161,
    LOCAL_LOCKOUT = 162,
};

constexpr char Success = 1;

// GET_CAPABILITIES: USBTMC 1.00 with TermChar; USB488 1.00, a USB488.2 interface with
// REN_CONTROL/GO_TO_LOCAL/LOCAL_LOCKOUT and TRIGGER, SCPI, SR1, RL1 and DT1.
const unsigned char Capabilities[24] = {
    1,
    0,
    0x00,
    0x01,
    0,
    0x01,
    0,
    0,
    0,
    0,
    0,
    0, //
    0x00,
    0x01,
    0x07,
    0x0F,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0 //
};

// The board path of every "*.ko" below /lib/modules, in a stable order.
QStringList moduleFiles()
{
    const QString root = platform::BoardPath::root();
    QStringList found;
    QDirIterator it(platform::BoardPath::map(QStringLiteral("/lib/modules")),
        { QStringLiteral("*.ko") },
        QDir::Files,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        found << (root.isEmpty() ? path : path.mid(root.size()));
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The first module file of that name, or an empty path (whose load then fails on its own).
QString filterKoFile(const QStringList &files, const QString &name)
{
    for (const QString &file : files) {
        if (file.endsWith(QLatin1Char('/') + name))
            return file;
    }
    return QString();
}

} // namespace

// Runs in the bulk thread under g_tmc_mtx.
class ZOUsbtmcService::TransferSink : public ZOUsbtmcTransfer::Sink
{
public:
    explicit TransferSink(ZOUsbtmcService *service)
        : m_service(service)
    { }

    int postInput(char *data, int len, bool eom, unsigned tag) override
    {
        ZO4882Parser *parser = m_service->parser();
        if (!parser)
            return len;
        return parser->postReceived(
            data, len, eom, INTF_USBTMC, tag, m_service, m_service->m_responder);
    }
    void postTrigger(unsigned tag) override
    {
        char text[] = "*TRG";
        m_service->ep1_CmdReceive(text, 4, tag);
    }
    void answerDropped() override
    {
        queueErrorFrom(INTF_USBTMC, -410, QString());
        m_service->reportStatus(m_service->statusWithAnswer(false));
    }
    void queueError(int code, const QString &detail) override
    {
        queueErrorFrom(INTF_USBTMC, code, detail);
    }

private:
    ZOUsbtmcService *const m_service;
};

std::atomic<ZOUsbtmcService *> ZOUsbtmcService::s_pSelf { nullptr };

ZOUsbtmcService::ZOUsbtmcService(
    const UsbtmcParams &params, const Timing &timing, ZO4882Parser *parser)
    : m_params(params)
    , m_timing(timing)
    , m_parser(parser)
    , m_sink(new TransferSink(this))
    , m_transfer(m_sink.get())
{
    s_pSelf = this;
}

ZOUsbtmcService::~ZOUsbtmcService()
{
    ZOUsbtmcService *self = this;
    s_pSelf.compare_exchange_strong(self, nullptr);
    if (m_responder)
        m_responder->retire();
    m_open = false;
    if (m_gadget)
        m_gadget->close();
    for (QThread *worker :
        { static_cast<QThread *>(m_ep0.get()), static_cast<QThread *>(m_bulk.get()) }) {
        if (worker) {
            worker->requestInterruption();
            worker->wait();
        }
    }
}

ZO4882Parser *ZOUsbtmcService::parser() const
{
    return m_parser ? m_parser : ZO4882Parser::s_pSelf.load();
}

void ZOUsbtmcService::onThreadStarted()
{
    loadModules();
    connect(this, &ZOUsbtmcService::setRespRequqest, this, &ZOUsbtmcService::onSetRespRequest);
    connect(this, &ZOUsbtmcService::resetRespRequqest, this, &ZOUsbtmcService::onResetRespRequest);
    connect(this, &ZOUsbtmcService::startedDcas, this, &ZOUsbtmcService::onStartDcas);
    connect(this, &ZOUsbtmcService::endedDcas, this, &ZOUsbtmcService::onEndDcas);
    m_clearHold = new QTimer(this);
    m_clearRelease = new QTimer(this);
    for (QTimer *timer : { m_clearHold, m_clearRelease }) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(m_clearHold, &QTimer::timeout, this, [this] {
        if (m_open)
            m_gadget->setClearState(ClearDone);
        emit endedDcas();
    });
    connect(m_clearRelease, &QTimer::timeout, this, [this] {
        if (m_open)
            m_gadget->setClearState(ClearBusy);
    });
    // The responder exists before the endpoints run: the first message may come at once.
    m_responder = new ScpiResponder_Usbtmc(this);
    openDevice();
}

void ZOUsbtmcService::loadModules()
{
    const QStringList files = moduleFiles();
    const QString configfs = filterKoFile(files, QStringLiteral("configfs.ko"));
    const QString libcomposite = filterKoFile(files, QStringLiteral("libcomposite.ko"));
    const QString gadget = filterKoFile(files, QStringLiteral("g_usbtmc.ko"));
    const QStringList gadgetArguments { gadget,
        QStringLiteral("idvendor=%1").arg(m_params.vendorId),
        QStringLiteral("idproduct=%1").arg(m_params.productId),
        QStringLiteral("manufacturer=%1").arg(m_params.manufacturer),
        QStringLiteral("product=%1").arg(m_params.product),
        QStringLiteral("serialNum=%1").arg(m_params.serialNumber) };

    // The loads run on their own; only the start of the gadget's own is retried.
    platform::ChildProcess::startDetached(Insmod, { configfs });
    QThread::msleep(unsigned(m_timing.moduleGapMs));
    platform::ChildProcess::startDetached(Insmod, { libcomposite });
    QThread::msleep(unsigned(m_timing.moduleGapMs));
    for (int attempt = 0; attempt < m_timing.moduleTries; ++attempt) {
        if (attempt > 0)
            QThread::msleep(unsigned(m_timing.moduleRetryMs));
        if (platform::ChildProcess::startDetached(Insmod, gadgetArguments) == 0)
            break;
    }
}

void ZOUsbtmcService::openDevice()
{
    // Without the gadget's device USBTMC stays silent, as a board without the port is.
    if (platform::UsbGadget::open(Device, &m_gadget) != 0) {
        m_gadget.reset();
        return;
    }
    m_gadget->setClearState(ClearBusy);
    m_bulk = std::make_unique<ZOUsbtmcBulk>(this, m_gadget.get());
    m_ep0 =
        std::make_unique<ZOUsbtmcEp0>(this, m_gadget.get(), m_bulk.get(), m_timing.bulkWakePauseMs);
    m_open = true;
    m_bulk->start(QThread::InheritPriority);
    m_ep0->start(QThread::InheritPriority);
}

void ZOUsbtmcService::closeDevice()
{
    if (QThread::currentThread() == thread() || !thread()->isRunning())
        closeInThread();
    else
        QMetaObject::invokeMethod(
            this,
            [this] {
                closeInThread();
            },
            Qt::BlockingQueuedConnection);
}

void ZOUsbtmcService::closeInThread()
{
    m_open = false;
    if (m_clearHold)
        m_clearHold->stop();
    if (m_clearRelease)
        m_clearRelease->stop();
    if (m_gadget)
        m_gadget->close();
    for (QThread *worker :
        { static_cast<QThread *>(m_ep0.get()), static_cast<QThread *>(m_bulk.get()) }) {
        if (worker) {
            worker->requestInterruption();
            worker->wait();
        }
    }
}

void ZOUsbtmcService::updateSTB(unsigned char stb)
{
    if (ZOUsbtmcService *self = s_pSelf.load())
        self->reportStatus(stb);
}

void ZOUsbtmcService::broadcastSRQ(unsigned char stb)
{
    updateSTB(stb);
}

void ZOUsbtmcService::reportStatus(unsigned char stb)
{
    if (m_open)
        m_gadget->setStatusByte(stb);
}

unsigned char ZOUsbtmcService::statusWithAnswer(bool held) const
{
    unsigned char stb = s_stb.condition();
    if (!held)
        return stb & ~ZO_STB_REGISTER::MessageAvailable;
    stb |= ZO_STB_REGISTER::MessageAvailable;
    if (s_stb.enabler() & ZO_STB_REGISTER::MessageAvailable)
        stb |= ZO_STB_REGISTER::RequestService;
    return stb;
}

QByteArray ZOUsbtmcService::classAnswer(
    const platform::UsbSetupPacket &setup, unsigned lastBtagOut, unsigned lastBtagIn)
{
    switch (setup.bRequest) {
    case INITIATE_ABORT_BULK_OUT:
        return QByteArray(1, Success) + char(lastBtagOut);
    case INITIATE_ABORT_BULK_IN:
        return QByteArray(1, Success) + char(lastBtagIn);
    case CHECK_ABORT_BULK_OUT_STATUS:
    case CHECK_ABORT_BULK_IN_STATUS:
        return QByteArray(1, Success) + QByteArray(7, '\0');
    case INITIATE_CLEAR:
    case REN_CONTROL:
    case GO_TO_LOCAL:
    case LOCAL_LOCKOUT:
        return QByteArray(1, Success);
    case CHECK_CLEAR_STATUS:
        return QByteArray(1, Success) + '\0';
    case GET_CAPABILITIES:
        return QByteArray(reinterpret_cast<const char *>(Capabilities), sizeof Capabilities);
    case READ_STATUS_BYTE:
        return QByteArray(1, Success) + char(setup.wValue & 0xff) + '\0';
    default:
        return QByteArray();
    }
}

void ZOUsbtmcService::ep0_ClassRequestMain(const platform::UsbSetupPacket &setup)
{
    unsigned lastOut = 0;
    unsigned lastIn = 0;
    {
        QMutexLocker lock(&g_tmc_mtx);
        lastOut = m_transfer.lastBtagOut();
        lastIn = m_transfer.lastBtagIn();
    }
    const QByteArray answer = classAnswer(setup, lastOut, lastIn);
    auto post = [](CTL488_MSG_TYPES type) {
        ZO4882ParserAsync::postControl(type, 0, INTF_USBTMC, nullptr);
    };
    switch (setup.bRequest) {
    case INITIATE_CLEAR:
        deviceClear();
        break;
    case REN_CONTROL:
        post(setup.wValue == 1 ? CTL488_REN_ON : CTL488_REN_OFF);
        break;
    case GO_TO_LOCAL:
        post(CTL488_GO_LOCAL);
        break;
    case LOCAL_LOCKOUT:
        post(CTL488_LOCAL_LOCKOUT);
        break;
    default:
        break;
    }
    // Answered only once the request has taken effect: a host that sends its next message as soon
    // as the clear is acknowledged must find that message behind the clear, not dropped by it.
    if (!answer.isEmpty())
        m_gadget->answerSetup(answer.constData(), answer.size());
}

void ZOUsbtmcService::deviceClear()
{
    m_gadget->setClearState(ClearBusy);
    emit startedDcas();
    bool held = false;
    {
        QMutexLocker lock(&g_tmc_mtx);
        held = m_transfer.clear();
    }
    if (held)
        queueErrorFrom(INTF_USBTMC, -410, QString());
    ZO4882ParserAsync::postControl(CTL488_DEVICE_CLEAR, 0, INTF_USBTMC, nullptr);
    emit resetRespRequqest(3);
}

void ZOUsbtmcService::ep1_BulkOut(const char *data, int count)
{
    ZOUsbtmcTransfer::Outcome outcome;
    {
        QMutexLocker lock(&g_tmc_mtx);
        outcome = m_transfer.bulkOut(data, count);
    }
    if (outcome.requestIn)
        emit setRespRequqest(1);
}

void ZOUsbtmcService::ep1_CmdReceive(char *text, int length, unsigned tag)
{
    ZO4882Parser *target = parser();
    if (!target)
        return;
    SCPIMSG_T *message = createScpiMessage(text, length, tag, INTF_USBTMC, this, m_responder);
    if (!message) {
        queueErrorFrom(INTF_USBTMC, -310, QStringLiteral("out of memory"));
        return;
    }
    target->post(message);
}

void ZOUsbtmcService::respond(const SCPIRESP_T &answer)
{
    bool kept = false;
    {
        QMutexLocker lock(&g_tmc_mtx);
        kept = m_transfer.appendAnswer(answer.text(), answer.length);
    }
    if (!kept) {
        queueErrorFrom(INTF_USBTMC,
            -310,
            QStringLiteral("USBTMC answer of %1 bytes does not fit the %2-byte output buffer")
                .arg(answer.length)
                .arg(ZOUsbtmcTransfer::AnswerCapacity));
        return;
    }
    reportStatus(statusWithAnswer(true));
    emit setRespRequqest(2);
}

void ZOUsbtmcService::onSetRespRequest(unsigned flags)
{
    m_requestBits |= flags & 1u;
    if (!(m_requestBits & 1u))
        return;
    QByteArray transfer;
    bool more = false;
    {
        QMutexLocker lock(&g_tmc_mtx);
        transfer = m_transfer.takeBulkIn(&more);
        if (!transfer.isEmpty() && m_open)
            m_gadget->write(transfer.constData(), transfer.size());
    }
    if (transfer.isEmpty())
        return;
    m_requestBits &= ~1u;
    if (!more)
        reportStatus(statusWithAnswer(false));
}

void ZOUsbtmcService::onResetRespRequest(unsigned flags)
{
    m_requestBits &= ~flags;
}

void ZOUsbtmcService::onStartDcas()
{
    m_clearRelease->stop();
    m_clearHold->start(m_timing.clearHoldMs);
}

void ZOUsbtmcService::onEndDcas()
{
    m_clearRelease->start(m_timing.clearReleaseMs);
}

} // namespace zo4882
