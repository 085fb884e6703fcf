#include "remote/ZORs232Service.h"

#include "remote/IPreferenceInfo.h"
#include "remote/QueueError.h"
#include "remote/ScpiResponder_Rs232.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOFlowControl.h"
#include "remote/ZOInputLimit.h"
#include "remote/ZOScpiMessage.h"

#include "platform/BoardPath.h"
#include "platform/SerialLine.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <cstring>

namespace zo4882 {

namespace {

constexpr unsigned char RecordStart = 0x01;
constexpr unsigned char FirstMetaCode = 0x01;
constexpr unsigned char LastMetaCode = 0x05;

bool isDigit(unsigned char byte)
{
    return byte >= '0' && byte <= '9';
}

} // namespace

std::atomic<ZORs232Service *> ZORs232Service::s_pSelf { nullptr };

ZORs232Service::ZORs232Service(const QString &portName,
    int bitRate,
    QSerialPort::DataBits dataBits,
    QSerialPort::StopBits stopBits,
    QSerialPort::FlowControl flowControl,
    ZO4882Parser *parser)
    : m_parser(parser)
    , m_responder(new ScpiResponder_Rs232(this))
    , m_port(new QSerialPort(this))
    , m_flow(std::make_shared<ZOFlowControl>())
    , m_buffer(new unsigned char[Capacity])
{
    s_pSelf = this;
    // Input held back resumes as answers leave and as the parser works through the messages.
    m_flow->setWakeUp([this] {
        QMetaObject::invokeMethod(this, &ZORs232Service::onReceive, Qt::QueuedConnection);
    });
    // What the port itself holds unread stays bounded too: beyond it the line pushes back.
    m_port->setReadBufferSize(Capacity);
    connect(
        this, &ZORs232Service::safuStbChangeNotified, this, &ZORs232Service::OnSafuStbChangeNotify);

    // A lock left by a program that ended without releasing the port would keep it closed.
    QFile::remove(platform::BoardPath::map(QStringLiteral("/var/lock/LCK..") + portName));
    const QString device = QStringLiteral("/dev/") + portName;
    const int rc = platform::SerialLine::open(m_port, device);
    const bool lineSet = rc == 0 && m_port->setBaudRate(bitRate) && m_port->setDataBits(dataBits)
        && m_port->setStopBits(stopBits) && m_port->setParity(QSerialPort::NoParity)
        && m_port->setFlowControl(flowControl);
    if (rc != 0 || !lineSet) {
        const QString reason = rc == -ENOENT ? QStringLiteral("no such device")
            : rc == -ENOTTY                  ? QStringLiteral("not a serial line here")
                                             : m_port->errorString();
        queueErrorFrom(INTF_RS232, -310, QStringLiteral("RS-232 %1: %2").arg(device, reason));
        m_port->close();
    }
    connect(m_port, &QSerialPort::readyRead, this, &ZORs232Service::onReceive);
    connect(m_port, &QSerialPort::bytesWritten, this, &ZORs232Service::onReceive);
    connect(m_port, &QSerialPort::errorOccurred, this, &ZORs232Service::onError);
}

ZORs232Service::~ZORs232Service()
{
    ZORs232Service *self = this;
    s_pSelf.compare_exchange_strong(self, nullptr);
    m_flow->close();
    m_responder->retire();
    m_port->close();
}

bool ZORs232Service::isOpen() const
{
    return m_port->isOpen();
}

bool ZORs232Service::setBitrate(int bitRate)
{
    return m_port->baudRate() == bitRate || m_port->setBaudRate(bitRate);
}

bool ZORs232Service::setDataBits(QSerialPort::DataBits dataBits)
{
    return m_port->dataBits() == dataBits || m_port->setDataBits(dataBits);
}

bool ZORs232Service::setStopBits(QSerialPort::StopBits stopBits)
{
    return m_port->stopBits() == stopBits || m_port->setStopBits(stopBits);
}

bool ZORs232Service::setFlowControl(QSerialPort::FlowControl flowControl)
{
    return m_port->flowControl() == flowControl || m_port->setFlowControl(flowControl);
}

bool ZORs232Service::metaMode() const
{
    const zostd::IPreferenceInfo *preferences = zostd::getInterface_IPreferenceInfo();
    return preferences && preferences->getZostdSafuEnabled();
}

void ZORs232Service::onReceive()
{
    if (metaMode()) {
        scanMeta(m_port->readAll());
        process();
        return;
    }
    // Complete messages held back by the flow control go first. The port signals only bytes
    // it fetches anew: read until it holds none, or until the session's bound is reached.
    while (mayReceive()) {
        process();
        if (!mayReceive() || m_port->bytesAvailable() <= 0 || m_fill == m_capacity)
            return;
        const qint64 got =
            m_port->read(reinterpret_cast<char *>(m_buffer.get()) + m_fill, m_capacity - m_fill);
        if (got <= 0)
            return;
        m_fill += int(got);
    }
}

bool ZORs232Service::mayReceive() const
{
    return m_port->isOpen() && m_flow->mayRead(m_port->bytesToWrite());
}

void ZORs232Service::onError(QSerialPort::SerialPortError error)
{
    Q_UNUSED(error);
}

void ZORs232Service::OnSafuStbChangeNotify(unsigned char stb)
{
    if (metaMode())
        writeRecord(stb);
}

void ZORs232Service::writeAnswer(const SCPIRESP_T &answer)
{
    if (answer.device != m_port || !m_port->isOpen())
        return;
    if (metaMode()) {
        unsigned char stb = s_stb.condition() | ZO_STB_REGISTER::MessageAvailable;
        if (s_stb.enabler() & ZO_STB_REGISTER::MessageAvailable)
            stb |= ZO_STB_REGISTER::RequestService;
        writeRecord(stb);
    }
    m_port->write(answer.text(), answer.length);
}

int ZORs232Service::OnDataReceive(unsigned char *data, int count)
{
    // The rest of a message refused for overrun never runs: its bytes go through its end.
    int skipped = 0;
    if (m_discard.active()) {
        skipped = m_discard.skip(reinterpret_cast<const char *>(data), count, false);
        if (m_discard.active())
            return skipped;
        data += skipped;
        count -= skipped;
    }
    ZO4882Parser *parser = m_parser ? m_parser : ZO4882Parser::s_pSelf.load();
    // Meta-command mode hands its buffer on whenever it fills: it posts without a bound.
    const int most = metaMode() ? INT_MAX : m_flow->room();
    int used = 0;
    int posted = 0;
    if (parser && most > 0) {
        used = parser->postReceived(reinterpret_cast<char *>(data),
            count,
            false,
            INTF_RS232,
            0,
            m_port,
            m_responder,
            most,
            &posted,
            m_flow);
    }
    // Something other than line ends was used: messages went to the parser.
    if (metaMode() && std::any_of(data, data + used, [](unsigned char c) {
            return c >= 0x20;
        })) {
        writeRecord(s_stb.condition() & ~ZO_STB_REGISTER::MessageAvailable);
    }
    // A full buffer is an overrun only when no complete message waits in it.
    if (posted < most && ZOInputLimit::overrun(INTF_RS232, count, used, m_capacity)) {
        m_discard.begin(reinterpret_cast<const char *>(data) + used, count - used);
        return skipped + count;
    }
    return skipped + ZOInputLimit::skipControls(data, used, count);
}

void ZORs232Service::buffer(unsigned char byte)
{
    if (m_fill == m_capacity)
        process();
    m_buffer[m_fill++] = byte;
}

void ZORs232Service::process()
{
    if (m_fill == 0)
        return;
    const int used = std::clamp(OnDataReceive(m_buffer.get(), m_fill), 0, m_fill);
    std::memmove(m_buffer.get(), m_buffer.get() + used, size_t(m_fill - used));
    m_fill -= used;
}

void ZORs232Service::scanMeta(const QByteArray &bytes)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (m_pendingMeta != 0) {
            const unsigned char code = static_cast<unsigned char>(m_pendingMeta);
            m_pendingMeta = 0;
            runMeta(code, byte);
        } else if (m_block == Text && byte >= FirstMetaCode && byte <= LastMetaCode) {
            // What came before the command is handled before it acts.
            process();
            m_pendingMeta = byte;
        } else {
            buffer(byte);
            trackBlock(byte);
        }
    }
}

void ZORs232Service::trackBlock(unsigned char byte)
{
    switch (m_block) {
    case Text:
        if (byte == '#')
            m_block = Hash;
        break;
    case Hash:
        // "#0" starts indefinite-length data, which runs to the terminator: text rules hold.
        m_lengthDigits = isDigit(byte) ? byte - '0' : 0;
        m_blockLength = 0;
        m_block = m_lengthDigits > 0 ? LengthDigits : Text;
        break;
    case LengthDigits:
        if (!isDigit(byte)) {
            m_block = Text;
            break;
        }
        m_blockLength = m_blockLength * 10 + (byte - '0');
        if (--m_lengthDigits == 0)
            m_block = m_blockLength > 0 ? BlockData : Text;
        break;
    case BlockData:
        if (--m_blockLength == 0)
            m_block = Text;
        break;
    }
}

void ZORs232Service::runMeta(unsigned char code, unsigned char argument)
{
    auto post = [](CTL488_MSG_TYPES type) {
        ZO4882ParserAsync::postControl(type, 0, INTF_RS232, nullptr);
    };
    switch (code) {
    case 0x02:
        post(argument ? CTL488_REN_ON : CTL488_REN_OFF);
        break;
    case 0x03:
        post(argument ? CTL488_GO_REMOTE : CTL488_GO_LOCAL);
        break;
    case 0x04:
        post(CTL488_LOCAL_LOCKOUT);
        break;
    case 0x05:
        // A device clear empties the input buffer as well: a partial message is dropped.
        m_fill = 0;
        m_discard.reset();
        m_block = Text;
        post(CTL488_DEVICE_CLEAR);
        writeRecord(s_stb.condition() & ~ZO_STB_REGISTER::MessageAvailable);
        break;
    default:
        break;
    }
}

void ZORs232Service::writeRecord(unsigned char stb)
{
    if (!m_port->isOpen())
        return;
    const char record[2] = { char(RecordStart), char(stb) };
    m_port->write(record, 2);
}

} // namespace zo4882
