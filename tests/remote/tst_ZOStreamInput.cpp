#include "remote/ZOMessageSplitter.h"
#include "remote/ZOStreamInput.h"

#include <QtTest>

#include <cstring>

using zo4882::PARSER_SPLITTED_PACK;
using zo4882::ZOMessageSplitter;
using zo4882::ZOStreamInput;

namespace {

constexpr int Limit = 4096;

// A transport's receive loop over ZOStreamInput: a fixed buffer of Limit bytes filled from the
// stream in reads of chunk bytes, the messages cut by the splitter as the parser would.
struct StreamRun
{
    QByteArrayList messages;
    int overruns = 0;

    void feed(const QByteArray &stream, int chunk, bool endAtLast = false, int budget = 1 << 20)
    {
        QByteArray buffer(Limit, '\0');
        int fill = 0;
        int at = 0;
        const ZOStreamInput::Poster post =
            [this](char *data, int len, bool end, int most, int *posted) {
                PARSER_SPLITTED_PACK pack;
                const int n = ZOMessageSplitter::split(data, len, end, &pack, most);
                for (int i = 0; i < n; ++i)
                    messages << QByteArray(pack.messages[i], pack.lengths[i]);
                *posted = n;
                return int(pack.rest - data);
            };
        bool fresh = false;
        while (at < stream.size() || fresh) {
            const int got = std::min({ chunk, Limit - fill, int(stream.size()) - at });
            std::memcpy(buffer.data() + fill, stream.constData() + at, size_t(got));
            fill += got;
            at += got;
            const bool end = endAtLast && at == stream.size();
            const ZOStreamInput::Taken taken = m_input.take(buffer.data(), fill, end, budget, post);
            overruns += taken.overrun ? 1 : 0;
            std::memmove(buffer.data(), buffer.data() + taken.used, size_t(fill - taken.used));
            fill -= taken.used;
            fresh = taken.used > 0 && fill > 0;
            if (got == 0 && taken.used == 0)
                break;
        }
    }

    ZOStreamInput m_input { Limit };
};

QByteArray block(const QByteArray &data)
{
    const QByteArray length = QByteArray::number(data.size());
    return "#" + QByteArray::number(length.size()) + length + data;
}

} // namespace

// The input rules of the byte-stream transports: whole messages are posted, an overrun drops
// the whole refused message, never a fragment of it, and the next message runs.
class tst_ZOStreamInput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusedMessageNeverRuns_data();
    void refusedMessageNeverRuns();
    void endIndicationEndsTheDiscard();
    void postingStopsAtTheBudgetWithoutOverrun();
};

void tst_ZOStreamInput::refusedMessageNeverRuns_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArrayList>("messages");
    QTest::addColumn<int>("overruns");

    const QByteArray next("*IDN?\n");
    QTest::newRow("whole messages")
        << QByteArray("CURR 2\nINP ON\n") << QByteArrayList { "CURR 2", "INP ON" } << 0;
    QTest::newRow("message of exactly the limit runs")
        << (QByteArray(Limit - 1, 'x') + '\n' + next)
        << QByteArrayList { QByteArray(Limit - 1, 'x'), "*IDN?" } << 0;
    QTest::newRow("blanks, then further units")
        << ("CURR 2" + QByteArray(4994, ' ') + ";INP ON;CURR 7\n" + next)
        << QByteArrayList { "*IDN?" } << 1;
    QByteArray data(5000, 'b');
    data.replace(100, 8, "\nINP ON\n");
    QTest::newRow("block holding newlines")
        << ("CURR " + block(data) + "\n" + next) << QByteArrayList { "*IDN?" } << 1;
    QTest::newRow("block and units behind it")
        << ("CURR " + block(data) + ";INP ON\n" + next) << QByteArrayList { "*IDN?" } << 1;
    QTest::newRow("text of several buffers")
        << (QByteArray(3 * Limit + 17, 'x') + "\n" + next) << QByteArrayList { "*IDN?" } << 1;
    QTest::newRow("block of several buffers")
        << ("CURR " + block(QByteArray(3 * Limit, '\n')) + "\n" + next)
        << QByteArrayList { "*IDN?" } << 1;
    // "#0" is no block, nor is a '#' without digits: the newline after them ends the message.
    QTest::newRow("no block behind the hash")
        << (QByteArray(Limit, 'x') + "#0\n" + next) << QByteArrayList { "*IDN?" } << 1;
    QTest::newRow("hash at the end of the refused bytes")
        << (QByteArray(Limit - 1, 'x') + "#x\n" + next) << QByteArrayList { "*IDN?" } << 1;
    QTest::newRow("two refused messages")
        << (QByteArray(Limit, 'x') + "\n" + QByteArray(Limit, 'y') + "\n" + next)
        << QByteArrayList { "*IDN?" } << 2;
    QTest::newRow("message right after the refused one")
        << (QByteArray(Limit, 'x') + "\nCURR 1\n") << QByteArrayList { "CURR 1" } << 1;
}

void tst_ZOStreamInput::refusedMessageNeverRuns()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArrayList, messages);
    QFETCH(int, overruns);

    // However the stream is cut into reads, the outcome is the same.
    for (const int chunk : { 1, 7, 1000, Limit }) {
        StreamRun run;
        run.feed(stream, chunk);
        QCOMPARE(run.messages, messages);
        QCOMPARE(run.overruns, overruns);
    }
}

// Transports with an end-of-message indication (VXI-11, HiSLIP, USBTMC) end the discard there.
void tst_ZOStreamInput::endIndicationEndsTheDiscard()
{
    StreamRun run;
    run.feed(QByteArray(Limit + 10, 'x'), Limit, true);
    QCOMPARE(run.overruns, 1);
    QVERIFY(!run.m_input.discarding());
    run.feed("CURR 1\n", Limit);
    QCOMPARE(run.messages, QByteArrayList { "CURR 1" });
}

// A full buffer of complete messages that the flow control does not let through yet is kept.
void tst_ZOStreamInput::postingStopsAtTheBudgetWithoutOverrun()
{
    QByteArray stream;
    while (stream.size() < Limit)
        stream += "*CLS\n";
    stream.truncate(Limit);
    ZOStreamInput input(Limit);
    int cut = 0;
    const ZOStreamInput::Taken taken = input.take(stream.data(),
        stream.size(),
        false,
        3,
        [&cut](char *data, int len, bool end, int most, int *posted) {
            PARSER_SPLITTED_PACK pack;
            cut = ZOMessageSplitter::split(data, len, end, &pack, most);
            *posted = cut;
            return int(pack.rest - data);
        });
    QCOMPARE(taken.posted, 3);
    QCOMPARE(cut, 3);
    QCOMPARE(taken.used, 15);
    QVERIFY(!taken.overrun);
    QVERIFY(!input.discarding());
}

QTEST_GUILESS_MAIN(tst_ZOStreamInput)
#include "tst_ZOStreamInput.moc"
