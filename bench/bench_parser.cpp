// Messages parsed per second for a mix of short commands and queries, beside the time of
// merely splitting the same bytes; the ratio of the two is what counts, not the absolute rates.
//   bench_parser [repetitions]

#include "bench/message_stream.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/ParserTestDictionary.h"

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

} // namespace

int main(int argc, char **argv)
{
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 200;
    const int messages = 1000;
    const QByteArray stream = benchstream::makeStream(s_mix, messages);

    parsertest::Sink sink;
    auto *parser = new zo4882::ZO4882ParserDelegate(&sink);
    parser->registerDictionary(parsertest::dictionary(), zo4882::NODE_SOURCE);

    volatile int sink_bytes = 0;
    const auto clearLog = [] {
        parsertest::log().clear();
    };
    const qint64 splitNs = benchstream::run(
        stream,
        repetitions,
        [&](const char *, int length) {
            sink_bytes = sink_bytes + length;
        },
        clearLog);
    const qint64 parseNs = benchstream::run(
        stream,
        repetitions,
        [&](const char *text, int length) {
            sink_bytes = sink_bytes + parser->parse(zo4882::INTF_SOCKET, text, length, 0);
        },
        clearLog);
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
