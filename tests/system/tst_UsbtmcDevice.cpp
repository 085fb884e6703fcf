#include "platform/BoardPath.h"
#include "platform/UsbGadgetStandIn.h"
#include "tests/support/PowerBoard.h"
#include "tests/support/UsbtmcHostRecords.h"
#include "tests/system/HeadlessProgram.h"

#include <QTcpSocket>
#include <QtTest>

#include <memory>

using usbtmchost::out;
using usbtmchost::requestIn;

// The headless program with a stand-in gadget in its board root: the test is the USB host,
// and the instrument answers over USBTMC as it does over the raw socket.
class tst_UsbtmcDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void hostQueriesTheInstrument();

private:
    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<platform::UsbGadgetStandIn> m_host;
    std::unique_ptr<HeadlessProgram> m_program;
};

void tst_UsbtmcDevice::init()
{
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    platform::BoardPath::setRoot(m_board->root());
    m_host = std::make_unique<platform::UsbGadgetStandIn>();
    QVERIFY(m_host->isListening());
    m_program = std::make_unique<HeadlessProgram>();
    QVERIFY2(m_program->start(m_board->root()), qPrintable(m_program->errorString()));
    QVERIFY(m_host->waitConnected(10000));
}

void tst_UsbtmcDevice::cleanup()
{
    bool clean = true;
    QString error;
    if (m_program) {
        clean = m_program->stop();
        error = m_program->errorString();
        m_program.reset();
    }
    m_host.reset();
    if (m_board) {
        QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
        m_board.reset();
    }
    platform::BoardPath::setRoot(QString());
    QVERIFY2(clean, qPrintable(error));
}

void tst_UsbtmcDevice::hostQueriesTheInstrument()
{
    QTcpSocket raw;
    QVERIFY(rawclient::connectTo(raw, m_program->port()));
    const QByteArray identity = rawclient::query(raw, "*IDN?");
    QVERIFY(identity.endsWith('\n'));

    QVERIFY(m_host->sendBulkOut(out("*IDN?\n", 1)));
    QVERIFY(m_host->sendBulkOut(requestIn(2)));
    const QByteArray transfer = m_host->take('I', 10000).data;
    QVERIFY(transfer.size() >= 12);
    QCOMPARE(transfer.at(1), char(2));
    QCOMPARE(transfer.at(8) & 1, 1);
    QCOMPARE(transfer.mid(12, identity.size()), identity);

    // The gadget module was loaded with the instrument's own identity.
    const QList<QByteArray> fields = identity.trimmed().split(',');
    QVERIFY(fields.size() >= 3);
    const QString log = m_board->root() + QStringLiteral("/var/log/standin.log");
    auto journal = [&log] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(journal().contains("g_usbtmc.ko idvendor="), 5000);
    QVERIFY2(journal().contains("serialNum=" + fields.at(2)), journal().constData());

    // A device clear from the host reaches the instrument: the next query is answered.
    QVERIFY(m_host->sendSetup(0xA1, 5));
    QCOMPARE(m_host->take('A').data, QByteArray(1, 1));
    QVERIFY(m_host->sendBulkOut(out("*IDN?\n", 3)));
    QVERIFY(m_host->sendBulkOut(requestIn(4)));
    QCOMPARE(m_host->take('I', 10000).data.mid(12, identity.size()), identity);
}

QTEST_GUILESS_MAIN(tst_UsbtmcDevice)
#include "tst_UsbtmcDevice.moc"
