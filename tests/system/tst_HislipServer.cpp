#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <memory>

namespace {
constexpr quint16 HislipPort = 4880; // the preferences' default
} // namespace

// The headless program's HiSLIP server as the project's own HiSLIP client reaches it: each row
// is one scenario of tests/system/hislip_scenarios.py against one running instrument.
class tst_HislipServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void scenario_data();
    void scenario();

private:
    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessProgram> m_program;
};

void tst_HislipServer::initTestCase()
{
    if (!QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable())
        QSKIP("Debian's /usr/bin/python3 is not installed");
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_program = std::make_unique<HeadlessProgram>();
    QVERIFY2(m_program->start(m_board->root()), qPrintable(m_program->errorString()));
    QCOMPARE(m_program->hislipPort(), HislipPort);
}

void tst_HislipServer::cleanupTestCase()
{
    if (!m_program)
        return;
    const bool clean = m_program->stop();
    const QString error = m_program->errorString();
    m_program.reset();
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

void tst_HislipServer::scenario_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : { "session_ids",
             "query_message_id",
             "oversized_payload",
             "exclusive_lock_blocks_data",
             "shared_locks",
             "long_lock_string",
             "remote_local_codes",
             "device_clear",
             "overlapped_ids",
             "service_request",
             "bad_async_initialize",
             "async_close_keeps_slot",
             "messages_before_initialize",
             "fifth_client",
             "hostile_client" })
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_HislipServer::scenario()
{
    QFETCH(QString, name);
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    // Isolated: no interpreter settings or user packages from the environment.
    client.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-I"),
            QStringLiteral(VEK_SOURCE_DIR "/tests/system/hislip_scenarios.py"),
            QStringLiteral("127.0.0.1"),
            QString::number(HislipPort),
            name });
    QVERIFY(client.waitForFinished(60000));
    const QByteArray output = client.readAll();
    QVERIFY2(
        client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0, output.constData());
}

QTEST_GUILESS_MAIN(tst_HislipServer)
#include "tst_HislipServer.moc"
