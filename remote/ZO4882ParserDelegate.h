#pragma once

#include "remote/INTF_TYPE_ENUM.h"
#include "remote/ZOTokenizer.h"
#include "remote/ZO_PARSER_RESULT.h"

#include <atomic>

namespace zo4882 {

class IDictIndex;
class IParserEventSink;

// The root node a header may carry in front of rows that allow it.
enum DEFAULT_NODE_TYPES : int {
    NODE_NONE = 0,
    NODE_SOURCE = 1, // "SOUR:" or "SOURCE:"
    NODE_SENSE = 2, // "SENS:" or "SENSE:"
    NODE_ROUTE = 3, // "ROUT:" or "ROUTE:"
};

// Turns one program message into executed message units and one answer: splits the units,
// expands their headers with the header path, finds the dictionary row, checks and converts the
// parameters and hands each unit to the sink. Every failure is queued on s_systErrCue with the
// message's interface type. Runs in the parser thread only; setAbort() may be called from any.
class ZO4882ParserDelegate
{
public:
    static constexpr int WORK_SIZE = 4096; // one expanded message unit
    static constexpr int RESPONSE_SIZE = 0xC000; // at most RESPONSE_SIZE - 1 bytes are used
    static constexpr int MAX_UNITS = 36;
    static constexpr int MAX_NODES = 10;
    static constexpr int MAX_PATH = 9;
    static constexpr int MAX_PARAMS = 12;
    static constexpr int MAX_NODE_LENGTH = 12;
    static constexpr unsigned CHANNEL_MASK = 0xEu; // channels 1, 2 and 3

    explicit ZO4882ParserDelegate(IParserEventSink *sink);
    ZO4882ParserDelegate(const ZO4882ParserDelegate &) = delete;
    ZO4882ParserDelegate &operator=(const ZO4882ParserDelegate &) = delete;

    void registerDictionary(const IDictIndex *dict, DEFAULT_NODE_TYPES root);

    // Executes one program message and returns the length of the answer now in response()
    // (0 when there is none). A complete answer ends with '\n'; an answer that would not fit
    // is dropped whole with -400, never cut.
    int parse(INTF_TYPE_ENUM intf, const char *text, int length, const unsigned &denyFlags);

    const char *response() const { return m_response; }
    int responseLength() const { return m_responseLength; }

    // Raised by a device clear: the running message stops at its next unit boundary and its
    // answer is dropped.
    void setAbort(bool abort) { m_abort.store(abort); }
    bool isAborted() const { return m_abort.load(); }

private:
    enum UnitOutcome { Continue, EndMessage };

    UnitOutcome runUnit(const char *unit, int length, const unsigned &denyFlags);
    bool expand(const char *unit, int length);
    short parseChannelLists(int first, unsigned *channels) const;
    void appendAnswer(ZOCmdArg *answer, const char *header, const char *params);
    void queue(short code, const char *header, const char *params) const;
    void queueRaw(short code, const char *unit, int headerLength, int length) const;

    IParserEventSink *const m_sink;
    const IDictIndex *m_dict = nullptr;
    DEFAULT_NODE_TYPES m_root = NODE_NONE;
    std::atomic<bool> m_abort { false };
    INTF_TYPE_ENUM m_intf = INTF_PANEL;

    ZOTokenizer<MAX_UNITS, 0> m_units; // views into the message
    ZOTokenizer<MAX_NODES, 16> m_nodes;
    ZOTokenizer<MAX_PATH, 16> m_path;
    ZOTokenizer<MAX_PARAMS, 0> m_params; // views into m_work

    ZO_PARSER_RESULT m_result;
    char m_work[WORK_SIZE];
    int m_workLength = 0;
    bool m_responseDropped = false; // an answer did not fit: nothing more for this message
    int m_responseLength = 0;
    char m_response[RESPONSE_SIZE];
};

} // namespace zo4882
