#include "tests/support/PowerBoard.h"
#include "tests/system/HeadlessProgram.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <memory>

// The headless program serving SCPI on its serial port, with a socat pty pair in the board
// root's place of the UART and the host's end driven by python3-serial.
class tst_Rs232Line : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void hostProgramOverThePty();

private:
    std::unique_ptr<PowerBoard> m_board;
    QProcess m_socat;
    std::unique_ptr<HeadlessProgram> m_program;
    QString m_hostEnd;
};

void tst_Rs232Line::init()
{
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty())
        QSKIP("socat is not installed");
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    const QString device = m_board->root() + QStringLiteral("/dev/ttyO1");
    m_hostEnd = m_board->root() + QStringLiteral("/host-serial");
    m_socat.start(socat,
        { QStringLiteral("pty,raw,echo=0,link=") + device,
            QStringLiteral("pty,raw,echo=0,link=") + m_hostEnd });
    QVERIFY(m_socat.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(device) && QFileInfo::exists(m_hostEnd), 5000);
    m_program = std::make_unique<HeadlessProgram>();
    QVERIFY2(m_program->start(m_board->root()), qPrintable(m_program->errorString()));
}

void tst_Rs232Line::cleanup()
{
    bool clean = true;
    QString error;
    if (m_program) {
        clean = m_program->stop();
        error = m_program->errorString();
        m_program.reset();
    }
    if (m_socat.state() != QProcess::NotRunning) {
        ::kill(pid_t(m_socat.processId()), SIGTERM);
        if (!m_socat.waitForFinished(5000)) {
            m_socat.kill();
            m_socat.waitForFinished(5000);
        }
    }
    if (m_board) {
        QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
        m_board.reset();
    }
    QVERIFY2(clean, qPrintable(error));
}

void tst_Rs232Line::hostProgramOverThePty()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        QSKIP("Debian's /usr/bin/python3 is not installed");
    const QString script =
        QStringLiteral(VEK_SOURCE_DIR "/tests/system/rs232_pyserial.py");
    QProcess host;
    host.setProcessChannelMode(QProcess::MergedChannels);
    host.start(python,
        { QStringLiteral("-I"),
            script,
            m_hostEnd,
            m_board->root() + QStringLiteral("/dev/ttyO1") });
    QVERIFY(host.waitForFinished(60000));
    const QByteArray output = host.readAll();
    if (host.exitCode() == 3)
        QSKIP(output.trimmed().constData());
    QVERIFY2(host.exitCode() == 0, output.constData());
}

QTEST_GUILESS_MAIN(tst_Rs232Line)
#include "tst_Rs232Line.moc"
