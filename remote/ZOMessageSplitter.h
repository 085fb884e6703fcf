#pragma once

namespace zo4882 {

// Program messages cut out of a receive buffer by ZOMessageSplitter::split.
struct PARSER_SPLITTED_PACK
{
    static constexpr int MAX_MESSAGES = 16;
    char *messages[MAX_MESSAGES]; // in place; all but an end-indicated last one NUL-terminated
    int lengths[MAX_MESSAGES];
    char *rest; // unterminated remainder, to be kept for the next read
    int restLength;
};

// Cuts received bytes into program messages at the terminator '\n'. Definite-length block
// data (#<d><length><bytes>) is stepped over whole, so a newline inside it does not end a
// message; a block reaching beyond the received bytes keeps its message in the remainder.
class ZOMessageSplitter
{
public:
    static constexpr char TERMINATOR = '\n';

    // Leading control characters of the buffer are skipped, each terminator is replaced by NUL,
    // empty messages are dropped and at most 16 messages are cut; what follows is the
    // remainder. With endIsMessage (the transport saw an end-of-message indication) a
    // non-empty remainder counts as one more message. maxMessages (1 to 16) lowers the number
    // cut. Returns the number of messages.
    static int split(char *buffer,
        int length,
        bool endIsMessage,
        PARSER_SPLITTED_PACK *out,
        int maxMessages = PARSER_SPLITTED_PACK::MAX_MESSAGES);
};

} // namespace zo4882
