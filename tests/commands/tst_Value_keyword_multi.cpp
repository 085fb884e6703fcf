#include "commands/Value_keyword_multi.h"
#include "commands/keywords/KeywordsSource.h"

#include <QtTest>

#include <memory>

using Indexes = QVector<unsigned char>;

// A list of keywords over the signal-output protections' bridge (NONE, OC, OP, UV, WDOG).
class tst_Value_keyword_multi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void lists_data();
    void lists();
    void indexOutsideKeepsTheOldList();
    void actionAndTag();

private:
    KeywordBridge_NoneOcOpUvWdog m_bridge;
    std::unique_ptr<Value_keyword_multi> m_value;
};

void tst_Value_keyword_multi::init()
{
    m_value = std::make_unique<Value_keyword_multi>(1213, &m_bridge, 0, 4);
}

void tst_Value_keyword_multi::lists_data()
{
    QTest::addColumn<Indexes>("indexes");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("all five") << Indexes { 0, 1, 2, 3, 4 } << QByteArray("NONE,OC,OP,UV,WDOG");
    // The order given and repeats stay: refusing repeats is the command's business.
    QTest::newRow("order and repeats") << Indexes { 4, 1, 4 } << QByteArray("WDOG,OC,WDOG");
    QTest::newRow("empty") << Indexes {} << QByteArray();
}

void tst_Value_keyword_multi::lists()
{
    QFETCH(Indexes, indexes);
    QFETCH(QByteArray, text);
    QCOMPARE(m_value->setValue(indexes), 0);
    QCOMPARE(m_value->getValue(), indexes);
    QCOMPARE(QByteArray::fromStdString(m_value->toString()), text);
}

void tst_Value_keyword_multi::indexOutsideKeepsTheOldList()
{
    QCOMPARE(m_value->setValue({ 1, 2 }), 0);
    QCOMPARE(m_value->setValue({ 0, 5 }), -224);
    QCOMPARE(m_value->getValue(), Indexes({ 1, 2 }));

    Value_keyword_multi narrow(1, &m_bridge, 1, 3);
    QCOMPARE(narrow.setValue({ 0 }), -224);
    QCOMPARE(narrow.setValue({ 1, 3 }), 0);
    QCOMPARE(narrow.getValue(), Indexes({ 1, 3 }));
}

void tst_Value_keyword_multi::actionAndTag()
{
    QCOMPARE(m_value->getKvType(), "keyword_multi");
    QCOMPARE(m_value->getKeywordBridge(), &m_bridge);
    QCOMPARE(m_value->setValue({ 3 }), 0);
    QCOMPARE(m_value->commit(), 0);
    QCOMPARE(m_value->getValue(), Indexes({ 3 }));
}

QTEST_GUILESS_MAIN(tst_Value_keyword_multi)
#include "tst_Value_keyword_multi.moc"
