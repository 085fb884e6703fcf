#include "engine/DataLogger.h"
#include "remote/StatusRegisters.h"

#include <QAbstractItemModelTester>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <memory>
#include <sys/resource.h>

using ioc::TRACE_DATA;

namespace {

constexpr short OperDataAvailable = 2048;

// Record number k: every field derived from k, so that a torn or mixed-up copy shows.
TRACE_DATA record(int k)
{
    TRACE_DATA r;
    r.elapsedTime = k;
    r.current = k + 0.25;
    r.voltage = 2.0 * k;
    r.power = 3.0 * k;
    r.capacity = k / 8.0;
    r.energy = k / 16.0;
    return r;
}

bool dataAvailable()
{
    return zo4882::s_statOper.condition() & OperDataAvailable;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Lowers the file-size limit of this process, so that writes beyond it fail as on a full
// medium (SIGXFSZ ignored: the write returns an error instead).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old {};
    void (*m_handler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

// The record logger: its bounded buffer, its read-outs, its table model and its CSV file, and
// changes asked for from another thread while views are attached.
class tst_DataLogger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void bufferSize_data();
    void bufferSize();
    void fullBufferDropsTheOldest();
    void smallerBufferShrinksOneRecordPerAppend();
    void dequeueUpdatesDataAvailable_data();
    void dequeueUpdatesDataAvailable();
    void formatChoosesTheColumns_data();
    void formatChoosesTheColumns();
    void tableModel();
    void rowsAnnouncedOncePerBatch();
    void csvFile_data();
    void csvFile();
    void overRangeValueWrittenInFull();
    void saveToAFullMediumLeavesNothing();
    void saveToAMissingFolderFails();
    void callsFromAnotherThreadRunInTheLoggersThread();
    void closedCallsReturnWithoutEffect();
    void drainFromAnotherThreadWaitsForNothing();
    void readersAndDequeuesWhileAppending();

private:
    // Appends the records from..to-1 as the acquisition does with one batch.
    void appendBatch(DataLogger &logger, int from, int to, int *pending);
};

void tst_DataLogger::init()
{
    zo4882::s_statOper.powerOn();
}

void tst_DataLogger::appendBatch(DataLogger &logger, int from, int to, int *pending)
{
    for (int k = from; k < to; ++k) {
        if (k == from) {
            logger.appendWithRow(record(k), *pending);
            *pending = 0;
        } else {
            logger.append(record(k));
        }
    }
    *pending += qMax(0, to - from - 1);
}

void tst_DataLogger::bufferSize_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("kept");

    QTest::newRow("below the minimum") << 1000 << -222 << 4096;
    QTest::newRow("zero") << 0 << -222 << 4096;
    QTest::newRow("negative") << -1024 << -222 << 4096;
    QTest::newRow("not a power of two") << 3000 << 201 << 4096;
    QTest::newRow("above the maximum") << 131072 << -222 << 4096;
    QTest::newRow("minimum") << 1024 << 0 << 1024;
    QTest::newRow("power of two") << 2048 << 0 << 2048;
    QTest::newRow("maximum") << 65536 << 0 << 65536;
}

void tst_DataLogger::bufferSize()
{
    QFETCH(int, size);
    QFETCH(int, error);
    QFETCH(int, kept);
    DataLogger logger;
    QCOMPARE(logger.setBufSize(4096), 0);
    for (int k = 0; k < 3000; ++k)
        logger.append(record(k));
    QCOMPARE(int(logger.setBufSize(size)), error);
    QCOMPARE(logger.getBufSize(), kept);
    // Whatever the answer, the records stay as they were.
    QCOMPARE(logger.getNumOfData(), 3000);
    QCOMPARE(logger.last()->elapsedTime, 2999.0);
}

void tst_DataLogger::fullBufferDropsTheOldest()
{
    DataLogger logger;
    QCOMPARE(logger.setBufSize(1024), 0);
    int pending = 0;
    appendBatch(logger, 0, 1024, &pending);
    QCOMPARE(logger.rowCount(), 1);
    logger.appendRow(pending);
    QCOMPARE(logger.rowCount(), 1024);

    QSignalSpy removed(&logger, &QAbstractItemModel::rowsAboutToBeRemoved);
    pending = 0;
    appendBatch(logger, 1024, 1025, &pending);
    QCOMPARE(logger.getNumOfData(), 1024);
    QCOMPARE(logger.rowCount(), 1024);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0].value(1).toInt(), 0);
    QCOMPARE(removed[0].value(2).toInt(), 0);
    QCOMPARE(logger.data(logger.index(0, DataLogger::ETime)).toDouble(), 1.0);
    QCOMPARE(logger.last()->elapsedTime, 1024.0);
}

void tst_DataLogger::smallerBufferShrinksOneRecordPerAppend()
{
    DataLogger logger;
    QCOMPARE(logger.setBufSize(2048), 0);
    for (int k = 0; k < 2000; ++k)
        logger.append(record(k));
    QCOMPARE(logger.setBufSize(1024), 0);
    logger.append(record(2000));
    QCOMPARE(logger.getNumOfData(), 2000);
    QCOMPARE(logger.dequeFirstWithFormat(1).value(0).value(0), record(1).current);
}

void tst_DataLogger::dequeueUpdatesDataAvailable_data()
{
    QTest::addColumn<int>("held");
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("got");
    QTest::addColumn<bool>("available");

    QTest::newRow("more asked than held") << 3 << 5 << 3 << false;
    QTest::newRow("fewer asked than held") << 10 << 5 << 5 << true;
    QTest::newRow("all of them") << 4 << 4 << 4 << false;
    QTest::newRow("none asked, some held") << 2 << 0 << 0 << true;
    QTest::newRow("none asked, none held") << 0 << 0 << 0 << false;
}

void tst_DataLogger::dequeueUpdatesDataAvailable()
{
    QFETCH(int, held);
    QFETCH(int, asked);
    QFETCH(int, got);
    QFETCH(bool, available);
    DataLogger logger;
    for (int k = 0; k < held; ++k)
        logger.append(record(k));
    zo4882::s_statOper.setCondition(OperDataAvailable, available ? 0 : 1);

    const QVector<QVector<double>> values = logger.dequeFirstWithFormat(unsigned(asked));
    QCOMPARE(values.size(), got);
    for (int k = 0; k < got; ++k) {
        const TRACE_DATA r = record(k);
        QCOMPARE(values[k], (QVector<double> { r.current, r.voltage, r.power }));
    }
    QCOMPARE(logger.getNumOfData(), held - got);
    QCOMPARE(dataAvailable(), available);
}

void tst_DataLogger::formatChoosesTheColumns_data()
{
    QTest::addColumn<DlFormatItems>("format");
    QTest::addColumn<int>("error");
    QTest::addColumn<QVector<double>>("values");

    const TRACE_DATA r = record(7);
    QTest::newRow("default") << DlFormatItems {} << -224
                             << QVector<double> { r.current, r.voltage, r.power };
    QTest::newRow("time then current")
        << DlFormatItems { 3, 0 } << 0 << QVector<double> { r.elapsedTime, r.current };
    QTest::newRow("all six")
        << DlFormatItems { 0, 1, 2, 3, 4, 5 } << 0
        << QVector<double> { r.current, r.voltage, r.power, r.elapsedTime, r.capacity, r.energy };
    QTest::newRow("repeated") << DlFormatItems { 5, 5 } << 0
                              << QVector<double> { r.energy, r.energy };
    QTest::newRow("unknown codes give nothing")
        << DlFormatItems { 9, 1, -1 } << 0 << QVector<double> { r.voltage };
}

void tst_DataLogger::formatChoosesTheColumns()
{
    QFETCH(DlFormatItems, format);
    QFETCH(int, error);
    QFETCH(QVector<double>, values);
    DataLogger logger;
    QCOMPARE(logger.getLastWithFormat(), QVector<double>());
    logger.append(record(3));
    logger.append(record(7));
    QCOMPARE(int(logger.setFormat(format)), error);
    if (error == 0)
        QCOMPARE(logger.getFormat(), format);
    QCOMPARE(logger.getLastWithFormat(), values);
    QCOMPARE(logger.dequeFirstWithFormat(2).value(1), values);
    QVERIFY(!logger.last());
}

void tst_DataLogger::tableModel()
{
    DataLogger logger;
    QAbstractItemModelTester tester(
        &logger, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(logger.columnCount(), 6);
    const QStringList titles {
        "ETime[s]", "Current[A]", "Voltage[V]", "Power[W]", "Capacity[Ah]", "Energy[Wh]"
    };
    for (int c = 0; c < 6; ++c)
        QCOMPARE(logger.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);
    QVERIFY(!logger.headerData(6, Qt::Horizontal, Qt::DisplayRole).isValid());
    QVERIFY(!logger.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QCOMPARE(logger.headerData(0, Qt::Vertical, Qt::DisplayRole), QVariant(1));
    QCOMPARE(logger.headerData(41, Qt::Vertical, Qt::DisplayRole), QVariant(42));

    int pending = 0;
    appendBatch(logger, 5, 6, &pending);
    const TRACE_DATA r = record(5);
    const QVector<double> row {
        r.elapsedTime, r.current, r.voltage, r.power, r.capacity, r.energy
    };
    for (int c = 0; c < 6; ++c)
        QCOMPARE(logger.data(logger.index(0, c)), QVariant(row[c]));
    QVERIFY(!logger.data(logger.index(0, 2), Qt::SizeHintRole).isValid());
    QVERIFY(!logger.data(logger.index(0, 2), Qt::EditRole).isValid());
    QVERIFY(!logger.data(logger.index(0, 2), Qt::ToolTipRole).isValid());
    QVERIFY(!logger.data(logger.index(1, 2)).isValid());
    QVERIFY(logger.flags(logger.index(0, 0)) & Qt::ItemIsSelectable);
    QVERIFY(logger.flags(logger.index(0, 0)) & Qt::ItemIsEnabled);
    QVERIFY(!(logger.flags(logger.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!logger.setData(logger.index(0, 0), 1.0));
    QCOMPARE(logger.data(logger.index(0, 0)), QVariant(5.0));

    QSignalSpy reset(&logger, &QAbstractItemModel::modelReset);
    logger.clear();
    QCOMPARE(reset.size(), 1);
    QCOMPARE(logger.rowCount(), 0);
    QVERIFY(logger.isEmpty());
    QVERIFY(!logger.last());
}

void tst_DataLogger::rowsAnnouncedOncePerBatch()
{
    DataLogger logger;
    QAbstractItemModelTester tester(
        &logger, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&logger, &QAbstractItemModel::rowsInserted);

    // Batches of 62, 62 and 10 as the monitor link delivers 134 records; each batch is
    // announced with the first record of the next, the rest at the end.
    int pending = 0;
    appendBatch(logger, 0, 62, &pending);
    QCOMPARE(logger.rowCount(), 1);
    appendBatch(logger, 62, 124, &pending);
    QCOMPARE(logger.rowCount(), 63);
    appendBatch(logger, 124, 134, &pending);
    QCOMPARE(logger.rowCount(), 125);
    logger.appendRow(pending);
    QCOMPARE(logger.rowCount(), 134);
    QCOMPARE(logger.getNumOfData(), 134);
    QCOMPARE(inserted.size(), 4);
    QCOMPARE(logger.data(logger.index(133, 0)), QVariant(133.0));

    // Records dequeued meanwhile: the logger's own count of held records stands, and the
    // announced rows leave the model first.
    appendBatch(logger, 134, 150, &pending);
    QCOMPARE(logger.dequeFirstWithFormat(140).size(), 140);
    QCOMPARE(logger.rowCount(), 0);
    logger.appendRow(pending); // 15 counted, 10 held
    QCOMPARE(logger.rowCount(), 10);
    QCOMPARE(logger.data(logger.index(0, 0)), QVariant(140.0));
    logger.appendRow(5); // none left to announce
    QCOMPARE(logger.rowCount(), 10);
}

void tst_DataLogger::csvFile_data()
{
    QTest::addColumn<QVector<TRACE_DATA>>("records");
    QTest::addColumn<QByteArray>("body");

    TRACE_DATA battery;
    battery.voltage = 12.5;
    battery.current = 2.0;
    battery.power = 25.0;
    battery.elapsedTime = 1.0;
    battery.capacity = 0.000556;
    battery.energy = 0.006944;
    TRACE_DATA small;
    small.voltage = -0.0000004;
    small.current = 1234567.8912345;
    small.power = 1.0e-7;
    small.elapsedTime = 0.5;
    small.capacity = -2.25;
    small.energy = 1000000.0;

    QTest::newRow("empty logger") << QVector<TRACE_DATA> {} << QByteArray();
    QTest::newRow("one record, time first, current before voltage")
        << QVector<TRACE_DATA> { battery }
        << QByteArray("1.000000, 2.000000, 12.500000, 25.000000, 0.000556, 0.006944\n");
    QTest::newRow("oldest first, six decimals, no group separators")
        << QVector<TRACE_DATA> { battery, small }
        << QByteArray("1.000000, 2.000000, 12.500000, 25.000000, 0.000556, 0.006944\n"
                      "0.500000, 1234567.891235, -0.000000, 0.000000, -2.250000, 1000000.000000\n");
}

void tst_DataLogger::csvFile()
{
    QFETCH(QVector<TRACE_DATA>, records);
    QFETCH(QByteArray, body);
    // The file is the same whatever the locale of the program.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DataLogger logger;
    for (const TRACE_DATA &r : records)
        logger.append(r);
    const QString path = dir.filePath("Untitled1.csv");
    const bool saved = logger.save(path);
    QLocale::setDefault(before);
    QVERIFY(saved);
    QCOMPARE(readAll(path),
        "ETime[s], Current[A], Voltage[V], Power[W], Capacity[Ah], Energy[Wh]\n" + body);
    // The records stay in the logger.
    QCOMPARE(logger.getNumOfData(), records.size());
}

void tst_DataLogger::overRangeValueWrittenInFull()
{
    TRACE_DATA r = record(1);
    r.voltage = ioc::OverRange;
    r.current = -ioc::OverRange;
    DataLogger logger;
    logger.append(r);
    QTemporaryDir dir;
    const QString path = dir.filePath("over.csv");
    QVERIFY(logger.save(path));
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[2].isEmpty());
    const QList<QByteArray> fields = lines[1].split(',');
    QCOMPARE(fields.size(), 6);
    const QRegularExpression full("^ ?-?\\d{38}\\.\\d{6}$");
    QVERIFY2(full.match(QString::fromLatin1(fields[1])).hasMatch(), fields[1].constData());
    QVERIFY2(full.match(QString::fromLatin1(fields[2])).hasMatch(), fields[2].constData());
    QVERIFY(fields[1].startsWith(" -"));
    QVERIFY(fields[2].startsWith(" 9"));
}

void tst_DataLogger::saveToAFullMediumLeavesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DataLogger logger;
    for (int k = 0; k < 2000; ++k) // some 100 kB of text
        logger.append(record(k));
    const QString path = dir.filePath("Untitled1.csv");
    const QString earlier = dir.filePath("Untitled2.csv");
    QFile old(earlier);
    QVERIFY(old.open(QIODevice::WriteOnly));
    QVERIFY(old.write("an earlier file\n") > 0);
    old.close();

    {
        FileSizeLimit full(16384);
        QVERIFY(full.ok());
        QVERIFY(!logger.save(path));
        QVERIFY(!logger.save(earlier));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "Untitled2.csv" });
    QCOMPARE(readAll(earlier), QByteArray("an earlier file\n"));
    // With room again the same save works.
    QVERIFY(logger.save(path));
    QCOMPARE(readAll(path).count('\n'), 2001);
}

void tst_DataLogger::saveToAMissingFolderFails()
{
    QTemporaryDir dir;
    DataLogger logger;
    logger.append(record(1));
    QVERIFY(!logger.save(dir.filePath("removed/Untitled1.csv")));
    QVERIFY(!logger.save(QString()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void tst_DataLogger::callsFromAnotherThreadRunInTheLoggersThread()
{
    DataLogger logger;
    QAbstractItemModelTester tester(
        &logger, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QThread *const own = QThread::currentThread();
    QVector<QThread *> announcers;
    const auto note = [&announcers] {
        announcers << QThread::currentThread();
    };
    connect(&logger, &QAbstractItemModel::rowsInserted, this, note, Qt::DirectConnection);
    connect(&logger, &QAbstractItemModel::rowsRemoved, this, note, Qt::DirectConnection);
    connect(&logger, &QAbstractItemModel::modelReset, this, note, Qt::DirectConnection);

    std::atomic<bool> finished { false };
    QVector<QVector<double>> dequeued;
    std::unique_ptr<QThread> parser(QThread::create([&] {
        logger.clear();
        logger.appendWithRow(record(1), 0);
        logger.append(record(2));
        logger.append(record(3));
        logger.appendRow(2);
        dequeued = logger.dequeFirstWithFormat(2);
        finished = true;
    }));
    parser->start();
    const auto joinParser = qScopeGuard([&] {
        logger.closeCalls();
        parser->wait();
    });
    QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
    QVERIFY(parser->wait(10000));

    QCOMPARE(dequeued.size(), 2);
    QCOMPARE(logger.getNumOfData(), 1);
    QCOMPARE(logger.rowCount(), 1);
    QCOMPARE(announcers.size(), 4); // reset, two inserts, one removal
    for (QThread *t : qAsConst(announcers))
        QCOMPARE(t, own);
}

void tst_DataLogger::closedCallsReturnWithoutEffect()
{
    DataLogger logger;
    logger.append(record(1));
    // The logger's thread (this one) serves nothing until the call has been closed.
    QSemaphore started;
    std::atomic<int> got { -1 };
    std::unique_ptr<QThread> parser(QThread::create([&] {
        started.release();
        got = logger.dequeFirstWithFormat(1).size();
    }));
    parser->start();
    QVERIFY(started.tryAcquire(1, 10000));
    QTest::qSleep(50); // let the call start waiting; the result does not depend on it
    logger.closeCalls();
    QVERIFY(parser->wait(10000));
    QCOMPARE(int(got), 0);
    // The call carried over is dropped, and calls from this thread still work.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(logger.getNumOfData(), 1);
    QCOMPARE(logger.dequeFirstWithFormat(1).size(), 1);
}

// The remote drain takes its records at once, though the logger's thread serves nothing
// meanwhile; they leave the rows when it does, and the records a full buffer drops meanwhile
// are the drained ones.
void tst_DataLogger::drainFromAnotherThreadWaitsForNothing()
{
    DataLogger logger;
    QCOMPARE(logger.setFormat({ 3 }), 0);
    QAbstractItemModelTester tester(
        &logger, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(int(logger.setBufSize(DataLogger::MinBufSize)), 0);
    for (int i = 0; i < DataLogger::MinBufSize; ++i)
        logger.append(record(i));
    logger.appendRow(DataLogger::MinBufSize);

    QVector<double> first;
    QVector<double> second;
    std::unique_ptr<QThread> parser(QThread::create([&] {
        first = logger.dequeFirstValues(3);
        second = logger.dequeFirstValues(2);
    }));
    parser->start();
    QVERIFY(parser->wait(10000));
    QCOMPARE(first, QVector<double>({ 0, 1, 2 }));
    QCOMPARE(second, QVector<double>({ 3, 4 }));
    QCOMPARE(logger.getNumOfData(), DataLogger::MinBufSize - 5);
    QCOMPARE(logger.rowCount(), DataLogger::MinBufSize);

    // Two appends to the full buffer drop two of the drained records, not a waiting one.
    logger.appendWithRow(record(DataLogger::MinBufSize), 0);
    logger.appendWithRow(record(DataLogger::MinBufSize + 1), 0);
    QCOMPARE(logger.getNumOfData(), DataLogger::MinBufSize - 3);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(logger.rowCount(), DataLogger::MinBufSize - 3);
    QCOMPARE(logger.dequeFirstWithFormat(1), QVector<QVector<double>>({ { 5.0 } }));
    QCOMPARE(logger.rowCount(), DataLogger::MinBufSize - 4);
}

void tst_DataLogger::readersAndDequeuesWhileAppending()
{
    constexpr int Total = 100000;
    constexpr int Batch = 62;
    DataLogger logger;
    QCOMPARE(logger.setFormat({ 3, 1, 0 }), 0);
    QAbstractItemModelTester tester(
        &logger, QAbstractItemModelTester::FailureReportingMode::QtTest);

    // The parser thread: reads the newest record and dequeues until every record came out.
    std::atomic<bool> stop { false };
    std::atomic<int> torn { 0 };
    std::atomic<int> backwards { 0 };
    std::atomic<int> count { 0 };
    QVector<int> received; // the parser thread's until it has ended
    received.reserve(Total);
    std::unique_ptr<QThread> parser(QThread::create([&] {
        int newest = -1;
        unsigned ask = 1;
        while (!stop && received.size() < Total) {
            if (const auto r = logger.last()) {
                const int k = int(r->elapsedTime);
                if (r->voltage != 2.0 * k || r->energy != k / 16.0)
                    ++torn;
                if (k < newest)
                    ++backwards;
                newest = k;
            }
            const QVector<double> last = logger.getLastWithFormat();
            if (!last.isEmpty() && last.value(1) != 2.0 * last.value(0))
                ++torn;
            for (const QVector<double> &v : logger.dequeFirstWithFormat(ask)) {
                if (v.size() != 3 || v[1] != 2.0 * v[0] || v[2] != v[0] + 0.25)
                    ++torn;
                received << int(v.value(0));
            }
            count = received.size();
            ask = ask % 200 + 7;
        }
    }));
    parser->start();
    const auto joinParser = qScopeGuard([&] {
        stop = true;
        logger.closeCalls();
        parser->wait();
    });

    // The GUI thread appends batch by batch as the acquisition does, and serves the parser's
    // calls in between; it waits while the buffer is well filled, so nothing is pushed out.
    int pending = 0;
    for (int k = 0; k < Total; k += Batch) {
        appendBatch(logger, k, qMin(Total, k + Batch), &pending);
        QCoreApplication::processEvents();
        QDeadlineTimer deadline(20000);
        while (logger.getNumOfData() >= 128 && !deadline.hasExpired())
            QTest::qWait(1);
        QVERIFY2(!deadline.hasExpired(), "the parser thread stopped dequeuing");
    }
    logger.appendRow(pending);
    QTRY_COMPARE_WITH_TIMEOUT(int(count), Total, 20000);
    stop = true;
    QVERIFY(parser->wait(20000));

    QCOMPARE(int(torn), 0);
    QCOMPARE(int(backwards), 0);
    QCOMPARE(received.size(), Total);
    for (int k = 0; k < Total; ++k) {
        if (received[k] != k)
            QFAIL(qPrintable(QString("record %1 came out as %2").arg(k).arg(received[k])));
    }
    QCOMPARE(logger.rowCount(), 0);
}

QTEST_MAIN(tst_DataLogger)
#include "tst_DataLogger.moc"
