#include "commands/SystErrCustom.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOSystErrCue.h"

#include <QtTest>

using namespace zo4882;

// The instrument's error hook on the error queue.
class tst_SystErrCustom : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void texts_data();
    void texts();
    void notifications();

private:
    int m_beeps = 0;
    int m_queued = 0;
    int m_dequeued = 0;
    SystErrCustom m_hook { [this] {
                              ++m_beeps;
                          },
        [this] {
            ++m_queued;
        },
        [this] {
            ++m_dequeued;
        } };
};

void tst_SystErrCustom::init()
{
    init4882();
    s_systErrCue.clear();
    m_beeps = m_queued = m_dequeued = 0;
    s_systErrCue.setHook(&m_hook);
}

void tst_SystErrCustom::cleanup()
{
    s_systErrCue.setHook(nullptr);
    s_systErrCue.clear();
}

void tst_SystErrCustom::texts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("instrument code") << 304 << "PROGram not selected;PROG:STEP1:LEV 1";
    QTest::newRow("first and last")
        << 101 << "Setting conflicts due to PROTection state;PROG:STEP1:LEV 1";
    QTest::newRow("standard code first") << -222 << "Data out of range;PROG:STEP1:LEV 1";
    QTest::newRow("unknown code") << 999 << ";PROG:STEP1:LEV 1";
}

void tst_SystErrCustom::texts()
{
    QFETCH(int, code);
    QFETCH(QString, message);

    QCOMPARE(SYST_ERR_INFO(short(code), INTF_SOCKET, "PROG:STEP1:LEV", "1").getFullErrorMessage(),
        message);
    QCOMPARE(m_hook.getMessage(313), QStringLiteral("PROGram cannot be created during selection"));
    QVERIFY(m_hook.getMessage(-222).isEmpty());
}

void tst_SystErrCustom::notifications()
{
    s_systErrCue.cue(SYST_ERR_INFO(304, INTF_SOCKET, "PROG:SEL", nullptr));
    s_systErrCue.cue(SYST_ERR_INFO(-222, INTF_PANEL, QString()));
    QCOMPARE(m_beeps, 2);
    QCOMPARE(m_queued, 2);
    s_systErrCue.decue();
    QCOMPARE(m_dequeued, 1);
    s_systErrCue.clear();
    QCOMPARE(m_dequeued, 2);
    // Clearing an empty queue tells nobody.
    s_systErrCue.clear();
    QCOMPARE(m_dequeued, 2);
}

QTEST_GUILESS_MAIN(tst_SystErrCustom)
#include "tst_SystErrCustom.moc"
