#include "engine/Basic.h"
#include "engine/Program.h"
#include "engine/ProgramStepsModel.h"
#include "engine/ProgramsModel.h"
#include "engine/ioc/AvlTree.h"
#include "engine/ioc/IoControl.h"
#include "platform/BoardPath.h"
#include "remote/StatusRegisters.h"
#include "tests/support/EngineFixture.h"

#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

using vek::Program;
using vek::SCPIERR_T;
using vek::Source;

using Codes = QVector<uint8_t>;
using Call = std::function<SCPIERR_T(Program &)>;
Q_DECLARE_METATYPE(Call)

namespace {

// Runs the workers in threads of their own while this thread's event loop serves the program's
// slots; bounded by a time-out.
bool inWorkers(const QList<std::function<void()>> &fns)
{
    QEventLoop loop;
    std::vector<std::unique_ptr<QThread>> threads;
    int running = fns.size();
    for (const auto &fn : fns) {
        threads.emplace_back(QThread::create(fn));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (--running == 0)
                loop.quit();
        });
    }
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    for (auto &t : threads)
        t->start();
    loop.exec();
    for (auto &t : threads)
        t->wait();
    return running == 0;
}

void inWorker(const std::function<void()> &fn)
{
    QVERIFY(inWorkers({ fn }));
}

quint16 operCondition()
{
    return quint16(zo4882::s_statOper.condition());
}

} // namespace

// The program object over a writer and a monitor link on the simulated board, its programs in
// the board root's CC directory. Remote-style requests come from worker threads while the test
// thread, which owns the object, runs the slots.
class tst_Program : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void refusals_data();
    void refusals();
    void stepEditsReadBack();
    void listPutsSubProgramsAfterTheirProgram();
    void interleavedRequestsGetTheirOwnResults();
    void initiateSendsAbortTreeAndStartInOrder();
    void runStateFollowsTheReports();
    void runsBothPassesOnTheBoardAndRestartsTheSteadyProgram_data();
    void runsBothPassesOnTheBoardAndRestartsTheSteadyProgram();

private:
    // Creates and selects a program of three steps from a worker thread.
    void makeSelected(const QString &path = QStringLiteral("/P"));

    EngineFixture m_engine;
    std::unique_ptr<vek::Basic> m_basic;
    std::unique_ptr<Program> m_program;
};

void tst_Program::init()
{
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(true), qPrintable(m_engine.errorString()));
    QVERIFY(QDir().mkpath(platform::BoardPath::map(QStringLiteral("/etc/instr/programs/cc"))));
    m_program = std::make_unique<Program>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    m_program->onFunctionModeChange(vek::SourceMode(0), false);
    zo4882::s_statOper.setCondition(qint16(-1), 0);
}

void tst_Program::cleanup()
{
    m_program.reset();
    m_basic.reset();
    Source::resetState();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

void tst_Program::makeSelected(const QString &path)
{
    Program *p = m_program.get();
    SCPIERR_T created = 1, selected = 1, sized = 1;
    inWorker([&] {
        created = p->request([&] {
            return p->doCreate(path);
        });
        selected = p->request([&] {
            return p->setSelected(path);
        });
        sized = p->request([&] {
            return p->setStepsCount(3);
        });
    });
    QCOMPARE(created, SCPIERR_T(0));
    QCOMPARE(selected, SCPIERR_T(0));
    QCOMPARE(sized, SCPIERR_T(0));
}

void tst_Program::refusals_data()
{
    QTest::addColumn<bool>("select");
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("error");

    QTest::newRow("steps 0") << true << Call([](Program &p) {
        return p.setStepsCount(0);
    }) << -222;
    QTest::newRow("steps 10001") << true << Call([](Program &p) {
        return p.setStepsCount(10001);
    }) << -222;
    QTest::newRow("steps as they are") << true << Call([](Program &p) {
        return p.setStepsCount(3);
    }) << 0;
    QTest::newRow("loop 100001") << true << Call([](Program &p) {
        return p.setLoop(100001);
    }) << -222;
    QTest::newRow("step 0") << true << Call([](Program &p) {
        return p.setStepLevel(0, 1.0);
    }) << 307;
    QTest::newRow("step past the end") << true << Call([](Program &p) {
        return p.setStepOutput(4, true);
    }) << 307;
    QTest::newRow("dwell too short") << true << Call([](Program &p) {
        return p.setStepDwell(1, 2.4e-5);
    }) << -222;
    QTest::newRow("dwell NaN") << true << Call([](Program &p) {
        return p.setStepDwell(1, qQNaN());
    }) << -222;
    QTest::newRow("dwell shortest") << true << Call([](Program &p) {
        return p.setStepDwell(1, 2.5e-5);
    }) << 0;
    QTest::newRow("dwell longest") << true << Call([](Program &p) {
        return p.setStepDwell(3, 3600000.0);
    }) << 0;
    QTest::newRow("create in ARB") << false << Call([](Program &p) {
        Source::m_functionMode = vek::SourceMode(4);
        return p.doCreate(QStringLiteral("/X"));
    }) << 106;
    QTest::newRow("second INIT") << true << Call([](Program &p) {
        if (p.initiateTransient(QString()) != 0)
            return SCPIERR_T(1);
        return p.initiateTransient(QString());
    }) << -213;
    QTest::newRow("INIT without selection") << false << Call([](Program &p) {
        return p.initiateTransient(QString());
    }) << 304;
    QTest::newRow("trigger before INIT") << true << Call([](Program &p) {
        return p.triggerTransient();
    }) << -213;
    QTest::newRow("trigger while running") << true << Call([](Program &p) {
        p.initiateTransient(QString());
        return p.triggerTransient();
    }) << -211;
    QTest::newRow("trigger at run start without BUS") << true << Call([](Program &p) {
        p.initiateTransient(QString());
        p.onStateWait(false);
        return p.triggerTransient();
    }) << -211;
    QTest::newRow("m-sync without link, idle") << false << Call([](Program &p) {
        return p.msyncTransient();
    }) << 110;
    QTest::newRow("chain") << false << Call([](Program &p) {
        return p.chain("x");
    }) << -102;
    QTest::newRow("save without selection") << false << Call([](Program &p) {
        return p.save();
    }) << 304;
}

void tst_Program::refusals()
{
    QFETCH(bool, select);
    QFETCH(Call, call);
    QFETCH(int, error);
    if (select)
        makeSelected();
    int count = 0;
    QCOMPARE(int(call(*m_program)), error);
    if (select) {
        QCOMPARE(m_program->getStepsCount(&count), SCPIERR_T(0));
        QCOMPARE(count, 3);
    }
}

void tst_Program::stepEditsReadBack()
{
    makeSelected();
    Program &p = *m_program;
    Codes codes;
    QCOMPARE(p.setStepTrigWait(2, { 1, 8 }), SCPIERR_T(0));
    QCOMPARE(p.getStepTrigWait(2, &codes), SCPIERR_T(0));
    QCOMPARE(codes, Codes({ 1, 8 }));
    codes.clear();
    QCOMPARE(p.setStepTrigWait(2, { 0 }), SCPIERR_T(0));
    QCOMPARE(p.getStepTrigWait(2, &codes), SCPIERR_T(0));
    QCOMPARE(codes, Codes({ 0 }));
    codes.clear();
    QCOMPARE(p.getStepTrigGen(2, &codes), SCPIERR_T(0));
    QVERIFY(codes.isEmpty());
    QCOMPARE(p.setStepTrigGen(2, { 7, 3, 6 }), SCPIERR_T(0));
    QCOMPARE(p.getStepTrigGen(2, &codes), SCPIERR_T(0));
    QCOMPARE(codes, Codes({ 3, 6, 7 }));

    double level = 0;
    QCOMPARE(p.setStepLevel(3, 2.5), SCPIERR_T(0));
    QCOMPARE(p.getStepLevel(3, &level), SCPIERR_T(0));
    QVERIFY(qAbs(level - 2.5) < 0.01);
    QCOMPARE(p.getStepLevel(0, &level), SCPIERR_T(307));
    QCOMPARE(level, 9.9e37);
    bool on = true;
    QCOMPARE(p.getStepOutput(4, &on), SCPIERR_T(307));
    QVERIFY(!on);

    unsigned loop = 1;
    QCOMPARE(p.setLoop(0), SCPIERR_T(0));
    QCOMPARE(p.getLoop(&loop), SCPIERR_T(0));
    QCOMPARE(loop, 0u);
    QCOMPARE(p.setLoop(100000), SCPIERR_T(0));
    QCOMPARE(p.getLoop(&loop), SCPIERR_T(0));
    QCOMPARE(loop, 100000u);

    // A range change closes the program: it must be selected again before a run.
    p.onVoltRangeChange(vek::SourceVoltageRange(0));
    QCOMPARE(p.initiateTransient(QString()), SCPIERR_T(304));
    QCOMPARE(p.setSelected("/P"), SCPIERR_T(0));
    p.onCurrRangeChange(vek::SourceCurrentRange(1), vek::SourceCurrentRange(1));
    QCOMPARE(p.getStepLevel(1, &level), SCPIERR_T(307));
}

void tst_Program::listPutsSubProgramsAfterTheirProgram()
{
    Program &p = *m_program;
    QCOMPARE(p.doCreate("/C"), SCPIERR_T(0));
    QCOMPARE(p.doCreate("/A"), SCPIERR_T(0));
    QCOMPARE(p.doCreate("/A/B"), SCPIERR_T(0));
    QCOMPARE(p.list(), QStringList({ "/A", "/A/B", "/C" }));
    QCOMPARE(Program::physicalProrgamPath(vek::SourceMode(4)), QString("/etc/instr/programs/nc"));
    // The mode change rescans the new mode's (empty) directory.
    QVERIFY(QDir().mkpath(platform::BoardPath::map(QStringLiteral("/etc/instr/programs/cv"))));
    p.onFunctionModeChange(vek::SourceMode(2), false);
    QCOMPARE(p.programsModel()->rowCount(), 0);
    p.onFunctionModeChange(vek::SourceMode(0), false);
    QCOMPARE(p.programsModel()->rowCount(), 2);
}

// Two handlers and a stream of plain requests at once: every handshake request must get the
// result of its own work, never one stored by another request.
void tst_Program::interleavedRequestsGetTheirOwnResults()
{
    makeSelected();
    Program *p = m_program.get();
    std::atomic<int> wrong { 0 };
    auto worker = [&](bool first) {
        for (int i = 0; i < 1000; ++i) {
            const SCPIERR_T got = first ? p->request([&] {
                return p->setLaststepState(i % 2);
            })
                                        : p->request([&] {
                                              return p->setStepDwell(1 + i % 5, 1.0);
                                          });
            const SCPIERR_T expected = first ? 0 : (1 + i % 5 <= 3 ? 0 : 307);
            if (got != expected)
                ++wrong;
            Q_EMIT p->voltageProtectionStateChanged(i % 2); // plain: its result reaches nobody
            Q_EMIT p->chained(QStringLiteral("x"));
        }
    };
    QVERIFY(inWorkers({ [&] {
                           worker(true);
                       },
        [&] {
            worker(false);
        } }));
    QCOMPARE(wrong.load(), 0);
}

void tst_Program::initiateSendsAbortTreeAndStartInOrder()
{
    makeSelected();
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->clearLog());
    SCPIERR_T started = 1;
    inWorker([&] {
        started = m_program->initiateTransient(QString());
    });
    QCOMPARE(started, SCPIERR_T(0));
    QVERIFY(operCondition() & Program::OperProgramRunning);
    QVERIFY(m_engine.flushWriter());

    // The tree's writes are those to its own records: other writes (steady settings, the
    // writer's start-up) may come at any time and tell nothing about the order.
    QSet<quint32> treeRecords;
    const ioc::AvlTree *tree = m_program->programsModel()->stepsModel()->programObject();
    QVERIFY(tree);
    QList<const ioc::ProgramStep *> nodes { tree->head(), tree->tail(), tree->lastStep() };
    for (unsigned n : tree->getSetpsList())
        nodes << tree->search(n);
    for (const ioc::ProgramStep *step : nodes)
        treeRecords << step->nodeAddress() << step->dataAddress();

    const QList<PowerBoard::LogEntry> log = m_engine.board->log();
    int abortAt = -1, firstTreeAt = -1, lastTreeAt = -1, startAt = -1;
    for (int i = 0; i < log.size(); ++i) {
        const PowerBoard::LogEntry &e = log[i];
        if (abortAt < 0 && e.address == EngineFixture::ProgramGroupAddress && e.words.size() > 1
            && (e.words[1] & 0xFF) == ioc::IoControl::TranAbort)
            abortAt = i;
        if (treeRecords.contains(e.address)) {
            if (firstTreeAt < 0)
                firstTreeAt = i;
            lastTreeAt = i;
        }
        if (startAt < 0 && e.address == EngineFixture::CommandAddress && !e.words.isEmpty()
            && (e.words[0] & 0xFF) == ioc::IoControl::TranProgInit)
            startAt = i;
    }
    const QString at = QString("abort %1, tree %2..%3, start %4")
                           .arg(abortAt)
                           .arg(firstTreeAt)
                           .arg(lastTreeAt)
                           .arg(startAt);
    QVERIFY2(abortAt >= 0 && firstTreeAt >= 0 && startAt >= 0, qPrintable(at));
    QVERIFY2(abortAt < firstTreeAt, qPrintable(at));
    QVERIFY2(lastTreeAt < startAt, qPrintable(at));
}

void tst_Program::runStateFollowsTheReports()
{
    makeSelected();
    Program &p = *m_program;
    QCOMPARE(p.initiateTransient(QString()), SCPIERR_T(0));
    p.onStateWait(true);
    QCOMPARE(p.transientState(), int(Program::WaitingForTrigger));
    QVERIFY(operCondition() & Program::OperWaitingForTrigger);
    QCOMPARE(p.triggerTransient(), SCPIERR_T(0)); // a step's wait takes the trigger
    p.onStateRun();
    QCOMPARE(p.transientState(), int(Program::Running));
    QVERIFY(!(operCondition() & Program::OperWaitingForTrigger));
    // Creating, deleting and selecting are refused during the run.
    QCOMPARE(p.doCreate("/Q"), SCPIERR_T(104));
    QCOMPARE(p.setSelected(QString()), SCPIERR_T(104));
    p.onStatePause();
    QVERIFY(operCondition() & Program::OperSuspended);
    p.onStateRun();
    QVERIFY(!(operCondition() & Program::OperSuspended));
    QSignalSpy loops(&p, &Program::transientLoopChanged);
    p.onTransientLoopChange(2);
    QCOMPARE(loops.size(), 1);
    QCOMPARE(p.transientLoop(), 2u);
    QCOMPARE(p.abortTransient(), SCPIERR_T(0));
    QVERIFY(!p.initiated());
    p.onStateIdle(0);
    QCOMPARE(p.transientState(), int(Program::Idle));
    QVERIFY(!(operCondition() & Program::OperProgramRunning));
    // A new run may start once the last one has ended.
    QCOMPARE(p.initiateTransient(QString()), SCPIERR_T(0));
}

// The whole path as the engine root wires it: edits and the start from a worker thread, the run
// on the board followed through the status object and the monitor link, a step's bus wait and a
// suspension in the first pass, the write-back and the steady program at the end.
void tst_Program::runsBothPassesOnTheBoardAndRestartsTheSteadyProgram_data()
{
    // The board stops at the last-step node, whose level is 2.5 A (step 3's is 3 A): enabled,
    // the level comes from the last-step setting; disabled, from the node the run stopped at.
    QTest::addColumn<bool>("lastStep");
    QTest::newRow("last step on") << true;
    QTest::newRow("last step off") << false;
}

void tst_Program::runsBothPassesOnTheBoardAndRestartsTheSteadyProgram()
{
    QFETCH(bool, lastStep);
    m_basic = std::make_unique<vek::Basic>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    QSignalSpy modes(m_basic.get(), &Source::operationModeChanged);
    QTRY_COMPARE(modes.size(), 1); // the steady program runs
    QCOMPARE(m_basic->setRealCurrentLevel(1.0, vek::UpdateIfChanged), SCPIERR_T(0));
    QVERIFY(m_engine.flushWriter());
    const quint32 steadyHead = m_engine.peek(EngineFixture::ProgramGroupAddress).value(0);

    m_program = std::make_unique<Program>(m_engine.writer.get(),
        m_engine.info.get(),
        m_engine.status.get(),
        &m_engine.config,
        m_basic.get());
    Program *p = m_program.get();
    p->onFunctionModeChange(vek::SourceMode(0), false);
    vek::Status *status = m_engine.status.get();
    ioc::IoControl *monitor = m_engine.monitor.get();
    connect(monitor,
        &ioc::IoControl::transientAddressChanged,
        status,
        &vek::Status::onTransientAddressChange);
    connect(status, &vek::Status::stateProgIdle, p, &Program::onStateIdle);
    connect(status, &vek::Status::stateProgRunning, p, &Program::onStateRun);
    connect(status, &vek::Status::stateProgPause, p, &Program::onStatePause);
    connect(status, &vek::Status::stateProgWaiting, p, &Program::onStateWait);
    connect(
        monitor, &ioc::IoControl::transientAddressChanged, p, &Program::onTransientAddressChange);
    connect(monitor, &ioc::IoControl::transientLoopChanged, p, &Program::onTransientLoopChange);

    // (loop, step) of every executing step as the program object reports it, with STAT:OPER 64.
    QSet<QPair<unsigned, unsigned>> seen;
    bool operWhileRunning = true;
    auto note = [&] {
        if (p->transientStep() == 0 || p->transientLoop() == 0 || !p->initiated())
            return;
        seen.insert({ p->transientLoop(), p->transientStep() });
        operWhileRunning = operWhileRunning && (operCondition() & Program::OperProgramRunning);
    };
    connect(p, &Program::transientStepChanged, this, note);
    connect(p, &Program::transientLoopChanged, this, note);

    QVector<SCPIERR_T> results;
    inWorker([&] {
        auto req = [&](const std::function<SCPIERR_T()> &work) {
            results << p->request(work);
        };
        req([&] {
            return p->doCreate("/RUN");
        });
        req([&] {
            return p->setSelected("/RUN");
        });
        req([&] {
            return p->setStepsCount(3);
        });
        req([&] {
            return p->setLoop(2);
        });
        for (unsigned step = 1; step <= 3; ++step) {
            req([&] {
                return p->setStepLevel(step, double(step));
            });
            req([&] {
                return p->setStepDwell(step, step == 3 ? 0.4 : 0.15);
            });
        }
        req([&] {
            return p->setStepTrigWait(2, { Program::CodeBus });
        });
        req([&] {
            return p->setLaststepState(lastStep);
        });
        req([&] {
            return p->setLaststepOutput(false);
        });
        req([&] {
            return p->setLaststepLevel(2.5);
        });
        results << p->initiateTransient(QString());
    });
    QCOMPARE(results, QVector<SCPIERR_T>(results.size(), 0));

    auto fromWorker = [&](const std::function<SCPIERR_T()> &call) {
        SCPIERR_T result = 1;
        inWorker([&] {
            result = call();
        });
        return result;
    };
    for (unsigned pass = 1; pass <= 2; ++pass) {
        // Step 2 waits for the bus trigger in each pass.
        QTRY_COMPARE_WITH_TIMEOUT(p->transientState(), int(Program::WaitingForTrigger), 5000);
        QVERIFY(p->waitInStep());
        QVERIFY(operCondition() & Program::OperWaitingForTrigger);
        QCOMPARE(p->transientLoop(), pass);
        if (pass == 1) {
            // An edit during the run reaches the controller at once.
            QVERIFY(m_engine.flushWriter());
            QVERIFY(m_engine.board->clearLog());
            QCOMPARE(fromWorker([&] {
                return p->request([&] {
                    return p->setStepLevel(3, 2.0);
                });
            }),
                SCPIERR_T(0));
            const ioc::AvlTree *tree = p->programsModel()->stepsModel()->programObject();
            QVERIFY(tree && tree->search(2));
            QVERIFY(m_engine.flushWriter());
            QVERIFY(!EngineFixture::writesTo(m_engine.board->log(), tree->search(2)->dataAddress())
                         .isEmpty());
        }
        QCOMPARE(fromWorker([&] {
            return p->triggerTransient();
        }),
            SCPIERR_T(0));
        QTRY_COMPARE_WITH_TIMEOUT(p->transientState(), int(Program::Running), 5000);
        QVERIFY(!(operCondition() & Program::OperWaitingForTrigger));
        if (pass == 1) {
            QCOMPARE(fromWorker([&] {
                return p->triggerTransientSupend();
            }),
                SCPIERR_T(0));
            QTRY_COMPARE_WITH_TIMEOUT(p->transientState(), int(Program::Suspended), 5000);
            QVERIFY(operCondition() & Program::OperSuspended);
            QCOMPARE(fromWorker([&] {
                return p->triggerTransientResume();
            }),
                SCPIERR_T(0));
            QTRY_COMPARE_WITH_TIMEOUT(p->transientState(), int(Program::Running), 5000);
            QVERIFY(!(operCondition() & Program::OperSuspended));
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(!p->initiated() && p->transientState() == Program::Idle, 10000);
    QVERIFY(!(operCondition() & Program::OperProgramRunning));
    for (unsigned loop : { 1u, 2u }) {
        for (unsigned step : { 1u, 2u, 3u })
            QVERIFY2(
                seen.contains({ loop, step }), qPrintable(QString("%1/%2").arg(loop).arg(step)));
    }
    QVERIFY(operWhileRunning);

    // The last step's level is the basic setting now, and the steady program runs again.
    QCOMPARE(m_basic->getRealCurrentLevel(), 2.5);
    QVERIFY(m_engine.flushWriter());
    QCOMPARE(m_engine.peek(EngineFixture::ProgramGroupAddress).value(0), steadyHead);
    QTRY_COMPARE(m_engine.board->command("program").split(' ').value(1), QString("run"));
}

QTEST_MAIN(tst_Program)
#include "tst_Program.moc"
