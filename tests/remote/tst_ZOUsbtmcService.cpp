#include "platform/BoardPath.h"
#include "platform/UsbGadgetStandIn.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOUsbtmcService.h"
#include "remote/ZO_RLST_T.h"
#include "tests/remote/support/ErrorEntries.h"
#include "tests/remote/support/ParserTestDictionary.h"
#include "tests/support/UsbtmcHostRecords.h"

#include <QDirIterator>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

using platform::BoardPath;
using platform::UsbGadgetStandIn;
using zo4882::s_stb;
using zo4882::s_systErrCue;
using zo4882::ZO4882Parser;
using zo4882::ZO4882ParserAsync;
using zo4882::ZOUsbtmcService;

namespace {

const QByteArray Identity = "ZO,TEST,0,1.0\n";

using usbtmchost::header;
using usbtmchost::out;
using usbtmchost::requestIn;

struct BulkIn
{
    int tag = -1;
    bool eom = false;
    QByteArray data;
};

// Checks the Bulk-IN header and fill, and returns what it carried.
BulkIn decodeBulkIn(const QByteArray &transfer)
{
    BulkIn in;
    if (transfer.size() < 12 || transfer.size() % 4 != 0 || transfer[0] != 2
        || transfer[2] != char(~transfer[1]))
        return in;
    const auto *p = reinterpret_cast<const unsigned char *>(transfer.constData());
    const int size = int(p[4] | p[5] << 8 | p[6] << 16 | p[7] << 24);
    if (size > transfer.size() - 12 || transfer.size() - 12 - size >= 4)
        return in;
    in.tag = p[1];
    in.eom = (p[8] & 1) != 0;
    in.data = transfer.mid(12, size);
    return in;
}

// Copies a folder of the simulated board's root template into the test's root.
void seed(const QString &folder)
{
    const QString from = QStringLiteral(VEK_SOURCE_DIR "/sim/boardroot/") + folder;
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = BoardPath::map(
            QLatin1Char('/') + folder + QLatin1Char('/') + QDir(from).relativeFilePath(source));
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(source, target);
    }
}

} // namespace

// The USBTMC device against the stand-in gadget in a temporary board root: the test is the
// host, sending class requests and Bulk-OUT transfers and reading what the device sends back.
class tst_ZOUsbtmcService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void queriesAreAnsweredOnRequest_data();
    void queriesAreAnsweredOnRequest();
    void requestBeforeTheAnswerIsServedWhenItIsReady();
    void transferSizeSplitsTheAnswer_data();
    void transferSizeSplitsTheAnswer();
    void triggerDropsAHeldAnswer();
    void initiateClearRunsTheClearStates();
    void overlongMessageIsRefusedWhole();
    void answerBeyondTheBufferIsDroppedWhole();
    void refusedTransfers_data();
    void refusedTransfers();
    void classRequests_data();
    void classRequests();
    void statusBytesReachTheHost();
    void modulesAreLoadedWithTheIdentity();
    void withoutTheDeviceNothingIsOpened();

private:
    void startService(bool withGadget = true);
    BulkIn read(const QByteArray &request);
    QStringList loadedModules() const;
    bool drainParser();

    QTemporaryDir *m_root = nullptr;
    std::unique_ptr<UsbGadgetStandIn> m_host;
    std::unique_ptr<ZO4882Parser> m_parser;
    std::unique_ptr<ZO4882ParserAsync> m_control;
    std::unique_ptr<ZOUsbtmcService> m_service;
    QThread m_thread;
    QList<int> m_controls; // control message types handled, in order
    unsigned char m_tag = 100; // bTags of the test's own markers
};

void tst_ZOUsbtmcService::init()
{
    zo4882::init4882();
    s_systErrCue.clear();
    parsertest::log().clear();
    m_controls.clear();
    zo4882::s_rlst.remoteEnable = 0;
    zo4882::s_rlst.remote = 0;
    zo4882::s_rlst.localLockout = 0;
    m_root = new QTemporaryDir;
    QVERIFY(m_root->isValid());
    BoardPath::setRoot(m_root->path());
    seed(QStringLiteral("sbin"));
    seed(QStringLiteral("lib"));
    m_parser = std::make_unique<ZO4882Parser>(parsertest::dictionary(), zo4882::NODE_SOURCE);
    m_control = std::make_unique<ZO4882ParserAsync>(m_parser.get(), nullptr);
    connect(m_control.get(), &ZO4882ParserAsync::handled, this, [this](int type) {
        m_controls << type;
    });
}

void tst_ZOUsbtmcService::cleanup()
{
    if (m_service) {
        m_service->closeDevice();
        m_thread.quit();
        m_thread.wait();
        m_service.reset();
    }
    m_host.reset();
    m_control.reset();
    m_parser.reset();
    QCoreApplication::sendPostedEvents();
    delete m_root;
    m_root = nullptr;
    BoardPath::setRoot(QString());
    s_systErrCue.clear();
    zo4882::init4882();
}

QStringList tst_ZOUsbtmcService::loadedModules() const
{
    QFile file(BoardPath::map("/proc/modules"));
    return file.open(QIODevice::ReadOnly)
        ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
        : QStringList();
}

void tst_ZOUsbtmcService::startService(bool withGadget)
{
    if (withGadget) {
        m_host = std::make_unique<UsbGadgetStandIn>();
        QVERIFY(m_host->isListening());
    }
    ZOUsbtmcService::UsbtmcParams params;
    params.vendorId = 1234;
    params.productId = 5678;
    params.manufacturer = QStringLiteral("ZO");
    params.product = QStringLiteral("VEK3R-150");
    params.serialNumber = QStringLiteral("SN0042");
    ZOUsbtmcService::Timing timing;
    timing.moduleGapMs = 1;
    timing.moduleRetryMs = 1;
    timing.bulkWakePauseMs = 2;
    m_service = std::make_unique<ZOUsbtmcService>(params, timing, m_parser.get());
    m_service->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_service.get(), &ZOUsbtmcService::onThreadStarted);
    m_thread.start();
    // The loads run detached: wait for all three, so none outlives the root.
    QTRY_COMPARE_WITH_TIMEOUT(loadedModules().size(), 3, 5000);
    if (withGadget) {
        QVERIFY(m_host->waitConnected());
        QTRY_VERIFY_WITH_TIMEOUT(m_service->isOpen(), 5000);
    }
}

BulkIn tst_ZOUsbtmcService::read(const QByteArray &request)
{
    if (!m_host->sendBulkOut(request))
        return {};
    return decodeBulkIn(m_host->take('I').data);
}

bool tst_ZOUsbtmcService::drainParser()
{
    // A marker through the same endpoint: everything sent before it has run once it is logged.
    m_host->sendBulkOut(out("SYST:ARGS 4711\n", m_tag++));
    const bool done = QTest::qWaitFor(
        [] {
            return parsertest::log().contains("SYST:ARGS +4711");
        },
        5000);
    parsertest::log().removeAll("SYST:ARGS +4711");
    return done;
}

void tst_ZOUsbtmcService::queriesAreAnsweredOnRequest_data()
{
    QTest::addColumn<QByteArrayList>("transfers");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("executed");

    QTest::addColumn<int>("tag");

    QTest::newRow("query with EOM, no newline") << QByteArrayList { out("*IDN?", 1), requestIn(9) }
                                                << Identity << QStringList { "*IDN?" } << 9;
    QTest::newRow("query without EOM completed by the next message")
        << QByteArrayList { out("*ID", 1, false), out("N?", 2), requestIn(9) } << Identity
        << QStringList { "*IDN?" } << 9;
    QTest::newRow("two messages in one transfer")
        << QByteArrayList { out("*RST\nOUTP?\n", 1), requestIn(9) } << QByteArray("1\n")
        << QStringList { "*RST", "OUTP?" } << 9;
    // A request drops the unterminated input (that query never runs) and waits for the next
    // answer.
    QTest::newRow("query without EOM dropped by a request")
        << QByteArrayList { out("*IDN?", 1, false), requestIn(2), out("OUTP?\n", 3) }
        << QByteArray("1\n") << QStringList { "OUTP?" } << 2;
}

void tst_ZOUsbtmcService::queriesAreAnsweredOnRequest()
{
    QFETCH(QByteArrayList, transfers);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, executed);
    QFETCH(int, tag);
    startService();
    for (const QByteArray &transfer : transfers)
        QVERIFY(m_host->sendBulkOut(transfer));
    const BulkIn in = decodeBulkIn(m_host->take('I').data);
    QCOMPARE(in.data, answer);
    QCOMPARE(in.tag, tag);
    QVERIFY(in.eom);
    QVERIFY(drainParser());
    QCOMPARE(parsertest::log(), executed);
    QCOMPARE(m_host->take('I', 50).kind, char(0));
    QCOMPARE(takeErrorEntries(), QStringList());
}

void tst_ZOUsbtmcService::requestBeforeTheAnswerIsServedWhenItIsReady()
{
    startService();
    // The parser thread is held, so the request is in before the answer exists.
    QSemaphore held;
    QMetaObject::invokeMethod(
        m_parser.get(),
        [&held] {
            held.acquire();
        },
        Qt::QueuedConnection);
    QVERIFY(m_host->sendBulkOut(out("*IDN?\n", 1)));
    QVERIFY(m_host->sendBulkOut(requestIn(2)));
    QTRY_COMPARE_WITH_TIMEOUT(m_parser->pendingCount(), 1, 5000);
    QTest::qWait(50);
    QCOMPARE(m_host->take('I', 0).kind, char(0));
    held.release();
    const BulkIn in = decodeBulkIn(m_host->take('I').data);
    QCOMPARE(in.data, Identity);
    QCOMPARE(in.tag, 2);
    QVERIFY(in.eom);
}

void tst_ZOUsbtmcService::transferSizeSplitsTheAnswer_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<int>("transferSize");
    QTest::addColumn<char>("termChar");
    QTest::addColumn<QByteArrayList>("parts");

    // "#40003xxx\n": 10 bytes.
    QTest::newRow("size 4 of 10 bytes")
        << QByteArray("SYST:BIG? 3\n") << 4 << char(0) << QByteArrayList { "#400", "03xx", "x\n" };
    QTest::newRow("size larger than the answer")
        << QByteArray("SYST:BIG? 3\n") << 64 << char(0) << QByteArrayList { "#40003xxx\n" };
    QTest::newRow("TermChar ends each part")
        << QByteArray("SYST:BLK?\n") << 64 << ';'
        << QByteArrayList { "#40012ab;", QByteArray("\ncd,\0ef\"g\n", 10) };
}

void tst_ZOUsbtmcService::transferSizeSplitsTheAnswer()
{
    QFETCH(QByteArray, query);
    QFETCH(int, transferSize);
    QFETCH(char, termChar);
    QFETCH(QByteArrayList, parts);
    startService();
    QVERIFY(m_host->sendBulkOut(out(query, 1)));
    for (int i = 0; i < parts.size(); ++i) {
        const unsigned char tag = static_cast<unsigned char>(10 + i);
        const BulkIn in = read(requestIn(tag, transferSize, termChar));
        QCOMPARE(in.tag, int(tag));
        QCOMPARE(in.data, parts.at(i));
        QCOMPARE(in.eom, i == parts.size() - 1);
    }
    // Everything is sent: a further request waits for the next answer.
    QVERIFY(m_host->sendBulkOut(requestIn(20, transferSize)));
    QCOMPARE(m_host->take('I', 100).kind, char(0));
    QVERIFY(m_host->sendBulkOut(out("OUTP?\n", 21)));
    QCOMPARE(decodeBulkIn(m_host->take('I').data).data, QByteArray("1\n"));
}

void tst_ZOUsbtmcService::triggerDropsAHeldAnswer()
{
    startService();
    QVERIFY(m_host->sendBulkOut(out("*IDN?\n", 1)));
    // The answer is held once the host is told: message available.
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_host->records('T').isEmpty() && (m_host->records('T').last().data.at(0) & 0x10), 5000);
    QVERIFY(m_host->sendBulkOut(header(128, 2, 0, 0, 0)));
    QTRY_VERIFY_WITH_TIMEOUT(!(m_host->records('T').last().data.at(0) & 0x10), 5000);
    QVERIFY(drainParser());
    // "*TRG" went to the parser (which this dictionary does not know).
    QCOMPARE(takeErrorEntries(), (QStringList { "-410 7", "-113 7" }));
    QVERIFY(m_host->sendBulkOut(requestIn(3)));
    QCOMPARE(m_host->take('I', 100).kind, char(0));
}

void tst_ZOUsbtmcService::initiateClearRunsTheClearStates()
{
    startService();
    QVERIFY(m_host->sendBulkOut(out("*IDN?\n", 1)));
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_host->records('T').isEmpty() && (m_host->records('T').last().data.at(0) & 0x10), 5000);
    QVERIFY(m_host->sendSetup(0xA1, 5, 0, 0, 1));
    QCOMPARE(m_host->take('A').data, QByteArray(1, 1));
    QTRY_COMPARE_WITH_TIMEOUT(m_host->records('D').size(), 4, 5000);
    const QList<UsbGadgetStandIn::Record> states = m_host->records('D');
    QByteArray trace;
    for (const UsbGadgetStandIn::Record &state : states)
        trace += char('0' + state.data.at(0));
    // At open, then the clear: busy, done after 100 ms, busy again 50 ms later.
    QCOMPARE(trace, QByteArray("2212"));
    // The stand-in stamps records when it reads them, and under load an earlier record can be
    // read late, which shortens the gap seen: generous slack, still far from a missing wait.
    QVERIFY2(states[2].ms - states[1].ms >= 80,
        qPrintable(QString::number(states[2].ms - states[1].ms)));
    QVERIFY2(states[3].ms - states[2].ms >= 35,
        qPrintable(QString::number(states[3].ms - states[2].ms)));
    QTRY_COMPARE_WITH_TIMEOUT(m_controls, QList<int> { 0 }, 5000);
    QCOMPARE(takeErrorEntries(), QStringList { "-410 7" });
    // The held answer is gone; the next query is answered as usual.
    QVERIFY(m_host->sendBulkOut(out("OUTP?\n", 2)));
    QCOMPARE(read(requestIn(3)).data, QByteArray("1\n"));
}

void tst_ZOUsbtmcService::overlongMessageIsRefusedWhole()
{
    startService();
    QVERIFY(m_host->sendBulkOut(out("SYST:ARGS " + QByteArray(4990, '1') + "\n", 1)));
    QVERIFY(drainParser());
    QCOMPARE(parsertest::log(), QStringList());
    QCOMPARE(takeErrorEntries(), QStringList { "-363 7" });
    QVERIFY(m_host->sendBulkOut(out("*IDN?\n", 2)));
    QCOMPARE(read(requestIn(3)).data, Identity);
}

void tst_ZOUsbtmcService::answerBeyondTheBufferIsDroppedWhole()
{
    startService();
    // Two answers fit alone; the second does not fit behind the first.
    QVERIFY(m_host->sendBulkOut(out("SYST:BIG? 30000\nSYST:BIG? 30000\n", 1)));
    QTRY_VERIFY_WITH_TIMEOUT(!s_systErrCue.isEmpty(), 5000);
    QCOMPARE(takeErrorEntries(), QStringList { "-310 7" });
    const BulkIn in = read(requestIn(2, 100000));
    QVERIFY(in.eom);
    QCOMPARE(in.data.size(), 30009);
    QVERIFY(in.data.startsWith("#"));
    QVERIFY(in.data.endsWith("xxx\n"));
}

void tst_ZOUsbtmcService::refusedTransfers_data()
{
    QTest::addColumn<QByteArray>("transfer");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("shorter than the header")
        << QByteArray("\x01\x05\xfa\x00\x06", 5) << QStringList { "-230 7" };
    QTest::newRow("announces more than it holds")
        << header(1, 5, 100, 1, 0) + QByteArray("*IDN?\n") << QStringList { "-230 7" };
    QByteArray badInverse = out("*IDN?\n", 5);
    badInverse[2] = '\0';
    QTest::newRow("wrong bTagInverse") << badInverse << QStringList();
    QByteArray unknown = out("*IDN?\n", 5);
    unknown[0] = '\x7e';
    QTest::newRow("unknown MsgID") << unknown << QStringList();
    QTest::newRow("negative TransferSize")
        << header(1, 5, -6, 1, 0) + QByteArray("*IDN?\n") << QStringList();
}

void tst_ZOUsbtmcService::refusedTransfers()
{
    QFETCH(QByteArray, transfer);
    QFETCH(QStringList, errors);
    startService();
    // Unterminated input before the refused transfer is kept and not mixed with its bytes.
    QVERIFY(m_host->sendBulkOut(out("OUT", 1, false)));
    QVERIFY(m_host->sendBulkOut(transfer));
    QVERIFY(m_host->sendBulkOut(out("P?\n", 2)));
    QCOMPARE(read(requestIn(3)).data, QByteArray("1\n"));
    QVERIFY(drainParser());
    QCOMPARE(parsertest::log(), QStringList { "OUTP?" });
    QCOMPARE(takeErrorEntries(), errors);
}

void tst_ZOUsbtmcService::classRequests_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QList<int>>("controls");

    const QByteArray capabilities =
        QByteArray::fromHex("0100000100010000000000000001070f0000000000000000");
    QCOMPARE(capabilities.size(), 24);
    QTest::newRow("GET_CAPABILITIES") << 7 << 0 << capabilities << QList<int>();
    QTest::newRow("INITIATE_ABORT_BULK_OUT: last Bulk-OUT bTag")
        << 1 << 0 << QByteArray::fromHex("0107") << QList<int>();
    QTest::newRow("CHECK_ABORT_BULK_OUT_STATUS")
        << 2 << 0 << QByteArray::fromHex("0100000000000000") << QList<int>();
    QTest::newRow("INITIATE_ABORT_BULK_IN: last Bulk-IN bTag")
        << 3 << 0 << QByteArray::fromHex("0108") << QList<int>();
    QTest::newRow("CHECK_ABORT_BULK_IN_STATUS")
        << 4 << 0 << QByteArray::fromHex("0100000000000000") << QList<int>();
    QTest::newRow("CHECK_CLEAR_STATUS") << 6 << 0 << QByteArray::fromHex("0100") << QList<int>();
    QTest::newRow("READ_STATUS_BYTE echoes the bTag")
        << 128 << 0x45 << QByteArray::fromHex("014500") << QList<int>();
    QTest::newRow("REN_CONTROL on") << 160 << 1 << QByteArray::fromHex("01") << QList<int> { 1 };
    QTest::newRow("REN_CONTROL off") << 160 << 0 << QByteArray::fromHex("01") << QList<int> { 2 };
    QTest::newRow("GO_TO_LOCAL") << 161 << 0 << QByteArray::fromHex("01") << QList<int> { 5 };
    QTest::newRow("LOCAL_LOCKOUT") << 162 << 0 << QByteArray::fromHex("01") << QList<int> { 3 };
    QTest::newRow("INDICATOR_PULSE: no answer") << 64 << 0 << QByteArray() << QList<int>();
    QTest::newRow("unknown request: no answer") << 99 << 0 << QByteArray() << QList<int>();
}

void tst_ZOUsbtmcService::classRequests()
{
    QFETCH(int, request);
    QFETCH(int, value);
    QFETCH(QByteArray, answer);
    QFETCH(QList<int>, controls);
    startService();
    // Set the last bTags both ways: 7 out, 8 in.
    QVERIFY(m_host->sendBulkOut(out("*IDN?\n", 7)));
    QCOMPARE(read(requestIn(8)).data, Identity);

    QVERIFY(m_host->sendSetup(
        0xA1, static_cast<unsigned char>(request), static_cast<unsigned short>(value)));
    // A marker request after it: its answer comes first when this one has none.
    QVERIFY(m_host->sendSetup(0xA1, 6));
    QCOMPARE(m_host->take('A').data, answer.isEmpty() ? QByteArray::fromHex("0100") : answer);
    QTRY_COMPARE_WITH_TIMEOUT(m_controls, controls, 5000);
}

void tst_ZOUsbtmcService::statusBytesReachTheHost()
{
    startService();
    ZOUsbtmcService::updateSTB(0x04);
    ZOUsbtmcService::broadcastSRQ(0x44);
    QCOMPARE(m_host->take('T').data, QByteArray("\x04"));
    QCOMPARE(m_host->take('T').data, QByteArray("\x44"));
    // An answer sets message available, and request service where *SRE enables it.
    s_stb.setEnabler(0x10);
    QVERIFY(m_host->sendBulkOut(out("*IDN?\n", 1)));
    QCOMPARE(m_host->take('T').data.at(0) & 0x50, 0x50);
    QCOMPARE(read(requestIn(2)).data, Identity);
    QCOMPARE(m_host->take('T').data.at(0) & 0x10, 0);
}

void tst_ZOUsbtmcService::modulesAreLoadedWithTheIdentity()
{
    startService();
    const QString log = BoardPath::map("/var/log/standin.log");
    auto loads = [&log] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly)
            ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
            : QStringList();
    };
    QTRY_COMPARE_WITH_TIMEOUT(loads().size(), 3, 5000);
    QStringList lines = loads();
    // The loads run on their own: their lines may come in any order.
    lines.sort();
    const QString modules = QStringLiteral("/sbin/insmod /lib/modules/4.14.98/kernel/");
    QCOMPARE(lines,
        (QStringList { modules
                + "drivers/usb/gadget/legacy/g_usbtmc.ko idvendor=1234 "
                  "idproduct=5678 manufacturer=ZO product=VEK3R-150 "
                  "serialNum=SN0042",
            modules + "drivers/usb/gadget/libcomposite.ko",
            modules + "fs/configfs/configfs.ko" }));
}

void tst_ZOUsbtmcService::withoutTheDeviceNothingIsOpened()
{
    startService(false);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(BoardPath::map("/var/log/standin.log")), 5000);
    QTest::qWait(50);
    QVERIFY(!m_service->isOpen());
    ZOUsbtmcService::updateSTB(0x10);
    QCOMPARE(takeErrorEntries(), QStringList());
}

QTEST_GUILESS_MAIN(tst_ZOUsbtmcService)
#include "tst_ZOUsbtmcService.moc"
