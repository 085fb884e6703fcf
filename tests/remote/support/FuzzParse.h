#pragma once

#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOMessageSplitter.h"

#include <QByteArray>

// The parser fuzz targets' common step: the input cut into messages as a transport cuts them
// (with an end indication after the last byte), each parsed; an answer that overflows the
// response buffer or does not end with the terminator stops the fuzzer.
inline void parseEveryMessage(
    zo4882::ZO4882ParserDelegate &parser, const char *data, int size, unsigned deny)
{
    // The splitter writes into its buffer, as into a transport's receive buffer.
    QByteArray buffer(data, size);
    zo4882::PARSER_SPLITTED_PACK pack;
    const int n = zo4882::ZOMessageSplitter::split(buffer.data(), buffer.size(), true, &pack);
    for (int i = 0; i < n; ++i) {
        parser.setAbort(false);
        const int answer =
            parser.parse(zo4882::INTF_SOCKET, pack.messages[i], pack.lengths[i], deny);
        if (answer < 0 || answer >= zo4882::ZO4882ParserDelegate::RESPONSE_SIZE)
            __builtin_trap();
        if (answer > 0 && parser.response()[answer - 1] != '\n')
            __builtin_trap();
    }
}
