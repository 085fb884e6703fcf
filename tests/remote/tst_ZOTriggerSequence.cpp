#include "remote/ZOTriggerSequence.h"

#include <QtTest>

using zo4882::ZOTriggerSequence;

namespace {

// Records the slots in the order the sequence calls them.
class RecordingSequence : public ZOTriggerSequence
{
public:
    QStringList calls;

protected:
    void OnInitiate() override { calls << "initiate"; }
    void OnTrigger() override { calls << "trigger"; }
    void OnAbort() override { calls << "abort"; }
    void OnComplete() override { calls << "complete"; }
};

} // namespace

class tst_ZOTriggerSequence : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void steps_data();
    void steps();
    void holdsTheSharedTracker();
};

void tst_ZOTriggerSequence::steps_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QList<int>>("results");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("immediate") << QStringList { "initiate" } << QList<int> { 1 }
                               << QStringList { "initiate", "trigger" };
    QTest::newRow("waits for its trigger") << QStringList { "initiate-wait",
        "trigger" } << QList<int> { 1, 1 } << QStringList { "initiate", "trigger" };
    QTest::newRow("trigger without waiting does nothing") << QStringList { "initiate",
        "trigger" } << QList<int> { 1, 0 } << QStringList { "initiate", "trigger" };
    QTest::newRow("second initiate is refused") << QStringList { "initiate-wait",
        "initiate-wait" } << QList<int> { 1, 0 } << QStringList { "initiate" };
    QTest::newRow("complete ends it, a new initiate starts again")
        << QStringList { "initiate", "complete", "initiate" } << QList<int> { 1, 1, 1 }
        << QStringList { "initiate", "trigger", "complete", "initiate", "trigger" };
    QTest::newRow("abort while waiting") << QStringList { "initiate-wait",
        "abort" } << QList<int> { 1, 1 } << QStringList { "initiate", "abort" };
}

void tst_ZOTriggerSequence::steps()
{
    QFETCH(QStringList, script);
    QFETCH(QList<int>, results);
    QFETCH(QStringList, calls);

    RecordingSequence sequence;
    QList<int> got;
    for (const QString &step : script) {
        if (step == "initiate")
            got << sequence.initiate(false, false);
        else if (step == "initiate-wait")
            got << sequence.initiate(false, true);
        else if (step == "trigger")
            got << int(sequence.trigger());
        else if (step == "complete")
            got << sequence.complete();
        else
            got << sequence.abort();
    }
    QCOMPARE(got, results);
    QCOMPARE(sequence.calls, calls);
}

void tst_ZOTriggerSequence::holdsTheSharedTracker()
{
    QCOMPARE(&ZOTriggerSequence::s_opc, &zo4882::s_opc);
}

QTEST_GUILESS_MAIN(tst_ZOTriggerSequence)
#include "tst_ZOTriggerSequence.moc"
