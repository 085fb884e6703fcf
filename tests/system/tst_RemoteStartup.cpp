#include "platform/BoardPath.h"
#include "platform/UsbGadgetStandIn.h"
#include "sim/BoardRoot.h"
#include "tests/support/PowerBoard.h"
#include "tests/support/UsbtmcHostRecords.h"
#include "tests/system/HeadlessProgram.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

// Bounds of the waits: the run command may still configure and check the build first.
constexpr int RunStartMs = 240000;
constexpr int AnswerMs = 30000;

// The error queue's entries, oldest first, until it is empty.
QStringList drainErrors(QTcpSocket &socket)
{
    QStringList entries;
    for (int i = 0; i < 32; ++i) {
        const QString entry = QString::fromUtf8(rawclient::query(socket, "SYST:ERR?")).trimmed();
        if (entry.isEmpty() || entry.startsWith(QLatin1String("+0,")))
            break;
        entries << entry;
    }
    return entries;
}

// Ends a started process with SIGTERM (then SIGKILL after a bound); its exit status.
int terminate(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return process.exitCode();
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(10000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Reads the process's standard output until pattern matches or timeoutMs passes.
QRegularExpressionMatch waitForOutput(
    QProcess &process, QByteArray &seen, const QRegularExpression &pattern, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(seen));
        if (match.hasMatch() || clock.elapsed() > timeoutMs
            || process.state() == QProcess::NotRunning)
            return match;
        process.waitForReadyRead(200);
        seen += process.readAllStandardOutput();
    }
}

} // namespace

// The README's run command on a fresh board root with a serial line and a USB gadget, reached
// over every transport by the clients the instrument's users have.
class tst_RemoteStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void everyTransportAnswersAsOneInstrument();
    void shutDownSavesAndTheNextStartRecalls();

private:
    QTemporaryDir m_root;
    QProcess m_socat;
    QProcess m_run;
    std::unique_ptr<platform::UsbGadgetStandIn> m_host;
};

void tst_RemoteStartup::cleanup()
{
    terminate(m_run);
    terminate(m_socat);
    m_host.reset();
    platform::BoardPath::setRoot(QString());
}

void tst_RemoteStartup::everyTransportAnswersAsOneInstrument()
{
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    const QString telnet = QStandardPaths::findExecutable(QStringLiteral("telnet"));
    if (socat.isEmpty() || telnet.isEmpty())
        QSKIP("socat or telnet is not installed");
    const QString root = m_root.path() + QStringLiteral("/root");
    QString error;
    QVERIFY2(sim::BoardRoot::prepare(root, QStringLiteral(VEK_SOURCE_DIR "/sim/boardroot"), &error),
        qPrintable(error));
    const QString hostEnd = m_root.path() + QStringLiteral("/serial");
    m_socat.start(socat,
        { QStringLiteral("pty,raw,echo=0,link=") + root + QStringLiteral("/dev/ttyO1"),
            QStringLiteral("pty,raw,echo=0,link=") + hostEnd });
    QVERIFY(m_socat.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(hostEnd), 10000);
    platform::BoardPath::setRoot(root);
    m_host = std::make_unique<platform::UsbGadgetStandIn>();
    QVERIFY(m_host->isListening());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BOARD_ROOT"), root);
    m_run.setProcessEnvironment(environment);
    m_run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_run.start(QStringLiteral("/bin/bash"), { QStringLiteral(VEK_SOURCE_DIR "/scripts/run") });
    QVERIFY(m_run.waitForStarted(10000));
    QByteArray output;
    const QRegularExpressionMatch ports = waitForOutput(m_run,
        output,
        QRegularExpression(QStringLiteral("raw-socket SCPI localhost:(\\d+)[^\\n]*\\n.*"
                                          "telnet console  localhost:(\\d+)[^\\n]*\\n.*"
                                          "HiSLIP          localhost:(\\d+)"),
            QRegularExpression::DotMatchesEverythingOption),
        RunStartMs);
    QVERIFY2(ports.hasMatch(), output.constData());
    QVERIFY(m_host->waitConnected(AnswerMs));

    QProcess clients;
    clients.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    clients.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral(VEK_SOURCE_DIR "/tests/system/remote_startup_clients.py"),
            ports.captured(1),
            ports.captured(3),
            hostEnd });
    QVERIFY(clients.waitForFinished(120000));
    if (clients.exitCode() == 3)
        QSKIP("pyvisa-py or python3-serial is missing");
    const QString answers = QString::fromUtf8(clients.readAllStandardOutput());
    QVERIFY2(clients.exitCode() == 0, qPrintable(answers));
    QMap<QString, QString> answer;
    for (const QString &line : answers.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int colon = line.indexOf(QLatin1Char(':'));
        const int blank = line.indexOf(QLatin1Char(' '));
        const int cut = line.startsWith(QLatin1String("STAT")) ? blank : colon;
        answer[line.left(cut)] = line.mid(cut + 1).trimmed();
    }

    const QString identity = answer.value(QStringLiteral("raw"));
    QVERIFY2(identity.count(QLatin1Char(',')) == 3, qPrintable(answers));
    for (const char *name : { "vxi11", "hislip", "rs232" })
        QVERIFY2(answer.value(QLatin1String(name)) == identity, qPrintable(answers));

    // USBTMC: the test is the USB host.
    QVERIFY(m_host->sendBulkOut(usbtmchost::out("*IDN?\n", 1)));
    QVERIFY(m_host->sendBulkOut(usbtmchost::requestIn(2)));
    const QByteArray transfer = m_host->take('I', AnswerMs).data;
    QCOMPARE(QString::fromUtf8(transfer.mid(12)).trimmed(), identity);

    // Telnet through the host's own client.
    QProcess console;
    console.setProcessChannelMode(QProcess::MergedChannels);
    console.start(telnet, { QStringLiteral("127.0.0.1"), ports.captured(2) });
    QVERIFY(console.waitForStarted(10000));
    console.write("*IDN?\r\n");
    QByteArray said;
    const QRegularExpressionMatch echoed = waitForOutput(
        console, said, QRegularExpression(QRegularExpression::escape(identity)), AnswerMs);
    terminate(console);
    QVERIFY2(echoed.hasMatch(), said.constData());

    // One error queue: an error caused over the raw socket is read over VXI-11 with its header.
    QCOMPARE(answer.value(QStringLiteral("error")),
        QStringLiteral("-113,\"Undefined header;NO:SUCH:HEADER\""));

    for (const char *group : { "OPER", "QUES" }) {
        const QString prefix = QStringLiteral("STAT:%1:").arg(QLatin1String(group));
        QCOMPARE(answer.value(prefix + QStringLiteral("PTR?")), QStringLiteral("+32767"));
        QCOMPARE(answer.value(prefix + QStringLiteral("NTR?")), QStringLiteral("+0"));
        QCOMPARE(answer.value(prefix + QStringLiteral("ENAB?")), QStringLiteral("+0"));
    }
}

void tst_RemoteStartup::shutDownSavesAndTheNextStartRecalls()
{
    PowerBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    const QString instr = board.root() + QStringLiteral("/etc/instr/");
    HeadlessProgram program;
    const auto restart = [&](QTcpSocket &socket) {
        QVERIFY2(program.stop(), qPrintable(program.errorString()));
        QVERIFY2(program.start(board.root()), qPrintable(program.errorString()));
        QVERIFY(rawclient::connectTo(socket, program.port()));
    };

    // A fresh root has no automatic setup to recall at power-on: it resets and says so.
    QVERIFY2(program.start(board.root()), qPrintable(program.errorString()));
    QTcpSocket first;
    QVERIFY(rawclient::connectTo(first, program.port()));
    QVERIFY(drainErrors(first).contains(
        QStringLiteral("-314,\"Save/recall memory lost;AUTO at power-on\"")));
    // A setup level, two preferences and a configuration value, all in memory only so far.
    first.write("CURR 0.5;*PSC 0;*SRE 16;:OUTP:PROT:WDOG:DEL 7\n");
    QCOMPARE(rawclient::query(first, "CURR?"), QByteArray("+5.00000E-01\n"));
    first.disconnectFromHost();

    // SIGTERM saves all three, each replaced whole; the next start recalls the automatic setup.
    QTcpSocket second;
    restart(second);
    QVERIFY(QFileInfo::exists(instr + QStringLiteral("panels/auto.info")));
    for (const QString &dir : { instr, instr + QStringLiteral("panels/") }) {
        const QStringList left = QDir(dir).entryList(QDir::Files).filter(QStringLiteral("tmp"));
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }
    QCOMPARE(drainErrors(second), QStringList());
    QCOMPARE(rawclient::query(second, "CURR?"), QByteArray("+5.00000E-01\n"));
    QCOMPARE(rawclient::query(second, "*SRE?"), QByteArray("+16\n"));
    QCOMPARE(rawclient::query(second, "OUTP:PROT:WDOG:DEL?"), QByteArray("+7.00000E+00\n"));

    // Power-on from setup 0, which was never saved: the start resets and names the recall.
    second.write("OUTP:PON:STAT RCL0\n");
    QCOMPARE(rawclient::query(second, "OUTP:PON:STAT?"), QByteArray("RCL0\n"));
    second.disconnectFromHost();
    QTcpSocket third;
    restart(third);
    QCOMPARE(drainErrors(third),
        QStringList { QStringLiteral("-314,\"Save/recall memory lost;RCL0 at power-on\"") });
    QCOMPARE(rawclient::query(third, "CURR?"), QByteArray("+0.00000E+00\n"));
    third.disconnectFromHost();
    QVERIFY2(program.stop(), qPrintable(program.errorString()));
    QVERIFY2(board.stop(), qPrintable(board.errorString()));
}

QTEST_GUILESS_MAIN(tst_RemoteStartup)
#include "tst_RemoteStartup.moc"
