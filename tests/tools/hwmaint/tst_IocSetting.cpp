#include "tests/support/PowerBoard.h"
#include "tests/tools/hwmaint/BootLog.h"
#include "tools/hwmaint/IocSetting.h"
#include "tools/hwmaint/RegWordWriteTransfer.h"
#include "tools/hwmaint/iocTools.h"

#include <QTextStream>
#include <QtTest>

using ioc::IocSetting;
using ioc::RegWordWriteTransfer;

// The tool's register writer against vek-powerboard, reached through the SPI port's socket.
class tst_IocSetting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void bootPairs();
    void batchesOfTwenty();
    void emptyWakeSendsNothing();
    void stopWhileWaiting();

private:
    PowerBoard *m_board = nullptr;
};

void tst_IocSetting::init()
{
    m_board = new PowerBoard;
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
}

void tst_IocSetting::cleanup()
{
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    delete m_board;
    m_board = nullptr;
    QVERIFY2(clean, qPrintable(error));
}

// ISP boot, then flash boot: two workers of one process, each opening the device anew.
void tst_IocSetting::bootPairs()
{
    QString messages;
    QTextStream errors(&messages);
    iocTools tools(IocToolsTiming(), &errors);
    QCOMPARE(tools.boot(true), int(iocTools::Success));
    QVERIFY(m_board->command("boot").startsWith("OK isp "));
    QCOMPARE(ioc::IoControl::deviceState(), 0);
    QCOMPARE(tools.boot(false), int(iocTools::Success));
    QVERIFY(m_board->command("boot").startsWith("OK flash "));
    QCOMPARE(messages, QString());

    const BootLog log = BootLog::read(*m_board);
    QCOMPARE(log.frames.size(), 4);
    const QVector<QVector<quint32>> expected = {
        { 0x80006100, 1, 0, 0xA05B },
        { 0x80006100, 1, 2, 0x8019 },
        { 0x80006100, 1, 4, 0xE0DF },
        { 0x80006100, 1, 6, 0xC09D },
    };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(log.frames.at(i).verdict, QString("ok"));
        QCOMPARE(log.frames.at(i).words, expected.at(i));
    }
    for (int pair : { 0, 2 }) {
        const qint64 gapUs = log.frames.at(pair + 1).timeUs - log.frames.at(pair).timeUs;
        QVERIFY2(gapUs >= 80000 && gapUs <= 120000, qPrintable(QString::number(gapUs)));
        QVERIFY(log.frames.at(pair + 1).message != log.frames.at(pair).message);
    }
}

void tst_IocSetting::batchesOfTwenty()
{
    {
        IocSetting writer;
        QVERIFY(ioc::IoControl::deviceState() > 0);
        for (unsigned int i = 0; i < 45; ++i) {
            auto *t = new RegWordWriteTransfer<unsigned int, 1>(0x80001000);
            t->append(i);
            writer.enqueue(t);
        }
        // Queued before the worker runs: one wake sends them all.
        writer.start();
        writer.transfer();
        QCOMPARE(writer.stop(), 0);
    }
    const BootLog log = BootLog::read(*m_board);
    QCOMPARE(log.frames.size(), 45);
    QVector<int> perMessage;
    for (int i = 0; i < log.frames.size(); ++i) {
        QCOMPARE(log.frames.at(i).verdict, QString("ok"));
        QCOMPARE(log.frames.at(i).words.value(2), quint32(i));
        if (i == 0 || log.frames.at(i).message != log.frames.at(i - 1).message)
            perMessage << 0;
        ++perMessage.last();
    }
    QCOMPARE(perMessage, QVector<int>({ 20, 20, 5 }));
}

void tst_IocSetting::emptyWakeSendsNothing()
{
    IocSetting writer;
    writer.start();
    writer.transfer();
    writer.transfer();
    writer.iocBootMode(false, true);
    writer.transfer();
    QCOMPARE(writer.stop(), 0);
    const BootLog log = BootLog::read(*m_board);
    QCOMPARE(log.frames.size(), 1);
    QCOMPARE(log.frames.first().words, QVector<quint32>({ 0x80006100, 1, 4, 0xE0DF }));
}

void tst_IocSetting::stopWhileWaiting()
{
    auto *writer = new IocSetting;
    writer->start();
    QTRY_VERIFY_WITH_TIMEOUT(writer->isRunning(), 5000);
    QCOMPARE(writer->stop(), 0);
    QVERIFY(writer->isFinished());
    QCOMPARE(ioc::IoControl::deviceState(), 0);
    // Queued after the stop: deleted unsent with the worker.
    writer->iocBootMode(true, true);
    delete writer;
    QCOMPARE(BootLog::read(*m_board).frames.size(), 0);
}

QTEST_GUILESS_MAIN(tst_IocSetting)
#include "tst_IocSetting.moc"
