#include "remote/ZOMessageSplitter.h"

#include <QtTest>

using zo4882::PARSER_SPLITTED_PACK;
using zo4882::ZOMessageSplitter;

class tst_ZOMessageSplitter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void split_data();
    void split();
};

void tst_ZOMessageSplitter::split_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("end");
    QTest::addColumn<QList<QByteArray>>("messages");
    QTest::addColumn<QByteArray>("rest");

    using L = QList<QByteArray>;
    QTest::newRow("two in one read")
        << QByteArray("*IDN?\n*RST\n") << false << L { "*IDN?", "*RST" } << QByteArray();
    QTest::newRow("lone newline") << QByteArray("\n") << false << L {} << QByteArray();
    QTest::newRow("leading control characters")
        << QByteArray("\r\n\t*RST\n\nA") << false << L { "*RST" } << QByteArray("A");
    QTest::newRow("block with newline") << QByteArray("DATA #15a\nb\nc\n") << false
                                        << L { QByteArray("DATA #15a\nb\nc") } << QByteArray();
    QTest::newRow("block incomplete waits") << QByteArray("*RST\nDATA #19abc\nd\n") << false
                                            << L { "*RST" } << QByteArray("DATA #19abc\nd\n");
    QTest::newRow("block header incomplete")
        << QByteArray("DATA #3") << false << L {} << QByteArray("DATA #3");
    QTest::newRow("not a block") << QByteArray("X #H1\nY") << false << L { "X #H1" }
                                 << QByteArray("Y");
    QTest::newRow("end indication")
        << QByteArray("*RST\nVOLT 1") << true << L { "*RST", "VOLT 1" } << QByteArray();
    QTest::newRow("end with incomplete block")
        << QByteArray("DATA #19ab") << true << L { "DATA #19ab" } << QByteArray();
    QTest::newRow("huge block length")
        << QByteArray("DATA #9999999999\n") << false << L {} << QByteArray("DATA #9999999999\n");

    QByteArray seventeen;
    L sixteen;
    for (int i = 0; i < 17; ++i) {
        seventeen += "M" + QByteArray::number(i) + "\n";
        if (i < 16)
            sixteen << "M" + QByteArray::number(i);
    }
    QTest::newRow("seventeen messages") << seventeen << true << sixteen << QByteArray("M16\n");
}

void tst_ZOMessageSplitter::split()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, end);
    QFETCH(QList<QByteArray>, messages);
    QFETCH(QByteArray, rest);

    QByteArray buffer = input;
    PARSER_SPLITTED_PACK pack;
    const int n = ZOMessageSplitter::split(buffer.data(), buffer.size(), end, &pack);
    QList<QByteArray> got;
    for (int i = 0; i < n; ++i)
        got << QByteArray(pack.messages[i], pack.lengths[i]);
    QCOMPARE(got, messages);
    QCOMPARE(QByteArray(pack.rest, pack.restLength), rest);
}

QTEST_GUILESS_MAIN(tst_ZOMessageSplitter)
#include "tst_ZOMessageSplitter.moc"
