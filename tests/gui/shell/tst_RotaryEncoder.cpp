#include "gui/shell/RotaryEncoder.h"
#include "platform/BoardPath.h"
#include "sim/InputDevice.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <linux/input.h>
#include <memory>
#include <sys/resource.h>

using platform::BoardPath;
using sim::InputDevice;

namespace {
qint64 processCpuMs()
{
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}
} // namespace

// The encoder reader on a board root whose /dev/input/event0 is a FIFO fed with native records.
class tst_RotaryEncoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void reports_data();
    void reports();
    void stopEndsABlockedRead();
    void restartAfterStop();
    void waitsForAMissingDevice();

private:
    void startEncoder(int retryPauseMs = 1000, int pollBoundMs = 500);

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<InputDevice> m_device;
    std::unique_ptr<Qt::RotaryEncoder> m_encoder;
    QVector<short> m_reports; // in the test's thread, queued from the reader
};

void tst_RotaryEncoder::init()
{
    m_root.reset(new QTemporaryDir);
    QVERIFY(m_root->isValid());
    BoardPath::setRoot(m_root->path());
    m_device.reset(new InputDevice(m_root->path()));
    QVERIFY(m_device->isOpen());
    m_reports.clear();
}

void tst_RotaryEncoder::cleanup()
{
    m_encoder.reset();
    m_device.reset();
    BoardPath::setRoot(QString());
    m_root.reset();
}

void tst_RotaryEncoder::startEncoder(int retryPauseMs, int pollBoundMs)
{
    m_encoder.reset(
        new Qt::RotaryEncoder(QStringLiteral("/dev/input/event0"), retryPauseMs, pollBoundMs));
    connect(m_encoder.get(), &Qt::RotaryEncoder::value, this, [this](short axis) {
        m_reports.append(axis);
    });
    m_encoder->start();
}

void tst_RotaryEncoder::reports_data()
{
    QTest::addColumn<QVector<int>>("positions");
    QTest::addColumn<QVector<short>>("expected"); // the FIFO has no axis: the start is 0

    QTest::newRow("10 to 12: up") << QVector<int> { 10, 12 } << QVector<short> { 10, 2 };
    QTest::newRow("12 to 9: down") << QVector<int> { 12, 9 } << QVector<short> { 12, -3 };
    QTest::newRow("65535 to 65537") << QVector<int> { 65535, 65537 } << QVector<short> { -1, 2 };
    QTest::newRow("65535 to 1") << QVector<int> { 65535, 1 } << QVector<short> { -1, 2 };
}

void tst_RotaryEncoder::reports()
{
    QFETCH(QVector<int>, positions);
    QFETCH(QVector<short>, expected);
    startEncoder();
    for (int position : positions)
        QVERIFY(m_device->turnTo(position));
    QTRY_COMPARE_WITH_TIMEOUT(m_reports, expected, 5000);

    // Other record types, split across writes, report nothing; the next position still counts.
    const QByteArray others = InputDevice::record(EV_SYN, SYN_REPORT, 0)
        + InputDevice::record(EV_KEY, KEY_UP, 1) + InputDevice::record(EV_ABS, ABS_X, 100);
    QVERIFY(m_device->writeBytes(others.left(30)));
    QVERIFY(m_device->writeBytes(others.mid(30)));
    expected.append(short(100 - quint16(positions.last())));
    QTRY_COMPARE_WITH_TIMEOUT(m_reports, expected, 5000);
}

void tst_RotaryEncoder::stopEndsABlockedRead()
{
    startEncoder(1000, 60000);
    QVERIFY(m_device->turnTo(1));
    QTRY_COMPARE_WITH_TIMEOUT(m_reports, QVector<short> { 1 }, 5000);
    // The reader now waits for the next event, which never comes.
    QElapsedTimer timer;
    timer.start();
    m_encoder.reset();
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void tst_RotaryEncoder::restartAfterStop()
{
    startEncoder();
    m_encoder->stop();
    QVERIFY(m_encoder->wait(5000));
    m_encoder->start();
    QVERIFY(m_device->turnTo(3));
    QTRY_COMPARE_WITH_TIMEOUT(m_reports, QVector<short> { 3 }, 5000);
}

void tst_RotaryEncoder::waitsForAMissingDevice()
{
    m_device.reset();
    QVERIFY(QFile::remove(BoardPath::map("/dev/input/event0")));
    startEncoder();
    const qint64 before = processCpuMs();
    QTest::qWait(2000);
    const qint64 used = processCpuMs() - before;
    QVERIFY2(used < 200, qPrintable(QString("%1 ms of CPU in 2 s").arg(used)));
    QVERIFY(m_encoder->isRunning());

    m_device.reset(new InputDevice(m_root->path()));
    QVERIFY(m_device->turnTo(4));
    QTRY_COMPARE_WITH_TIMEOUT(m_reports, QVector<short> { 4 }, 5000);
}

QTEST_GUILESS_MAIN(tst_RotaryEncoder)
#include "tst_RotaryEncoder.moc"
