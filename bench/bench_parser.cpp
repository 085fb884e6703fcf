// Messages parsed per second for a mix of short commands and queries, beside the time of
// merely splitting the same bytes; the ratio of the two is what counts, not the absolute rates.
//   bench_parser [repetitions]

#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOMessageSplitter.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/ParserTestDictionary.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

namespace {

const char *const s_mix[] = {
    "*IDN?",
    "SOUR:CURR 1.5",
    "CURR?",
    "VOLT 12.5MV;VOLT?",
    "SOUR:CURR:LEV 2;:SOUR:VOLT 3",
    "MEAS:VOLT?;CURR?",
    "OUTP ON,(@1:3)",
    "*RST",
    "STAT:ISUM2 1",
    "CURR MAX;CURR? MIN",
};

// One receive buffer of many newline-terminated messages, cut 16 at a time like a transport.
QByteArray makeStream(int messages)
{
    QByteArray stream;
    for (int i = 0; i < messages; ++i) {
        stream += s_mix[i % (sizeof s_mix / sizeof s_mix[0])];
        stream += '\n';
    }
    return stream;
}

template <typename Each> qint64 run(const QByteArray &stream, int repetitions, Each each)
{
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < repetitions; ++r) {
        QByteArray buffer = stream;
        char *at = buffer.data();
        int left = buffer.size();
        for (;;) {
            zo4882::PARSER_SPLITTED_PACK pack;
            const int n = zo4882::ZOMessageSplitter::split(at, left, false, &pack);
            if (n == 0)
                break;
            for (int i = 0; i < n; ++i)
                each(pack.messages[i], pack.lengths[i]);
            at = pack.rest;
            left = pack.restLength;
        }
        parsertest::log().clear();
    }
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char **argv)
{
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 200;
    const int messages = 1000;
    const QByteArray stream = makeStream(messages);

    parsertest::Sink sink;
    auto *parser = new zo4882::ZO4882ParserDelegate(&sink);
    parser->registerDictionary(parsertest::dictionary(), zo4882::NODE_SOURCE);

    volatile int sink_bytes = 0;
    const qint64 splitNs = run(stream, repetitions, [&](const char *, int length) {
        sink_bytes = sink_bytes + length;
    });
    const qint64 parseNs = run(stream, repetitions, [&](const char *text, int length) {
        sink_bytes = sink_bytes + parser->parse(zo4882::INTF_SOCKET, text, length, 0);
    });
    const int errors = zo4882::s_systErrCue.count();

    const double total = double(messages) * repetitions;
    std::printf(
        "messages: %.0f (%d bytes each pass), errors queued: %d\n", total, stream.size(), errors);
    std::printf("split only:      %10.0f messages/s  (%.1f ns/message)\n",
        total / (splitNs * 1e-9),
        splitNs / total);
    std::printf("split and parse: %10.0f messages/s  (%.1f ns/message)\n",
        total / (parseNs * 1e-9),
        parseNs / total);
    std::printf("parse/split time ratio: %.1f\n", double(parseNs) / double(splitNs));
    delete parser;
    return errors == 0 ? 0 : 1;
}
