#pragma once

#include "remote/ZOOverrunDiscard.h"

#include <QObject>
#include <QSerialPort>

#include <atomic>
#include <memory>

namespace zo4882 {

class ScpiResponder_Rs232;
class ZO4882Parser;
class ZOFlowControl;
struct SCPIRESP_T;

// SCPI over the instrument's serial port. Received bytes gather in a 4096-byte buffer; each
// complete program message (newline terminator, block data kept whole) is posted to the parser
// with interface type 9 and answered through ScpiResponder_Rs232. Input that fills the buffer
// without a complete message is dropped with -363. A host that sends faster than the parser
// runs, or holds the line's output back (hardware flow control, never reading), is held back
// in turn: the service stops reading the port (ZOFlowControl) and the line pushes back.
//
// Meta-command mode (the preference getZostdSafuEnabled(), checked at every read) stands in
// for the bus functions a serial line lacks. A code byte and one argument byte:
//
//   0x01 x        none
//   0x02 x        remote enable on (x != 0) / off (x == 0)
//   0x03 x        go to remote (x != 0) / go to local (x == 0)
//   0x04 x        local lockout
//   0x05 x        device clear, then the status record with message available (0x10) cleared
//
// Status record: 0x01 and the status byte; sent before each answer, after messages are posted
// and whenever the status byte changes (statusByteChanged). Inside definite-length block data
// (#<d><length><bytes>) the code bytes are data. Bytes keep their order: messages completed
// before a meta command are posted before it acts, and bytes after its argument are handled
// in the same pass.
//
// Lives in the thread that creates it (the GUI thread); the port is opened through
// platform::SerialLine, so a board root points it at a pseudo-terminal.
class ZORs232Service : public QObject
{
    Q_OBJECT

public:
    static constexpr int Capacity = 4096;
    // The one instance (set by the constructor, cleared by the destructor), or null.
    static std::atomic<ZORs232Service *> s_pSelf;

    // portName is the device's name under /dev ("ttyO1"). A port that cannot be opened queues
    // -310 with the reason; the service then carries no traffic. parser: where messages go
    // (ZO4882Parser::s_pSelf when null).
    ZORs232Service(const QString &portName,
        int bitRate,
        QSerialPort::DataBits dataBits,
        QSerialPort::StopBits stopBits,
        QSerialPort::FlowControl flowControl,
        ZO4882Parser *parser = nullptr);
    ~ZORs232Service() override;

    bool isOpen() const;
    // Line settings: true without touching the port when it has the setting already, else the
    // port's result of applying it.
    bool setBitrate(int bitRate);
    bool setDataBits(QSerialPort::DataBits dataBits);
    bool setStopBits(QSerialPort::StopBits stopBits);
    bool setFlowControl(QSerialPort::FlowControl flowControl);

    // The responder: writes the answer (after its status record in meta-command mode).
    void writeAnswer(const SCPIRESP_T &answer);

signals:
    // Any thread (the status byte's sink); delivered to OnSafuStbChangeNotify in this thread.
    void safuStbChangeNotified(unsigned char stb);

public slots:
    void onReceive();
    void onError(QSerialPort::SerialPortError error);
    // Writes the status record (0x01, stb) in meta-command mode.
    void OnSafuStbChangeNotify(unsigned char stb);

protected:
    // Posts every complete program message in data[0, count) and returns the bytes used up
    // (a full buffer without a message is dropped with -363; leading control bytes go too).
    virtual int OnDataReceive(unsigned char *data, int count);

private:
    // Block-tracking states of the meta-command scanner.
    enum BlockState { Text, Hash, LengthDigits, BlockData };

    bool metaMode() const;
    // Appends one received byte to the buffer, handing the buffer on when it is full.
    void buffer(unsigned char byte);
    // Hands the buffered bytes to OnDataReceive and keeps the unused rest.
    void process();
    void scanMeta(const QByteArray &bytes);
    void trackBlock(unsigned char byte);
    void runMeta(unsigned char code, unsigned char argument);
    void writeRecord(unsigned char stb);

    // Whether more input may be taken now (text mode; meta-command mode reads everything).
    bool mayReceive() const;

    ZO4882Parser *const m_parser;
    ScpiResponder_Rs232 *const m_responder; // child
    QSerialPort *const m_port; // child
    const std::shared_ptr<ZOFlowControl> m_flow; // shared with the messages posted
    const int m_capacity = Capacity;
    std::unique_ptr<unsigned char[]> m_buffer;
    int m_fill = 0;
    ZOOverrunDiscard m_discard; // the rest of a message refused for overrun
    // Meta-command state, kept across reads.
    int m_pendingMeta = 0; // the code waiting for its argument byte, 0 for none
    BlockState m_block = Text;
    int m_lengthDigits = 0; // length digits still expected
    long m_blockLength = 0; // block bytes still expected
};

} // namespace zo4882
