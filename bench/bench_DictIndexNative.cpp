// Header lookup in the instrument's dictionary over a realistic mix of commands and queries,
// beside the time of merely splitting the same bytes into messages; the ratios count, not the
// absolute times. Lookup alone walks the dictionary as the parser does (letter range, letter
// sets, optional root, pattern); the full parse adds the header path and the parameters but
// runs no command.
//   bench_DictIndexNative [repetitions]

#include "bench/message_stream.h"
#include "commands/DictIndexNative.h"
#include "remote/IParserEventSink.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOSystErrCue.h"

#include <QByteArray>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>

namespace {

const char *const s_mix[] = {
    "*IDN?",
    "SOUR:CURR 1.5",
    "CURR?",
    "FUNC CR",
    "COND 0.5",
    "VOLT:RESP FAST",
    "OUTP ON",
    "INP?",
    "MEAS:VOLT?",
    "FETC:CURR?",
    "STAT:OPER:COND?",
    "SYST:ERR?",
    "TRIG:ACQ:SOUR BUS",
    "PROG:STEP3:LEV 2",
    "OUTP:CUTO:VOLT 3.5",
    "SOURCE:CURRENT:PROTECTION:STATE?",
    "DATA:R? 10",
    "SYST:BEEP:KEY OFF",
    "*OPC?",
    "ZVOL? (@1)",
};

class NoRun : public zo4882::IParserEventSink
{
public:
    void OnParsed(const zo4882::ZO_PARSER_RESULT *, const unsigned &, zo4882::ZOCmdArg **) override
    {
        ++units;
    }
    short OnSettingsConflict(unsigned) const override { return -203; }
    int units = 0;
};

// The slot of an upper-case header (up to the first blank), or -1.
int lookUp(const zo4882::IDictIndex &index, const char *text, int length)
{
    int end = 0;
    while (end < length && text[end] > ' ')
        ++end;
    const QByteArray full(text, end);
    int root = 0;
    if (full.startsWith("SOUR:"))
        root = 5;
    if (full.startsWith("SOURCE:"))
        root = 7;
    const QByteArray header = full.mid(root);
    const QString headerText = QString::fromLatin1(header);
    int first = 0;
    int last = 0;
    index.getRange(header.constData(), &first, &last);
    for (int i = first; i <= last; ++i) {
        const zo4882::ZO_SCPI_DICT_ENTRY *entry = index.getDict(i);
        if (!entry->regex || !index.checkPossibility(header.constData(), i))
            continue;
        if (root > 0 && !entry->optionalRoot)
            continue;
        if (entry->regex->match(headerText).hasMatch())
            return i;
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 200;
    const int messages = 1000;
    const QByteArray stream = benchstream::makeStream(s_mix, messages);

    const DictIndexNative index;
    NoRun sink;
    auto *parser = new zo4882::ZO4882ParserDelegate(&sink);
    parser->registerDictionary(&index, zo4882::NODE_SOURCE);

    volatile int sinkBytes = 0;
    int missed = 0;
    const qint64 splitNs = benchstream::run(stream, repetitions, [&](const char *, int length) {
        sinkBytes = sinkBytes + length;
    });
    const qint64 lookupNs =
        benchstream::run(stream, repetitions, [&](const char *text, int length) {
            missed += lookUp(index, text, length) < 0;
        });
    const qint64 parseNs = benchstream::run(stream, repetitions, [&](const char *text, int length) {
        sinkBytes = sinkBytes + parser->parse(zo4882::INTF_SOCKET, text, length, 0);
    });
    const int errors = zo4882::s_systErrCue.count();

    const double total = double(messages) * repetitions;
    std::printf("headers: %.0f, not found: %d, parse errors queued: %d\n", total, missed, errors);
    std::printf("split only:          %8.1f ns/header\n", splitNs / total);
    std::printf("split and lookup:    %8.1f ns/header\n", lookupNs / total);
    std::printf("split and parse:     %8.1f ns/header\n", parseNs / total);
    std::printf("lookup/split time ratio: %.1f\n", double(lookupNs) / double(splitNs));
    std::printf("parse/split time ratio:  %.1f\n", double(parseNs) / double(splitNs));
    delete parser;
    return missed == 0 && errors == 0 ? 0 : 1;
}
