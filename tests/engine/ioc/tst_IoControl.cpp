#include "engine/ioc/IoControl.h"
#include "tests/support/PowerBoard.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QtTest>

#include <memory>

using ioc::IoControl;
using ioc::TRACE_DATA;

namespace {

// Errors the links report, from their threads.
struct ErrorLog
{
    QMutex mutex; // guards entries
    QList<QPair<int, QString>> entries;

    void add(int code, const QString &detail)
    {
        QMutexLocker lock(&mutex);
        entries.append({ code, detail });
    }
    QList<QPair<int, QString>> take()
    {
        QMutexLocker lock(&mutex);
        return entries;
    }
    void clear()
    {
        QMutexLocker lock(&mutex);
        entries.clear();
    }
};

ErrorLog &errors()
{
    static ErrorLog log;
    return log;
}

using Message = QList<PowerBoard::LogEntry>;

// The write log grouped into messages, in order.
QList<Message> messages(const QList<PowerBoard::LogEntry> &log)
{
    QList<Message> out;
    for (const PowerBoard::LogEntry &e : log) {
        if (out.isEmpty() || out.last().first().message != e.message)
            out.append(Message());
        out.last().append(e);
    }
    return out;
}

QList<quint32> addresses(const Message &m)
{
    QList<quint32> a;
    for (const PowerBoard::LogEntry &e : m)
        a << e.address;
    return a;
}

} // namespace

// Lives in the test thread, so the links' signals reach it queued as they reach the engine.
class Recorder : public QObject
{
    Q_OBJECT

public:
    QVector<uint> writerStatus;
    QVector<int> writerStates;
    QVector<uint> monitorStatus;
    QVector<int> monitorStates;
    QStringList events;
    int monitorRecords = 0;
    QVector<QVector<TRACE_DATA>> batches;
    QVector<int> remaining;

    int traceRecords() const
    {
        int n = 0;
        for (const auto &b : batches)
            n += b.size();
        return n;
    }
    void onMonitorRecord(const TRACE_DATA *meas)
    {
        ++monitorRecords;
        delete meas;
    }
    void onData(QVector<TRACE_DATA> *data, int remainingPoint)
    {
        batches.append(*data);
        remaining.append(remainingPoint);
        delete data;
    }
};

// A writer and a monitor on the simulated board, with their signals recorded. Stops both and
// delivers what is still queued before the recorder goes, so that no heap record is lost.
struct Links
{
    explicit Links(const ioc::LinkTiming &timing = ioc::LinkTiming())
        : writer(new IoControl(IoControl::Writer, timing))
        , monitor(new IoControl(IoControl::Monitor, timing))
    {
        Recorder *r = &recorder;
        QObject::connect(writer.get(),
            &IoControl::statusChanged,
            r,
            [r](uint s, IoControl::InitiateTranState st) {
                r->writerStatus << s;
                r->writerStates << int(st);
            });
        QObject::connect(monitor.get(),
            &IoControl::statusChanged,
            r,
            [r](uint s, IoControl::InitiateTranState st) {
                r->monitorStatus << s;
                r->monitorStates << int(st);
            });
        QObject::connect(monitor.get(), &IoControl::monitorUpdated, r, &Recorder::onMonitorRecord);
        QObject::connect(monitor.get(), &IoControl::dataUpdated, r, &Recorder::onData);
        QObject::connect(writer.get(), &IoControl::initOccurred, r, [r] {
            r->events << "init";
        });
        QObject::connect(writer.get(), &IoControl::wtgOccurred, r, [r] {
            r->events << "wtg";
        });
        QObject::connect(writer.get(), &IoControl::pauseOccurred, r, [r] {
            r->events << "pause";
        });
    }
    ~Links()
    {
        writer.reset();
        monitor.reset();
        QCoreApplication::sendPostedEvents();
    }

    Recorder recorder;
    std::unique_ptr<IoControl> writer;
    std::unique_ptr<IoControl> monitor;
};

class tst_IoControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void changedGroupsShareOneMessage();
    void unchangedTransferWritesNothing();
    void acqTriggerCountFitsTheTraceArea_data();
    void acqTriggerCountFitsTheTraceArea();
    void modeWordWaits_data();
    void modeWordWaits();
    void programCommands_data();
    void programCommands();
    void statusReadBeforeTheCommandKeepsTheOldState();
    void programTransferGoesBeforeTheGroups();
    void arbitraryTableBlocksTwice();
    void registerAccessesKeepTheirOrderAndReplies();
    void registerReadTimesOut();
    void identification_data();
    void identification();
    void traceRecordsReadInSteps();
    void abortStopsTraceReadsUntilInitiate();
    void acquisitionCommandWaitEndsOnceSent();
    void monitorRecordEveryFourthCycle();
    void failedExchangesLoseNothing();
    void boardRestartRecovers();

private:
    // Starts the writer and brings the board up to the writer's present settings.
    void startWriter(Links &links);
    void waitWriterCycle(Links &links, int before);

    PowerBoard m_board;
};

void tst_IoControl::initTestCase()
{
    QVERIFY2(m_board.start(), qPrintable(m_board.errorString()));
    IoControl::setErrorSink([](int code, const QString &detail) {
        errors().add(code, detail);
    });
}

void tst_IoControl::init()
{
    QCOMPARE(m_board.command("reset"), QString("OK"));
    QVERIFY(m_board.clearLog());
    errors().clear();
}

void tst_IoControl::waitWriterCycle(Links &links, int before)
{
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.writerStatus.size() > before, 5000);
}

void tst_IoControl::startWriter(Links &links)
{
    links.writer->start();
    // The writer's first act is the calibration command 0.
    QTRY_VERIFY_WITH_TIMEOUT(!m_board.log().isEmpty(), 5000);
    QCOMPARE(m_board.log().first().address, ioc::Address::CalCommand);
    const int before = links.recorder.writerStatus.size();
    links.writer->transfer();
    waitWriterCycle(links, before);
    QVERIFY(m_board.clearLog());
}

void tst_IoControl::changedGroupsShareOneMessage()
{
    Links links;
    startWriter(links);

    links.writer->setProgTriggerDelay(100);
    links.writer->progCommand(IoControl::Tran, IoControl::ViaCommandRegister);
    const int before = links.recorder.writerStatus.size();
    links.writer->transfer();
    waitWriterCycle(links, before);

    const QList<Message> sent = messages(m_board.log());
    QCOMPARE(sent.size(), 1);
    QCOMPARE(addresses(sent[0]),
        (QList<quint32> { ioc::Address::TriggerGroup, ioc::Address::CommandRegister }));
    QCOMPARE(sent[0][0].words,
        (QVector<quint32> { ioc::Initial::TriggerWord, 100, 0, 1, 12500, 12500 }));
    QCOMPARE(sent[0][1].words, QVector<quint32> { 1 });
}

void tst_IoControl::unchangedTransferWritesNothing()
{
    Links links;
    startWriter(links);

    const int before = links.recorder.writerStatus.size();
    links.writer->transfer();
    waitWriterCycle(links, before);
    // The writer still reports the last status word it knows.
    QCOMPARE(links.recorder.writerStatus.last(), ioc::Initial::Status);
    QVERIFY(m_board.log().isEmpty());
}

void tst_IoControl::acqTriggerCountFitsTheTraceArea_data()
{
    QTest::addColumn<uint>("count");
    QTest::addColumn<int>("rc");
    QTest::newRow("one record") << 1u << 0;
    QTest::newRow("the whole trace area") << 65536u << 0;
    QTest::newRow("one past the area") << 65537u << int(IoControl::ErrOutOfRange);
    QTest::newRow("largest written count") << 0xFFFFFFu << int(IoControl::ErrOutOfRange);
    QTest::newRow("none") << 0u << int(IoControl::ErrOutOfRange);
}

void tst_IoControl::acqTriggerCountFitsTheTraceArea()
{
    QFETCH(uint, count);
    QFETCH(int, rc);
    Links links;
    QCOMPARE(links.writer->setAcqTriggerCount(100), 0);
    startWriter(links);

    QCOMPARE(links.writer->setAcqTriggerCount(count), rc);
    const int before = links.recorder.writerStatus.size();
    links.writer->transfer();
    waitWriterCycle(links, before);
    // A refused count changes nothing, so nothing is sent.
    const QList<Message> sent = messages(m_board.log());
    if (rc != 0) {
        QVERIFY(sent.isEmpty());
        return;
    }
    QCOMPARE(sent.size(), 1);
    QCOMPARE(addresses(sent[0]), QList<quint32> { ioc::Address::TriggerGroup });
    QCOMPARE(sent[0][0].words.at(3), quint32(count));
}

void tst_IoControl::modeWordWaits_data()
{
    QTest::addColumn<bool>("settle");
    QTest::addColumn<qint64>("minGapUs");
    QTest::newRow("range change settles") << true << qint64(104000);
    QTest::newRow("mode change") << false << qint64(4000);
}

void tst_IoControl::modeWordWaits()
{
    QFETCH(bool, settle);
    QFETCH(qint64, minGapUs);
    Links links;
    startWriter(links);

    links.writer->setCurrentRange(IoControl::CurrentLow, settle);
    links.writer->setSineFrequency(7);
    const int before = links.recorder.writerStatus.size();
    links.writer->transfer();
    waitWriterCycle(links, before);

    const QList<Message> sent = messages(m_board.log());
    QCOMPARE(sent.size(), 2);
    QCOMPARE(addresses(sent[0]), QList<quint32> { ioc::Address::ModeWord });
    QCOMPARE(sent[0][0].words, QVector<quint32> { 0x01000101 });
    QCOMPARE(addresses(sent[1]), QList<quint32> { ioc::Address::SineGroup });
    QVERIFY2(sent[1][0].timeUs - sent[0][0].timeUs >= minGapUs,
        qPrintable(QString::number(sent[1][0].timeUs - sent[0][0].timeUs)));
}

void tst_IoControl::programCommands_data()
{
    QTest::addColumn<quint32>("command");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("immediate");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<quint32>("sent");
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("state");

    const quint32 group = ioc::Address::ProgramGroup;
    const quint32 reg = ioc::Address::CommandRegister;
    QTest::newRow("abort in the program group")
        << quint32(IoControl::TranAbort) << 0 << true << group << 0x2u << "" << 0;
    QTest::newRow("steady in the command register")
        << quint32(IoControl::Tran) << 1 << true << reg << 0x1u << "" << 0;
    QTest::newRow("initiate, immediate trigger")
        << quint32(IoControl::TranInit) << 0 << true << group << 0x1u << "init" << 1;
    QTest::newRow("initiate, waiting for a trigger")
        << quint32(IoControl::TranInit) << 0 << false << group << 0x1u << "wtg" << 1;
    QTest::newRow("program start")
        << quint32(IoControl::TranProgInit) << 0 << true << group << 0x1u << "init" << 2;
    QTest::newRow("pulse start") << quint32(IoControl::TranPulseInit) << 1 << true << reg << 0x20u
                                 << "" << 3;
    QTest::newRow("pause") << quint32(IoControl::TranPause) << 0 << true << group << 0x4u << "pause"
                           << 0;
    QTest::newRow("a combination changes no state")
        << 0x3u << 0 << true << group << 0x3u << "" << 0;
}

void tst_IoControl::programCommands()
{
    QFETCH(quint32, command);
    QFETCH(int, mode);
    QFETCH(bool, immediate);
    Links links;
    if (!immediate)
        links.writer->setTranTriggerSource(IoControl::ttsBus);
    startWriter(links);

    links.writer->progCommand(
        IoControl::ProgramCommands(QFlag(int(command))), IoControl::TransferMode(mode));
    const int before = links.recorder.writerStatus.size();
    links.writer->transfer();
    waitWriterCycle(links, before);

    const QList<Message> sent = messages(m_board.log());
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0].size(), 1);
    QTEST(sent[0][0].address, "address");
    QTEST(sent[0][0].words.last(), "sent");
    QTEST(links.recorder.events.join(','), "event");
    QTEST(links.recorder.writerStates.last(), "state");

    // The one-shot word is cleared once sent: another transfer does not repeat it.
    QVERIFY(m_board.clearLog());
    links.writer->transfer();
    waitWriterCycle(links, before + 1);
    QVERIFY(m_board.log().isEmpty());
}

// A run is started while the writer is held back (here: not yet started), and the monitor reads
// a word in between. That word predates the command: reporting it with the new state would read
// as "started but not running", an abort of the run just started.
void tst_IoControl::statusReadBeforeTheCommandKeepsTheOldState()
{
    Links links;
    QStringList order;
    QObject::connect(links.writer.get(), &IoControl::initOccurred, &links.recorder, [&order] {
        order << "init";
    });
    QObject::connect(links.writer.get(),
        &IoControl::statusChanged,
        &links.recorder,
        [&order](uint, IoControl::InitiateTranState st) {
            order << QString("status %1").arg(int(st));
        });
    links.monitor->start();
    QTRY_VERIFY_WITH_TIMEOUT(!links.recorder.monitorStatus.isEmpty(), 5000);

    links.writer->progCommand(IoControl::TranInit, IoControl::ViaProgramGroup);
    links.writer->transfer();
    const quint32 marker = 0x8000000;
    QVERIFY(m_board.command("status force 8000000").startsWith("OK"));
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.monitorStatus.last() & marker, 5000);
    QCOMPARE(links.recorder.monitorStates.last(), int(IoControl::TranStateSteady));
    QCoreApplication::processEvents();
    QVERIFY(links.recorder.events.isEmpty());

    // Once the command is sent the state changes, the start is announced first, and then the
    // word the command produced follows with the new state.
    links.writer->start();
    QTRY_VERIFY_WITH_TIMEOUT(order.contains("status 1"), 5000);
    QCOMPARE(links.recorder.events, QStringList { "init" });
    QCOMPARE(order.first(), QString("init"));
}

void tst_IoControl::programTransferGoesBeforeTheGroups()
{
    Links links;
    startWriter(links);

    const quint32 node = ioc::Address::StepNode + 32 * 5;
    const quint32 data = ioc::Address::StepData + 64 * 5;
    QVector<IoControl::StepMessage> steps(3);
    steps[0].words = ioc::writeUnit(data, QVector<quint32>(16, 0xA))
        + ioc::writeUnit(node, QVector<quint32>(8, 0xB));
    steps[1].statusRead = true;
    steps[2].words = ioc::writeUnit(ioc::Address::StepNode, QVector<quint32>(8, 0xC));
    const int before = links.recorder.writerStatus.size();
    links.writer->transferProgram(node, steps);
    links.writer->transfer();
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.writerStatus.size() >= before + 2, 5000);
    // The group write follows the last step; on a busy machine it may be logged a little later.
    QTRY_VERIFY_WITH_TIMEOUT(messages(m_board.log()).size() >= 3, 5000);

    const QList<Message> sent = messages(m_board.log());
    QCOMPARE(sent.size(), 3);
    QCOMPARE(addresses(sent[0]), (QList<quint32> { data, node }));
    QCOMPARE(addresses(sent[1]), QList<quint32> { ioc::Address::StepNode });
    QCOMPARE(addresses(sent[2]), QList<quint32> { ioc::Address::ProgramGroup });
    QCOMPARE(sent[2][0].words, (QVector<quint32> { node, 0 }));
    // The status read between the steps is reported with the word the board gave.
    QVERIFY(links.recorder.writerStatus.at(before) & ioc::Status::NotSlave);
}

void tst_IoControl::arbitraryTableBlocksTwice()
{
    Links links;
    startWriter(links);

    QVector<unsigned int> table(1000);
    for (int i = 0; i < table.size(); ++i)
        table[i] = unsigned(i * 7 + 1);
    const int before = links.recorder.writerStatus.size();
    links.writer->transferArbitary(table);
    waitWriterCycle(links, before);

    const QList<Message> sent = messages(m_board.log());
    QCOMPARE(sent.size(), 62);
    for (int k = 0; k < 31; ++k) {
        for (int copy = 0; copy < 2; ++copy) {
            const Message &m = sent[2 * k + copy];
            QCOMPARE(m.size(), 1);
            QCOMPARE(m[0].address, ioc::Address::ArbBlock + 128u * quint32(k));
            QCOMPARE(m[0].words, QVector<quint32>(table.mid(32 * k, 32)));
        }
    }
}

void tst_IoControl::registerAccessesKeepTheirOrderAndReplies()
{
    Links links;
    startWriter(links);

    links.writer->setRegisterData(ioc::Address::CalWrite + 0x10, 11);
    links.writer->setRegisterData(ioc::Address::CalWrite + 0x14, 22);
    links.writer->setRegisterData(ioc::Address::CalWrite + 0x10, 33);
    const int before = links.recorder.writerStatus.size();
    links.writer->transfer();
    waitWriterCycle(links, before);
    const QList<PowerBoard::LogEntry> log = m_board.log();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log[0].words, QVector<quint32> { 11 });
    QCOMPARE(log[1].words, QVector<quint32> { 22 });
    QCOMPARE(log[2].words, QVector<quint32> { 33 });

    // Readers in two threads at once each get their own register's value.
    std::atomic<int> wrong { 0 };
    auto reader = [&](quint32 offset, qint32 expected) {
        for (int i = 0; i < 40; ++i) {
            qint32 value = -1;
            if (links.writer->readRegister(ioc::Address::CalRead + offset, &value) != 0
                || value != expected)
                ++wrong;
        }
    };
    std::unique_ptr<QThread> a(QThread::create(reader, 0x10, 33));
    std::unique_ptr<QThread> b(QThread::create(reader, 0x14, 22));
    a->start();
    b->start();
    QVERIFY(a->wait(20000));
    QVERIFY(b->wait(20000));
    QCOMPARE(wrong.load(), 0);

    qint32 value = 0;
    QCOMPARE(links.writer->readRegister(ioc::Address::CalWrite + 0x10, &value),
        IoControl::ErrIllegalValue);
}

void tst_IoControl::registerReadTimesOut()
{
    ioc::LinkTiming timing;
    timing.replyTimeoutMs = 200;
    Links links(timing);
    startWriter(links);

    qint32 value = 0;
    QCOMPARE(links.writer->readRegister(ioc::Address::CalRead + 0x14, &value), 0);
    // The board drops the next exchanges unanswered: the read must not return the last value.
    QVERIFY(m_board.command("fail 1 silent").startsWith("OK"));
    value = 12345;
    QCOMPARE(
        links.writer->readRegister(ioc::Address::CalRead + 0x10, &value), IoControl::ErrTimeout);
    QCOMPARE(value, 12345);
}

void tst_IoControl::identification_data()
{
    QTest::addColumn<bool>("corrupt");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("versions");
    QTest::addColumn<QDate>("calDate");
    QTest::addColumn<bool>("calValid");
    QTest::newRow("valid") << false << 3210 << 2 << QDate(2024, 5, 6) << true;
    QTest::newRow("echo wrong") << true << 1205 << 0 << QDate(2007, 7, 11) << false;
}

void tst_IoControl::identification()
{
    QFETCH(bool, corrupt);
    for (const char *c : { "model 3210",
             "units 3211 3212",
             "firmware 1.2.3",
             "fpga 4.5.6",
             "caldate 2024-05-06",
             "calvalid 1" })
        QVERIFY(m_board.command(c).startsWith("OK"));
    if (corrupt)
        QVERIFY(m_board.command("corruptid on").startsWith("OK"));

    Links links;
    links.monitor->start();
    const ioc::MODELS_INFO info = links.monitor->getModelsInfo();
    QTEST(int(info.modelCode), "model");
    QTEST(info.versions.size(), "versions");
    if (!info.versions.isEmpty()) {
        QCOMPARE(info.versions[0].minor, quint8(2));
        QCOMPARE(info.versions[1].build, quint8(6));
    }
    // The unit block is read whatever the identification echo.
    QCOMPARE(info.unitModelCodes, (QVector<quint16> { 3211, 3212 }));
    const ioc::CAL_INFO cal = IoControl::calInfo();
    QTEST(QDate(cal.year, cal.month, cal.day), "calDate");
    QTEST(cal.valid, "calValid");
}

void tst_IoControl::traceRecordsReadInSteps()
{
    Links links;
    links.writer->setAcqTriggerCount(100);
    links.monitor->start();
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.monitorRecords > 0, 5000);

    QCOMPARE(m_board.command("trace inject 100"), QString("OK 100"));
    QTRY_COMPARE_WITH_TIMEOUT(links.recorder.traceRecords(), 100, 5000);
    QCOMPARE(links.recorder.batches.size(), 2);
    QCOMPARE(links.recorder.batches[0].size(), 62);
    QCOMPARE(links.recorder.batches[1].size(), 38);
    QCOMPARE(links.recorder.remaining, (QVector<int> { 38, 0 }));
}

void tst_IoControl::abortStopsTraceReadsUntilInitiate()
{
    Links links;
    links.monitor->start();
    QVERIFY(m_board.command("trace inject 30").startsWith("OK"));
    QTRY_COMPARE_WITH_TIMEOUT(links.recorder.traceRecords(), 30, 5000);

    links.monitor->acqCommand(IoControl::AcqAbort);
    // A cycle already under way may still read; records come only after the abort went out.
    QVERIFY(links.monitor->waitAcqCommandsSent());
    QVERIFY(m_board.command("trace inject 10").startsWith("OK"));
    // Twelve cycles or more: nothing is read while aborted.
    const int records = links.recorder.monitorRecords;
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.monitorRecords >= records + 3, 5000);
    QCOMPARE(links.recorder.traceRecords(), 30);

    // The initiate empties the trace area and restarts the count: 5 new records are read
    // although 30 were read before.
    links.monitor->acqCommand(IoControl::AcqInitiate);
    QTRY_VERIFY_WITH_TIMEOUT(m_board.log().size() == 2, 5000);
    const QList<PowerBoard::LogEntry> log = m_board.log();
    QCOMPARE(log[0].address, ioc::Address::CommandRegister);
    QCOMPARE(log[0].words, QVector<quint32> { 0x200 });
    QCOMPARE(log[1].words, QVector<quint32> { 0x100 });
    QCOMPARE(m_board.command("trace inject 5"), QString("OK 5"));
    QTRY_COMPARE_WITH_TIMEOUT(links.recorder.traceRecords(), 35, 5000);
    QCOMPARE(links.recorder.batches.last().size(), 5);
}

void tst_IoControl::acquisitionCommandWaitEndsOnceSent()
{
    Links links;
    // Nothing to wait for yet; a monitor that does not run sends nothing.
    QVERIFY(links.monitor->waitAcqCommandsSent());
    links.monitor->acqCommand(IoControl::AcqAbort);
    QVERIFY(!links.monitor->waitAcqCommandsSent());

    links.monitor->start();
    QVERIFY(links.monitor->waitAcqCommandsSent());
    QCOMPARE(m_board.log().size(), 1);
    links.monitor->acqCommand(IoControl::AcqInitiate);
    QVERIFY(links.monitor->waitAcqCommandsSent());
    const QList<PowerBoard::LogEntry> log = m_board.log();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0].words, QVector<quint32> { 0x200 });
    QCOMPARE(log[1].words, QVector<quint32> { 0x100 });

    links.monitor->stop();
    QVERIFY(links.monitor->wait(5000));
    links.monitor->acqCommand(IoControl::AcqAbort);
    QVERIFY(!links.monitor->waitAcqCommandsSent());
}

void tst_IoControl::monitorRecordEveryFourthCycle()
{
    Links links;
    links.monitor->start();
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.monitorRecords > 0, 5000);

    // Idle, the monitor makes one status read per cycle and one record read every 4th.
    const int records0 = links.recorder.monitorRecords;
    const quint64 exchanges0 = IoControl::exchangeCount();
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.monitorRecords >= records0 + 20, 10000);
    const int records = links.recorder.monitorRecords - records0;
    const qint64 cycles = qint64(IoControl::exchangeCount() - exchanges0) - records;
    QVERIFY2(qAbs(cycles - 4 * records) <= 4,
        qPrintable(QString("%1 cycles, %2 records").arg(cycles).arg(records)));
}

void tst_IoControl::failedExchangesLoseNothing()
{
    Links links;
    startWriter(links);
    links.monitor->start();
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.monitorRecords > 0, 5000);

    // 100 records, each with its own source voltage, so that a lost or repeated one shows.
    for (int k = 1; k <= 100; ++k) {
        QVERIFY(m_board.command(QString("source %1 1").arg(k)).startsWith("OK"));
        QVERIFY(m_board.command("trace inject 1").startsWith("OK"));
        if (k == 30) {
            QVERIFY(m_board.command("fail 5 close").startsWith("OK"));
            links.writer->setSineFrequency(9);
            links.writer->transfer();
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(links.recorder.traceRecords(), 100, 10000);
    QVector<double> volts;
    for (const auto &batch : qAsConst(links.recorder.batches))
        for (const TRACE_DATA &d : batch)
            volts << d.voltage;
    for (int k = 0; k < volts.size(); ++k)
        QCOMPARE(volts[k], (k + 1) * 1e6); // µV with the factor 1.0

    // The writer's change went out once the board answered again.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const PowerBoard::LogEntry &e : m_board.log())
                if (e.address == ioc::Address::SineGroup && e.words.value(0) == 9)
                    return true;
            return false;
        }(),
        5000);
    for (uint s : links.recorder.monitorStatus + links.recorder.writerStatus)
        QVERIFY2(s & ioc::Status::NotSlave, qPrintable(QString::number(s, 16)));
    const auto reported = errors().take();
    QCOMPARE(reported.size(), 1);
    QCOMPARE(reported[0].first, -310);
    QVERIFY2(reported[0].second.contains("/dev/spidev1.0"), qPrintable(reported[0].second));
}

void tst_IoControl::boardRestartRecovers()
{
    Links links;
    links.monitor->start();
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.monitorRecords > 0, 5000);

    QVERIFY(m_board.stop());
    QTRY_COMPARE_WITH_TIMEOUT(errors().take().size(), 1, 5000);
    const int records = links.recorder.monitorRecords;
    // Many failing cycles, still one report.
    const quint64 exchanges = IoControl::exchangeCount();
    QTRY_VERIFY_WITH_TIMEOUT(IoControl::exchangeCount() >= exchanges + 10, 5000);
    QCOMPARE(links.recorder.monitorRecords, records);
    QCOMPARE(errors().take().size(), 1);
    for (uint s : qAsConst(links.recorder.monitorStatus))
        QVERIFY(s & ioc::Status::NotSlave);

    QVERIFY2(m_board.start(), qPrintable(m_board.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(links.recorder.monitorRecords > records, 5000);
    QCOMPARE(m_board.command("trace inject 3"), QString("OK 3"));
    QTRY_COMPARE_WITH_TIMEOUT(links.recorder.traceRecords(), 3, 5000);

    // Both threads end on request.
    links.monitor->stop();
    QVERIFY(links.monitor->wait(2000));
}

QTEST_GUILESS_MAIN(tst_IoControl)
#include "tst_IoControl.moc"
