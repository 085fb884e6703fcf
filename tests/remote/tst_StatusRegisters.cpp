#include "remote/StatusRegisters.h"
#include "remote/ZOSystErrCue.h"

#include <QtTest>

using namespace zo4882;

class tst_StatusRegisters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void transitionFilters_data();
    void transitionFilters();
    void serviceRequest_data();
    void serviceRequest();
    void errorRaisesRequestOnlyOnce();
    void summaryFollowsEvents();
    void sinkMayReadTheQueue();
    void instrumentSummaryChain();
    void presetKeepsConditions();
    void clsKeepsEnables();
    void enablesAreMasked();
    void statusByteQuery();

private:
    QVector<int> m_requests;
    QVector<int> m_announced;
};

void tst_StatusRegisters::init()
{
    cls();
    init4882();
    m_requests.clear();
    m_announced.clear();
    s_stb.setServiceRequestSink([this](unsigned char v) {
        m_requests.append(v);
    });
    s_stb.setStatusByteSink([this](unsigned char v) {
        m_announced.append(v);
    });
}

void tst_StatusRegisters::cleanup()
{
    s_stb.setServiceRequestSink(nullptr);
    s_stb.setStatusByteSink(nullptr);
    cls();
    init4882();
}

void tst_StatusRegisters::transitionFilters_data()
{
    QTest::addColumn<int>("ptr");
    QTest::addColumn<int>("ntr");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("set");
    QTest::addColumn<int>("condition");
    QTest::addColumn<int>("event");

    QTest::newRow("rising passes default PTR") << 0xFFFF << 0 << 0 << 0x10 << true << 0x10 << 0x10;
    QTest::newRow("falling blocked by default NTR")
        << 0xFFFF << 0 << 0x10 << 0x10 << false << 0 << 0;
    QTest::newRow("rising blocked by PTR 0") << 0 << 0 << 0 << 0x10 << true << 0x10 << 0;
    QTest::newRow("already set is no edge") << 0xFFFF << 0 << 0x10 << 0x10 << true << 0x10 << 0;
    QTest::newRow("partly set: only the new bit")
        << 0xFFFF << 0 << 0x01 << 0x03 << true << 0x03 << 0x02;
    QTest::newRow("NTR 3, clear bit 0") << 0xFFFF << 3 << 0x01 << 0x01 << false << 0 << 0x01;
    QTest::newRow("NTR 3, clear 0 and 1, only 0 set")
        << 0xFFFF << 3 << 0x01 << 0x03 << false << 0 << 0x01;
    QTest::newRow("clear of clear bits is nothing")
        << 0xFFFF << 0xFFFF << 0 << 0x04 << false << 0 << 0;
    QTest::newRow("PTR selects bits") << 0x0010 << 0 << 0 << 0x30 << true << 0x30 << 0x10;
    QTest::newRow("top bit of a short") << 0xFFFF << 0 << 0 << 0x8000 << true << 0x8000 << 0x8000;
}

void tst_StatusRegisters::transitionFilters()
{
    QFETCH(int, ptr);
    QFETCH(int, ntr);
    QFETCH(int, before);
    QFETCH(int, bits);
    QFETCH(bool, set);
    QFETCH(int, condition);
    QFETCH(int, event);

    s_statOper.setPtr(short(0xFFFF));
    s_statOper.setCondition(short(before), 1);
    s_statOper.getEvent();
    s_statOper.setPtr(short(ptr));
    s_statOper.setNtr(short(ntr));

    s_statOper.setCondition(short(bits), set ? 1 : 0);
    QCOMPARE(quint16(s_statOper.condition()), quint16(condition));
    QCOMPARE(quint16(s_statOper.getEvent()), quint16(event));
    QCOMPARE(quint16(s_statOper.getEvent()), quint16(0)); // the read cleared it
}

void tst_StatusRegisters::serviceRequest_data()
{
    QTest::addColumn<int>("sre");
    QTest::addColumn<int>("enable");
    QTest::addColumn<bool>("questionable");
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("request");

    QTest::newRow("operation enabled") << 0x80 << 0x10 << false << 0x10 << 0xC0;
    QTest::newRow("questionable enabled") << 0x08 << 0x01 << true << 0x01 << 0x48;
    QTest::newRow("event not enabled") << 0x80 << 0x20 << false << 0x10 << 0;
    QTest::newRow("summary not in SRE") << 0x08 << 0x10 << false << 0x10 << 0;
    QTest::newRow("SRE of the other group") << 0x80 << 0x01 << true << 0x01 << 0;
}

void tst_StatusRegisters::serviceRequest()
{
    QFETCH(int, sre);
    QFETCH(int, enable);
    QFETCH(bool, questionable);
    QFETCH(int, bit);
    QFETCH(int, request);

    ZO_STAT_REGISTER &reg = questionable ? s_statQues : s_statOper;
    s_stb.setEnabler(quint8(sre));
    reg.setEnabler(short(enable));
    reg.setCondition(short(bit), 1);
    QCOMPARE(m_requests, request ? QVector<int> { request } : QVector<int> {});

    // Holding the condition raises nothing more; only a new rising edge after the read does.
    reg.setCondition(short(bit), 1);
    reg.setCondition(short(bit), 0);
    QCOMPARE(m_requests.size(), request ? 1 : 0);
    reg.getEvent();
    reg.setCondition(short(bit), 1);
    QCOMPARE(m_requests.size(), request ? 2 : 0);
}

void tst_StatusRegisters::errorRaisesRequestOnlyOnce()
{
    s_esr.setEnabler(0x20);
    s_stb.setEnabler(0x20);
    s_systErrCue.cue(SYST_ERR_INFO(-113, INTF_SOCKET, QString()));
    QCOMPARE(m_requests, QVector<int> { 0x60 });
    QVERIFY(s_stb.condition() & ZO_STB_REGISTER::EventSummary);

    QCOMPARE(int(s_esr.getEvent()), 0x20);
    QCOMPARE(s_stb.condition() & ZO_STB_REGISTER::EventSummary, 0);
    s_systErrCue.cue(SYST_ERR_INFO(-102, INTF_SOCKET, QString()));
    QCOMPARE(m_requests.size(), 1);

    // An execution error latches its own event, but *ESE does not enable it.
    s_systErrCue.cue(SYST_ERR_INFO(-222, INTF_SOCKET, QString()));
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(int(s_esr.peekEvent()), 0x10);
    s_esr.setEnabler(0x30);
    s_systErrCue.cue(SYST_ERR_INFO(-102, INTF_SOCKET, QString()));
    QCOMPARE(m_requests.size(), 1);
    QVERIFY(!m_announced.isEmpty());
}

void tst_StatusRegisters::summaryFollowsEvents()
{
    s_statOper.setEnabler(0x40);
    s_statOper.setCondition(0x40, 1);
    QVERIFY(s_stb.condition() & ZO_STB_REGISTER::OperationSummary);
    // The condition falling does not clear the summary; reading the event does.
    s_statOper.setCondition(0x40, 0);
    QVERIFY(s_stb.condition() & ZO_STB_REGISTER::OperationSummary);
    // Changing the enable does not recompute it either.
    s_statOper.setEnabler(0);
    QVERIFY(s_stb.condition() & ZO_STB_REGISTER::OperationSummary);
    QCOMPARE(int(s_statOper.getEvent()), 0x40);
    QCOMPARE(s_stb.condition() & ZO_STB_REGISTER::OperationSummary, 0);
}

// The sinks run after the queue's mutex is released: reading the queue from one must not block.
void tst_StatusRegisters::sinkMayReadTheQueue()
{
    int countSeen = -1;
    s_stb.setServiceRequestSink([&countSeen](unsigned char) {
        countSeen = s_systErrCue.count();
    });
    s_esr.setEnabler(0x10);
    s_stb.setEnabler(0x20);
    s_systErrCue.cue(SYST_ERR_INFO(-222, INTF_PANEL, QString()));
    QCOMPARE(countSeen, 1);
}

void tst_StatusRegisters::instrumentSummaryChain()
{
    ZO_STAT_INST_ISUM_REGISTER &isum1 = s_statQuesInstIsum[1];
    ZO_STAT_INST_ISUM_REGISTER &isum2 = s_statQuesInstIsum[2];
    QCOMPARE(isum1.number(), 1);
    QCOMPARE(isum2.number(), 2);

    isum1.setEnabler(0x04);
    s_statQuesInst.setEnabler(0x02);
    s_statQues.setEnabler(0x200);
    s_stb.setEnabler(0x08);

    isum1.setCondition(0x04, 1);
    isum2.setCondition(0x04, 1);
    QCOMPARE(int(s_statQues.condition()) & 0x04, 0x04); // mirrored into the group
    QCOMPARE(int(s_statQuesInst.peekEvent()), 0x02); // bit 1 << number 1
    QCOMPARE(int(s_statQues.peekEvent()) & 0x200, 0x200);
    QCOMPARE(m_requests, QVector<int> { 0x48 });

    // The group bit stays while another summary register still holds it.
    isum1.setCondition(0x04, 0);
    QCOMPARE(int(s_statQues.condition()) & 0x04, 0x04);
    isum2.setCondition(0x04, 0);
    QCOMPARE(int(s_statQues.condition()) & 0x04, 0);

    // Reading the instrument register clears the group's bit 0x200.
    s_statQuesInst.getEvent();
    QCOMPARE(int(s_statQues.condition()) & 0x200, 0);
}

void tst_StatusRegisters::presetKeepsConditions()
{
    s_statOper.setEnabler(0x10);
    s_statOper.setNtr(0x10);
    s_statOper.setPtr(0);
    s_statOper.setCondition(0x10, 1);
    statPreset();
    QCOMPARE(int(s_statOper.condition()), 0x10);
    QCOMPARE(int(s_statOper.enabler()), 0);
    QCOMPARE(int(s_statOper.ntr()), 0);
    QCOMPARE(quint16(s_statOper.ptr()), quint16(0xFFFF));

    // With the start-up's narrower mask the preset PTR follows it.
    s_statOper.setValidMask(0x7FFF);
    statPreset();
    QCOMPARE(int(s_statOper.ptr()), 0x7FFF);
}

void tst_StatusRegisters::clsKeepsEnables()
{
    s_stb.setEnabler(0x20);
    s_esr.setEnabler(0x3C);
    s_statOper.setEnabler(0x10);
    s_statOperInst.setEnabler(0x02);
    s_statOper.setCondition(0x10, 1);
    s_systErrCue.cue(SYST_ERR_INFO(-113, INTF_PANEL, QString()));

    cls();
    QCOMPARE(int(s_stb.condition()), 0);
    QCOMPARE(int(s_esr.condition()), 0);
    QCOMPARE(int(s_esr.peekEvent()), 0);
    QCOMPARE(int(s_statOper.peekEvent()), 0);
    QCOMPARE(int(s_statOper.condition()), 0x10); // the engine still holds it
    QCOMPARE(s_systErrCue.count(), 0);
    QCOMPARE(int(s_stb.enabler()), 0x20);
    QCOMPARE(int(s_esr.enabler()), 0x3C);
    QCOMPARE(int(s_statOper.enabler()), 0x10);
    QCOMPARE(int(s_statOperInst.enabler()), 0); // instrument registers are preset
}

void tst_StatusRegisters::enablesAreMasked()
{
    QCOMPARE(s_statOper.setEnabler(0x10), 1);
    QCOMPARE(s_statOper.setEnabler(0x10), 0);
    s_statOper.setValidMask(0x7FFF);
    QCOMPARE(s_statOper.setEnabler(short(0xFFFF)), 1);
    QCOMPARE(int(s_statOper.enabler()), 0x7FFF);
    QCOMPARE(s_statOper.setPtr(short(0x8000)), 1);
    QCOMPARE(int(s_statOper.ptr()), 0);
}

void tst_StatusRegisters::statusByteQuery()
{
    QCOMPARE(int(s_stb.readStatusByte()), 0x10);
    s_systErrCue.cue(SYST_ERR_INFO(-113, INTF_PANEL, QString()));
    QCOMPARE(int(s_stb.readStatusByte()), 0x14);
    s_stb.setEnabler(0x04);
    QCOMPARE(int(s_stb.readStatusByte()), 0x54);
    s_stb.setEnabler(0x40); // 0x40 alone never requests
    QCOMPARE(int(s_stb.readStatusByte()), 0x14);
}

QTEST_APPLESS_MAIN(tst_StatusRegisters)

#include "tst_StatusRegisters.moc"
