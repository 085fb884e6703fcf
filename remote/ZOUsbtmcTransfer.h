#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace zo4882 {

// The USBTMC transfer state of the device: the Bulk-OUT decoder with its input buffer and the
// answer buffer that Bulk-IN transfers are cut from. Not thread-safe: the service guards it
// with g_tmc_mtx. Wire layout (little-endian):
//
//   Bulk-OUT header  0 MsgID  1 bTag  2 ~bTag  3 0  4-7 TransferSize  8 bmTransferAttributes
//                    (bit 0 EOM of DEV_DEP_MSG_OUT, bit 1 TermChar of REQUEST_DEV_DEP_MSG_IN)
//                    9 TermChar  10-11 0; data follow, filled to a multiple of 4 bytes
//   Bulk-IN header   0 MsgID 2  1 bTag  2 ~bTag  3 0  4-7 TransferSize  8 bit 0 EOM  9-11 0
//
// MsgIDs taken: 1 DEV_DEP_MSG_OUT, 2 REQUEST_DEV_DEP_MSG_IN, 128 TRIGGER; others are ignored.
class ZOUsbtmcTransfer
{
public:
    static constexpr int HeaderSize = 12;
    static constexpr int InputCapacity = 4096; // one program message
    static constexpr int AnswerCapacity = 49152; // the parser's largest answer
    static constexpr int ReadSize = 8192; // one read of the bulk endpoint

    enum MsgId : unsigned char {
        DEV_DEP_MSG_OUT = 1,
        REQUEST_DEV_DEP_MSG_IN = 2,
        TRIGGER = 128,
    };

    // Where decoded traffic goes; called while the caller's lock is held, so every call only
    // posts or records.
    class Sink
    {
    public:
        virtual ~Sink() = default;
        // Posts the complete program messages at the front of data (end-is-message = EOM) with
        // the message's bTag; returns the bytes used.
        virtual int postInput(char *data, int len, bool eom, unsigned tag) = 0;
        virtual void postTrigger(unsigned tag) = 0;
        // A held answer was dropped by new input, a trigger or a clear (-410 is queued by it).
        virtual void answerDropped() = 0;
        virtual void queueError(int code, const QString &detail) = 0;
    };

    // What a Bulk-OUT read asks of the service after the lock is released.
    struct Outcome
    {
        bool requestIn = false; // a REQUEST_DEV_DEP_MSG_IN was taken
    };

    explicit ZOUsbtmcTransfer(Sink *sink);

    // One read of the bulk endpoint (count bytes, at most ReadSize).
    Outcome bulkOut(const char *data, int count);

    // Appends an answer; false when it does not fit the answer buffer (nothing is kept).
    bool appendAnswer(const char *text, int length);
    bool hasAnswer() const { return m_respLen > m_respSent; }
    // The next Bulk-IN transfer for the last REQUEST_DEV_DEP_MSG_IN: header, data and fill.
    // The bytes sent are consumed; *more tells whether answer bytes are left. Empty when no
    // answer is held.
    QByteArray takeBulkIn(bool *more);
    // Device clear: empties both buffers and forgets both bTags; true when an answer was held.
    bool clear();

    unsigned lastBtagOut() const { return m_lastBtagBO; }
    unsigned lastBtagIn() const { return m_lastBtagBI; }
    int heldInput() const { return m_inLen; }

private:
    bool startMessage(const unsigned char *header, int count);
    void takeData(const char *data, int len);
    void completeMessage();
    // A new message or trigger overtakes a held answer.
    void dropAnswer();
    void resetInput();

    Sink *const m_sink;

    // Bulk-OUT: input held, the current DEV_DEP_MSG_OUT's bytes still to come, its bTag and
    // EOM, and whether it overflowed the input buffer.
    std::unique_ptr<char[]> m_in;
    int m_inLen = 0;
    qint64 m_outstanding = 0;
    bool m_inMessage = false;
    unsigned m_tag = 0;
    bool m_eom = false;
    bool m_overflow = false;
    unsigned m_lastBtagBO = 0;

    // Bulk-IN: answer bytes held and sent, and the last request's bTag, size and TermChar.
    std::unique_ptr<char[]> m_resp;
    int m_respLen = 0;
    int m_respSent = 0;
    unsigned m_lastBtagBI = 0;
    quint32 m_readTransferSize = 0;
    bool m_termCharEnabled = false;
    char m_termChar = '\n';
};

} // namespace zo4882
