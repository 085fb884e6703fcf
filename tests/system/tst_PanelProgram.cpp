#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using rawclient::connectTo;
using rawclient::query;

// The front-panel program as a process (off-screen) on a fresh board root against the
// simulated board: it makes the instrument folders, answers over the raw socket and, on SIGTERM, saves and
// unloads the gadget modules and exits 0.
class tst_PanelProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void startsServesAndShutsDown();
};

void tst_PanelProgram::initTestCase()
{
    // The program's process takes this from the environment at its construction.
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

void tst_PanelProgram::startsServesAndShutsDown()
{
    PowerBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    const QString panels = board.root() + QStringLiteral("/etc/instr/panels/");

    auto program = std::make_unique<HeadlessProgram>(HeadlessProgram::panelExecutable());
    QVERIFY2(program->start(board.root()), qPrintable(program->errorString()));

    QVERIFY(QDir(panels).exists());

    QTcpSocket client;
    QVERIFY(connectTo(client, program->port()));
    QVERIFY(query(client, "*IDN?").count(',') == 3);
    client.abort();

    // The shut-down writes the automatic setup anew.
    QFile::remove(panels + QStringLiteral("auto.info"));
    const bool clean = program->stop();
    QVERIFY2(clean, qPrintable(program->errorString()));
    QVERIFY(QFile::exists(panels + QStringLiteral("auto.info")));

    // The gadget modules are unloaded by detached runs, which may finish after the exit.
    const QString log = board.root() + QStringLiteral("/var/log/standin.log");
    const auto rmmodRuns = [&log] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count("/sbin/rmmod ") : 0;
    };
    QTRY_COMPARE_WITH_TIMEOUT(rmmodRuns(), 3, 20000);
    QVERIFY2(board.stop(), qPrintable(board.errorString()));
}

QTEST_GUILESS_MAIN(tst_PanelProgram)
#include "tst_PanelProgram.moc"
