#include "engine/ioc/AvlTree.h"
#include "engine/ioc/IoControl.h"
#include "engine/ioc/ProgramStep.h"
#include "tests/support/PowerBoard.h"

#include <QtTest>

#include <memory>
#include <vector>

using ioc::AvlTree;
using ioc::IoControl;
using ioc::ProgramStep;

namespace {

struct StepDeleter
{
    void operator()(ProgramStep *step) const { delete step; }
};
using StepPtr = std::unique_ptr<ProgramStep, StepDeleter>;

// Board replies carry hexadecimal words, with or without "0x".
quint32 hexWord(const QString &text)
{
    QString t = text;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    return t.toUInt(nullptr, 16);
}

// The write units of the log that land in step memory (data and node records), by address.
QList<quint32> stepWrites(const QList<PowerBoard::LogEntry> &log)
{
    QList<quint32> addresses;
    for (const PowerBoard::LogEntry &e : log) {
        if (e.address < ProgramStep::NodeBase + 32u * ProgramStep::PoolSize)
            addresses << e.address;
    }
    return addresses;
}

// Status block: status word (bit 30 a started program runs), written count and cut-off,
// node address, loop counter.
constexpr quint32 StatusBlock = 0xE0000000;
constexpr quint32 StatusRunning = 0x40000000;

// Long enough that sampling cannot miss a step on a loaded machine.
constexpr quint64 StepDwellUs = 100000;

QString nodeAndPass(quint32 node, quint32 loop)
{
    return QString("%1/%2").arg(node, 0, 16).arg(loop);
}

} // namespace

// Step sets travel through the writer link to the simulated board: what lands in its step
// memory, in which order, and which step the board finds to run first.
class tst_AvlTreeTransfer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void steadyProgramAfterStart();
    void threeStepProgramRunsBothPasses();
    void subProgramCallSendsOnlyItsNodeRecord();
    void removalKeepsTheCallOnItsStep();
    void fullPoolWritesNothing();

private:
    // Hands the tree over, sends the program root and waits until the writer has sent both.
    void handOver(AvlTree &tree);
    // The engine's start: the transient command through the program group.
    void sendStart();
    void start();
    QVector<quint32> peek(quint32 address, int count);
    quint32 firstStepNode();

    PowerBoard m_board;
    std::unique_ptr<AvlTree> m_steady;
    std::unique_ptr<IoControl> m_writer;
};

void tst_AvlTreeTransfer::initTestCase()
{
    // Like the engine, the steady program is the pool's first user.
    m_steady.reset(new AvlTree);
    QCOMPARE(m_steady->makeSteadyProgram(), 0);
    QVERIFY2(m_board.start(), qPrintable(m_board.errorString()));
}

void tst_AvlTreeTransfer::init()
{
    QCOMPARE(m_board.command("reset"), QString("OK"));
    m_writer.reset(new IoControl(IoControl::Writer));
    m_writer->start();
    // The writer's first act is the calibration command; start from an empty log after it.
    QTRY_VERIFY_WITH_TIMEOUT(!m_board.log().isEmpty(), 5000);
    QVERIFY(m_board.clearLog());
}

void tst_AvlTreeTransfer::cleanup()
{
    m_writer.reset();
}

void tst_AvlTreeTransfer::handOver(AvlTree &tree)
{
    tree.transferTo(*m_writer);
    m_writer->transfer();
    // A register read is answered after everything queued before it has been sent.
    qint32 status = 0;
    QCOMPARE(m_writer->readRegister(0xE0000000, &status), 0);
}

void tst_AvlTreeTransfer::sendStart()
{
    m_writer->progCommand(IoControl::Tran, IoControl::ViaProgramGroup);
    m_writer->transfer();
}

void tst_AvlTreeTransfer::start()
{
    sendStart();
    qint32 status = 0;
    QCOMPARE(m_writer->readRegister(StatusBlock, &status), 0);
}

QVector<quint32> tst_AvlTreeTransfer::peek(quint32 address, int count)
{
    const QString reply = m_board.command(QString("peek %1 %2").arg(address, 0, 16).arg(count));
    QVector<quint32> words;
    const QStringList parts = reply.split(' ', Qt::SkipEmptyParts);
    if (parts.value(0) != QLatin1String("OK"))
        return words;
    for (int i = 1; i < parts.size(); ++i)
        words << hexWord(parts[i]);
    return words;
}

quint32 tst_AvlTreeTransfer::firstStepNode()
{
    // "OK <V> <A> <load> <node> ...": the node whose levels the board applies.
    return hexWord(m_board.command("measure").split(' ').value(4));
}

void tst_AvlTreeTransfer::steadyProgramAfterStart()
{
    handOver(*m_steady);

    // Head, the two steps in key order, tail, last step; then the program root.
    const QList<quint32> expected {
        0x400040, 0x100, 0x400080, 0xC0, 0x400060, 0x400000, 0x40, 0x400020
    };
    QCOMPARE(stepWrites(m_board.log()), expected);
    start();
    QCOMPARE(peek(0x50000000, 1), QVector<quint32> { 0x400040 });
    QCOMPARE(peek(0x400040, 8),
        (QVector<quint32> { 0xFFFFFFFF, 0, 0, 0, 0x400060, 0xFFFFFFFF, 0xFFFFFFFF, 0 }));
    QCOMPARE(peek(0x400060, 8)[5], 0x400080u);
    QCOMPARE(peek(0x400000, 8)[4], 0x400020u);
    // The board walks head -> root -> leftmost: step 1 runs first, in the first pass.
    QCOMPARE(firstStepNode(), 0x400080u);
    const QVector<quint32> status = peek(StatusBlock, 4);
    QCOMPARE(status[0] & StatusRunning, StatusRunning);
    QCOMPARE(status[2], 0x400080u);
    QCOMPARE(status[3], 1u);

    // Nothing changed: no record travels. One changed level: that step's data record only.
    QVERIFY(m_board.clearLog());
    handOver(*m_steady);
    QVERIFY(stepWrites(m_board.log()).isEmpty());
    m_steady->search(1)->setDc(1234);
    handOver(*m_steady);
    QCOMPARE(stepWrites(m_board.log()), QList<quint32> { 0x100 });
    QCOMPARE(peek(0x100 + 12, 1), QVector<quint32> { 1234 });
}

void tst_AvlTreeTransfer::threeStepProgramRunsBothPasses()
{
    AvlTree program;
    for (unsigned n : { 0u, 1u, 2u }) {
        ProgramStep *step = nullptr;
        QCOMPARE(program.insert(n, &step), 0);
        step->setTime(StepDwellUs);
        step->setDc(100 * (n + 1));
        step->setLoad(true);
    }
    program.head()->setLoop(2);
    handOver(program);

    QCOMPARE(peek(0x50000000, 1), QVector<quint32> { program.getRootAddress() });
    const QVector<quint32> head = peek(program.getRootAddress(), 8);
    QCOMPARE(head[0], 2u);
    QCOMPARE(head[4], program.root()->nodeAddress());
    const quint32 data0 = program.search(0)->dataAddress();
    QCOMPARE(peek(data0 + 12, 1), QVector<quint32> { 100 });
    QCOMPARE(peek(data0 + 8, 1)[0] & 0x10000, 0x10000u);

    // Sample the status block from before the start reaches the board until the run has ended;
    // the board is idle until then (reset by init()).
    QStringList seen;
    bool ran = false;
    QVector<quint32> status;
    QDeadlineTimer deadline(15000);
    sendStart();
    forever {
        status = peek(StatusBlock, 4);
        QCOMPARE(status.size(), 4);
        if (status[0] & StatusRunning) {
            ran = true;
            const QString now = nodeAndPass(status[2], status[3]);
            if (seen.isEmpty() || seen.last() != now)
                seen << now;
        } else if (ran) {
            break;
        }
        QVERIFY2(!deadline.hasExpired(), qPrintable("run not seen to end: " + seen.join(' ')));
    }

    QStringList expected;
    for (quint32 pass : { 1u, 2u }) {
        for (unsigned n : { 0u, 1u, 2u })
            expected << nodeAndPass(program.search(n)->nodeAddress(), pass);
    }
    QCOMPARE(seen, expected);
    // The tail hands over to the last step, whose settings hold after the end.
    QCOMPARE(status[2], program.lastStep()->nodeAddress());
    QCOMPARE(status[3], 2u);
    QCOMPARE(firstStepNode(), program.lastStep()->nodeAddress());
}

void tst_AvlTreeTransfer::subProgramCallSendsOnlyItsNodeRecord()
{
    AvlTree sub;
    ProgramStep *subStep = nullptr;
    QCOMPARE(sub.insert(0, &subStep), 0);
    subStep->setTime(ProgramStep::MaxTime); // the run stays in the sub-program
    AvlTree program;
    for (unsigned n : { 0u, 1u, 2u })
        QCOMPARE(program.insert(n), 0);
    handOver(sub);
    handOver(program);
    ProgramStep *caller = program.search(0);
    const QVector<quint32> dataBefore = peek(caller->dataAddress(), 16);

    QVERIFY(m_board.clearLog());
    caller->setDc(777); // a pending data change does not travel for a call
    caller->setSubProgram(&sub);
    handOver(program);

    QCOMPARE(stepWrites(m_board.log()), QList<quint32> { caller->nodeAddress() });
    QCOMPARE(peek(caller->nodeAddress() + 16, 1), QVector<quint32> { sub.getRootAddress() });
    QCOMPARE(peek(64u * quint32(caller->slot()), 16), dataBefore);
    // The board follows the call into the sub-program.
    start();
    QCOMPARE(firstStepNode(), subStep->nodeAddress());
}

void tst_AvlTreeTransfer::removalKeepsTheCallOnItsStep()
{
    AvlTree sub;
    ProgramStep *subStep = nullptr;
    QCOMPARE(sub.insert(0, &subStep), 0);
    subStep->setTime(ProgramStep::MaxTime);
    AvlTree program;
    for (unsigned n : { 1u, 0u, 2u })
        QCOMPARE(program.insert(n), 0);
    program.search(0)->setSubProgram(&sub);
    handOver(sub);
    handOver(program);
    start();
    QCOMPARE(firstStepNode(), subStep->nodeAddress());

    // Step 1 has two children; its node takes over step 0, the call included.
    QVERIFY(program.remove(1));
    program.renumber(2, -1);
    QCOMPARE(program.getSetpsList(), (QList<unsigned> { 0, 1 }));
    handOver(program);
    QCOMPARE(
        peek(program.root()->nodeAddress() + 16, 1), QVector<quint32> { sub.getRootAddress() });
    start();
    QCOMPARE(firstStepNode(), subStep->nodeAddress());
}

void tst_AvlTreeTransfer::fullPoolWritesNothing()
{
    AvlTree program;
    for (unsigned n : { 0u, 1u })
        QCOMPARE(program.insert(n), 0);
    handOver(program);
    const QVector<quint32> head = peek(program.getRootAddress(), 8);

    std::vector<StepPtr> fillers;
    while (ProgramStep *step = new ProgramStep(0))
        fillers.emplace_back(step);
    QVERIFY(m_board.clearLog());
    QCOMPARE(program.insert(2), AvlTree::MemoryError);
    handOver(program);

    QVERIFY(stepWrites(m_board.log()).isEmpty());
    QCOMPARE(peek(program.getRootAddress(), 8), head);
    QCOMPARE(program.getSetpsList(), (QList<unsigned> { 0, 1 }));
}

QTEST_GUILESS_MAIN(tst_AvlTreeTransfer)
#include "tst_AvlTreeTransfer.moc"
