#include "commands/SystErrCustom.h"
#include "gui/toolkit/ScpiErrorModel.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOSystErrCue.h"
#include "tests/support/HeadlessParser.h"

#include <QAbstractItemModelTester>
#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <thread>

using zo4882::s_esr;
using zo4882::s_stb;
using zo4882::s_systErrCue;
using zo4882::SYST_ERR_INFO;

namespace {

SYST_ERR_INFO entry(short code, const QString &detail = QString())
{
    return SYST_ERR_INFO(code, zo4882::INTF_SOCKET, detail);
}

QList<int> codes(const QAbstractItemModel &model)
{
    QList<int> result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.index(row, 0).data().toInt();
    return result;
}

QList<int> queueCodes()
{
    QList<int> result;
    for (const SYST_ERR_INFO &e : s_systErrCue.snapshot())
        result << e.code();
    return result;
}

// Every announcement the model makes, by kind.
struct Announcements
{
    explicit Announcements(QAbstractItemModel *model)
        : inserted(model, &QAbstractItemModel::rowsInserted)
        , removed(model, &QAbstractItemModel::rowsRemoved)
        , reset(model, &QAbstractItemModel::modelReset)
    { }
    int total() const { return inserted.size() + removed.size() + reset.size(); }

    QSignalSpy inserted;
    QSignalSpy removed;
    QSignalSpy reset;
};

} // namespace

// The error list's model over the instrument's own error queue, its hook and, for errors a
// client causes, the instrument's parser.
class tst_ScpiErrorModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void emptyQueueHasNoRows();
    void headersAndCells_data();
    void headersAndCells();
    void overflowResetsTheModel();
    void takingTheLastEntryEmptiesTheModel();
    void clearOfAnEmptyQueueTouchesNothing();
    void clearEmptiesQueueRegistersAndTellsTheHook();
    void oneNotificationForSeveralChanges();
    void clientErrorShowsItsCommand();
    void concurrentQueueReadAndClear();

private:
    HeadlessParser m_parser;
    std::atomic<int> m_emptied { 0 };
    std::unique_ptr<SystErrCustom> m_hook;
};

void tst_ScpiErrorModel::initTestCase()
{
    const QString problem = m_parser.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    // The instrument's hook with the main window's part replaced by a count of emptyings.
    m_hook = std::make_unique<SystErrCustom>(nullptr, nullptr, [this] {
        ++m_emptied;
    });
    s_systErrCue.setHook(m_hook.get());
}

void tst_ScpiErrorModel::init()
{
    s_systErrCue.clear();
    m_emptied = 0;
}

void tst_ScpiErrorModel::cleanupTestCase()
{
    s_systErrCue.setHook(nullptr);
}

void tst_ScpiErrorModel::emptyQueueHasNoRows()
{
    ScpiErrorModel model;
    Announcements announced(&model);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.queue());
    QVERIFY(!model.decue());
    QCOMPARE(announced.total(), 0);
    QCOMPARE(model.data(model.index(0, 0)), QVariant());
}

void tst_ScpiErrorModel::headersAndCells_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("message");
    QTest::newRow("with detail") << -222 << "CURR 9999"
                                 << "Data out of range; CURR 9999";
    QTest::newRow("without detail") << -113 << ""
                                    << "Undefined header";
    QTest::newRow("only the first separator") << -102 << "a;b"
                                              << "Syntax error; a;b";
    // An unknown number has no text: the separator leads and gets no blank.
    QTest::newRow("unknown number") << -999 << "x"
                                    << ";x";
}

void tst_ScpiErrorModel::headersAndCells()
{
    QFETCH(int, code);
    QFETCH(QString, detail);
    QFETCH(QString, message);
    s_systErrCue.cue(entry(-100));
    s_systErrCue.cue(entry(short(code), detail));
    ScpiErrorModel model;
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Code"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Message"));
    QCOMPARE(model.headerData(1, Qt::Vertical).toInt(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::ToolTipRole), QVariant());
    QCOMPARE(model.index(1, 0).data().toInt(), code);
    QCOMPARE(model.index(1, 1).data(Qt::EditRole).toString(), message);
    QCOMPARE(model.index(1, 1).data(Qt::ToolTipRole), QVariant());
    QVERIFY(!(model.flags(model.index(1, 1)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(1, 1)) & Qt::ItemIsSelectable);
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
}

void tst_ScpiErrorModel::overflowResetsTheModel()
{
    ScpiErrorModel model;
    for (int i = 0; i < zo4882::ZOSystErrCue::MaxEntries; ++i) {
        s_systErrCue.cue(entry(short(-100 - i)));
        QVERIFY(model.queue());
    }
    Announcements announced(&model);
    s_systErrCue.cue(entry(-101));
    QVERIFY(model.queue());
    QCOMPARE(announced.reset.size(), 1);
    QCOMPARE(announced.inserted.size(), 0);
    QCOMPARE(model.rowCount(), 16);
    QCOMPARE(model.index(15, 0).data().toInt(), -350);
    QCOMPARE(codes(model), queueCodes());
}

void tst_ScpiErrorModel::takingTheLastEntryEmptiesTheModel()
{
    ScpiErrorModel model;
    s_systErrCue.cue(entry(-100));
    QVERIFY(model.queue());
    Announcements announced(&model);
    s_systErrCue.decue();
    QVERIFY(!model.decue());
    QCOMPARE(announced.removed.size(), 1);
    QCOMPARE(model.rowCount(), 0);
}

void tst_ScpiErrorModel::clearOfAnEmptyQueueTouchesNothing()
{
    // Bits the queue did not set stay as they are.
    s_stb.setCondition(zo4882::ZO_STB_REGISTER::ErrorAvailable, 1);
    s_esr.setCondition(zo4882::ZO_ESR_REGISTER::ErrorClasses, 1);
    ScpiErrorModel model;
    Announcements announced(&model);
    model.clear();
    QCOMPARE(announced.total(), 0);
    QCOMPARE(m_emptied.load(), 0);
    QCOMPARE(s_stb.condition() & 0x04, 0x04);
    QCOMPARE(s_esr.condition() & 0x3C, 0x3C);
    s_stb.setCondition(zo4882::ZO_STB_REGISTER::ErrorAvailable, 0);
    s_esr.setCondition(zo4882::ZO_ESR_REGISTER::ErrorClasses, 0);
}

void tst_ScpiErrorModel::clearEmptiesQueueRegistersAndTellsTheHook()
{
    s_systErrCue.cue(entry(-100)); // command error
    s_systErrCue.cue(entry(-222)); // execution error
    s_systErrCue.cue(entry(-350)); // query error
    ScpiErrorModel model;
    QCOMPARE(model.rowCount(), 3);
    Announcements announced(&model);
    model.clear();
    QCOMPARE(announced.removed.size(), 1);
    QCOMPARE(announced.removed.at(0).at(2).toInt(), 2); // rows 0 to 2 at once
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(s_systErrCue.isEmpty());
    QCOMPARE(s_stb.condition() & 0x04, 0);
    QCOMPARE(s_esr.condition() & 0x3C, 0);
    QCOMPARE(m_emptied.load(), 1);
    // The hook's notification of the emptying finds nothing left to remove.
    QVERIFY(!model.decue());
    QCOMPARE(announced.total(), 1);
}

void tst_ScpiErrorModel::oneNotificationForSeveralChanges()
{
    ScpiErrorModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (short code : { -100, -101, -102 })
        s_systErrCue.cue(entry(code));
    QVERIFY(model.queue());
    QCOMPARE(model.rowCount(), 3);
    // Two taken and two added before the list hears of it.
    s_systErrCue.decue();
    s_systErrCue.decue();
    s_systErrCue.cue(entry(-103));
    s_systErrCue.cue(entry(-104));
    Announcements announced(&model);
    QVERIFY(model.queue());
    QCOMPARE(codes(model), (QList<int> { -102, -103, -104 }));
    QCOMPARE(announced.removed.size(), 1);
    QCOMPARE(announced.inserted.size(), 1);
    QCOMPARE(announced.reset.size(), 0);
    // The queue emptied elsewhere (*CLS) and refilled.
    s_systErrCue.clearWithStatus();
    s_systErrCue.cue(entry(-105));
    QVERIFY(model.queue());
    QCOMPARE(codes(model), (QList<int> { -105 }));
}

void tst_ScpiErrorModel::clientErrorShowsItsCommand()
{
    ScpiErrorModel model;
    QCOMPARE(m_parser.query("CURR 9999"), QByteArray());
    QVERIFY(model.queue());
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 0).data().toInt(), -222);
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("Data out of range; CURR 9999"));
    QCOMPARE(m_parser.query("SYST:ERR?"), QByteArray("-222,\"Data out of range;CURR 9999\""));
    QVERIFY(!model.decue());
}

// The parser's thread reads the queue while another thread queues errors and the list is
// cleared from the panel; the notifications reach the model queued, as the main window relays
// them. Each round lets both threads act a few times while the GUI thread catches up.
void tst_ScpiErrorModel::concurrentQueueReadAndClear()
{
    constexpr int Rounds = 10000;
    ScpiErrorModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto post = [&model](bool queued) {
        QMetaObject::invokeMethod(
            &model,
            [&model, queued] {
                queued ? model.queue() : model.decue();
            },
            Qt::QueuedConnection);
    };
    SystErrCustom relay(
        nullptr,
        [post] {
            post(true);
        },
        [post] {
            post(false);
        });
    s_systErrCue.setHook(&relay);

    QSemaphore queueTurns;
    QSemaphore readTurns;
    std::atomic<bool> stop { false };
    std::thread queuer([&] {
        for (int i = 0; queueTurns.tryAcquire(1, 30000) && !stop; ++i)
            s_systErrCue.cue(entry(short(-100 - i % 50), QString::number(i)));
    });
    std::thread reader([&] {
        while (readTurns.tryAcquire(1, 30000) && !stop)
            m_parser.query("SYST:ERR?");
    });
    for (int round = 0; round < Rounds; ++round) {
        queueTurns.release(3);
        readTurns.release(round % 3 == 0 ? 2 : 1);
        QCoreApplication::processEvents();
        if (round % 5 == 4)
            model.clear();
    }
    stop = true;
    queueTurns.release(1);
    readTurns.release(1);
    queuer.join();
    reader.join();
    s_systErrCue.setHook(m_hook.get());

    // After the last notification the rows are the queue.
    QCoreApplication::processEvents();
    QCOMPARE(model.queue(), !s_systErrCue.isEmpty());
    QCOMPARE(model.rowCount(), s_systErrCue.count());
    const QVector<SYST_ERR_INFO> entries = s_systErrCue.snapshot();
    for (int row = 0; row < entries.size(); ++row)
        QCOMPARE(model.index(row, 1).data().toString(), ScpiErrorModel::messageText(entries[row]));
}

QTEST_MAIN(tst_ScpiErrorModel)
#include "tst_ScpiErrorModel.moc"
