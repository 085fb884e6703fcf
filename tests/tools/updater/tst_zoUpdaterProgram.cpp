// The zoUpdater program as the panel runs it: on an X server of the panel's size (Xvfb at
// 320x240), driven by real key events (xdotool through XTEST), its screen grabbed with xwd into
// PNG files beside the gallery's (build/gallery/updater-xvfb-*.png).

#include "sim/BoardRoot.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <unistd.h>

#include <cstring>
#include <memory>

namespace {
constexpr int WaitMs = 20000;

// The X server: its own display number, chosen free among those of other test runs.
class Xvfb
{
public:
    ~Xvfb() { stop(); }

    bool start()
    {
        for (int n = 100 + int(getpid() % 400), tries = 0; tries < 20; ++n, ++tries) {
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
            if (QFileInfo::exists(socket)
                || QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_process.start(QStringLiteral("Xvfb"),
                { QStringLiteral(":%1").arg(n),
                    QStringLiteral("-screen"),
                    QStringLiteral("0"),
                    QStringLiteral("320x240x24"),
                    QStringLiteral("-nolisten"),
                    QStringLiteral("tcp") });
            if (!m_process.waitForStarted(5000))
                return false;
            QDeadlineTimer deadline(10000);
            while (!deadline.hasExpired() && m_process.state() == QProcess::Running
                && !QFileInfo::exists(socket))
                QTest::qWait(50);
            if (QFileInfo::exists(socket) && m_process.state() == QProcess::Running) {
                m_display = QStringLiteral(":%1").arg(n);
                return true;
            }
            stop();
        }
        return false;
    }

    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

// An X window dump (ZPixmap, 32 bits a pixel, as xwd writes for Xvfb's 24-bit screen).
QImage readXwd(const QByteArray &data)
{
    if (data.size() < 100)
        return QImage();
    const auto field = [&](int i) {
        return qFromBigEndian<quint32>(data.constData() + 4 * i);
    };
    const quint32 headerSize = field(0), format = field(2), width = field(4), height = field(5),
                  byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12),
                  colours = field(19);
    const qint64 start = qint64(headerSize) + qint64(colours) * 12;
    if (format != 2 || bitsPerPixel != 32 || byteOrder != 0 || width == 0 || height == 0
        || start + qint64(bytesPerLine) * height > data.size())
        return QImage();
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (quint32 y = 0; y < height; ++y)
        std::memcpy(
            image.scanLine(int(y)), data.constData() + start + qint64(y) * bytesPerLine, width * 4);
    return image;
}

bool hasRedPixel(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                return true;
        }
    }
    return false;
}
} // namespace

class tst_zoUpdaterProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void versionOption();
    void updateRunsToFinal();
    void errorPageAndRetry();
    void escapeOnIdle();
    void silentRunsToSuccess();

private:
    QString path(const QString &boardPath) const { return m_root->path() + boardPath; }
    void makeImage(const QStringList &options);
    void startTool(const QStringList &arguments = {});
    // Waits until the tool has written the debug line "zoupdater: <line>" count times.
    bool waitLog(const QString &line, int count = 1);
    bool xdotool(const QStringList &arguments, QByteArray *output = nullptr);
    // Finds the window and gives it the keyboard.
    bool placeWindow();
    QImage shot(const QString &name);

    Xvfb m_xvfb;
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QProcess> m_tool;
    QString m_log;
};

void tst_zoUpdaterProgram::initTestCase()
{
    for (const char *tool : { "Xvfb", "xdotool", "xwd", "python3" }) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is missing (scripts/deps installs it)").arg(tool)));
    }
    QVERIFY(m_xvfb.start());
    QDir().mkpath(qEnvironmentVariable("VEK_BINARY_DIR") + QStringLiteral("/gallery"));
}

void tst_zoUpdaterProgram::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    QString error;
    QVERIFY2(
        sim::BoardRoot::prepare(m_root->path(), VEK_BOARDROOT_TEMPLATE, &error), qPrintable(error));
    QVERIFY(QDir().mkpath(path("/var/log")));
    // A slow tar keeps the start page on the screen long enough to be seen.
    QFile::remove(path("/bin/tar"));
    QFile tar(path("/bin/tar"));
    QVERIFY(tar.open(QIODevice::WriteOnly));
    tar.write("#!/bin/sh\nsleep 1\nexec env PATH=/usr/local/bin:/usr/bin:/bin tar \"$@\"\n");
    tar.close();
    QVERIFY(tar.setPermissions(tar.permissions() | QFileDevice::ExeOwner));
    QImage logo(120, 30, QImage::Format_RGB32);
    logo.fill(QColor(0, 60, 120));
    QVERIFY(QDir().mkpath(path("/usr/bin/image")));
    QVERIFY(logo.save(path("/usr/bin/image/Logo.png")));
    m_log.clear();
}

void tst_zoUpdaterProgram::cleanup()
{
    if (m_tool) {
        m_tool->kill();
        m_tool->waitForFinished(5000);
        m_tool.reset();
    }
    m_root.reset();
}

void tst_zoUpdaterProgram::makeImage(const QStringList &options)
{
    QProcess p;
    p.start(QStringLiteral("python3"),
        QStringList { QStringLiteral(VEK_SOURCE_DIR "/tests/tools/updater/make_update_image.py"),
            path("/run/media/sda1") }
            + options);
    QVERIFY(p.waitForFinished(WaitMs));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

void tst_zoUpdaterProgram::startTool(const QStringList &arguments)
{
    m_tool = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
    env.insert(QStringLiteral("BOARD_ROOT"), m_root->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zoupdater.debug=true"));
    // In a sanitizer build: the X keyboard library strndup()s counted, unterminated names,
    // which strict string checks take for an overflow.
    if (env.contains(QStringLiteral("ASAN_OPTIONS")))
        env.insert(QStringLiteral("ASAN_OPTIONS"),
            env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":strict_string_checks=0"));
    m_tool->setProcessEnvironment(env);
    m_tool->setProcessChannelMode(QProcess::MergedChannels);
    // No window manager runs here: Qt's own option puts the window on the whole screen, as the
    // panel's maximised window is.
    m_tool->start(QStringLiteral(ZOUPDATER_EXE),
        arguments
            + QStringList { QStringLiteral("-qwindowgeometry"), QStringLiteral("320x240+0+0") });
    QVERIFY(m_tool->waitForStarted(WaitMs));
}

bool tst_zoUpdaterProgram::waitLog(const QString &line, int count)
{
    const QString wanted = QStringLiteral("zoupdater: ") + line;
    QDeadlineTimer deadline(WaitMs);
    while (!deadline.hasExpired()) {
        m_log += QString::fromUtf8(m_tool->readAll());
        if (m_log.split(QLatin1Char('\n')).count(wanted) >= count)
            return true;
        if (m_tool->state() != QProcess::Running)
            break;
        m_tool->waitForReadyRead(100);
    }
    qWarning().noquote() << "no" << wanted << "in:\n" << m_log;
    return false;
}

bool tst_zoUpdaterProgram::xdotool(const QStringList &arguments, QByteArray *output)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), arguments);
    if (!p.waitForFinished(WaitMs)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool tst_zoUpdaterProgram::placeWindow()
{
    QByteArray id;
    QDeadlineTimer deadline(WaitMs);
    while (!xdotool({ "search", "--onlyvisible", "--name", "^ZOUPDATER$" }, &id)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(100);
    }
    const QString window = QString::fromLatin1(id.split('\n').first());
    return xdotool({ "windowfocus", "--sync", window });
}

QImage tst_zoUpdaterProgram::shot(const QString &name)
{
    QTest::qWait(400); // the tool paints the page it has just set
    QProcess xwd;
    xwd.start(QStringLiteral("xwd"),
        { QStringLiteral("-root"),
            QStringLiteral("-silent"),
            QStringLiteral("-display"),
            m_xvfb.display() });
    if (!xwd.waitForFinished(WaitMs))
        return QImage();
    const QImage image = readXwd(xwd.readAllStandardOutput());
    if (!image.isNull())
        image.save(qEnvironmentVariable("VEK_BINARY_DIR") + QStringLiteral("/gallery/updater-xvfb-")
            + name + QStringLiteral(".png"));
    return image;
}

void tst_zoUpdaterProgram::versionOption()
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZOUPDATER_EXE), { QStringLiteral("-v") });
    QVERIFY(p.waitForFinished(WaitMs));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardOutput().contains("v1.00.0001"));

    p.start(QStringLiteral(ZOUPDATER_EXE), { QStringLiteral("--bogus") });
    QVERIFY(p.waitForFinished(WaitMs));
    QVERIFY(p.exitCode() != 0);
    QVERIFY(p.readAllStandardError().contains("bogus"));
}

void tst_zoUpdaterProgram::updateRunsToFinal()
{
    makeImage({ "--model", "VEK-4101", "--version", "1.1.0", "--pause", "1.5" });
    startTool();
    QVERIFY(waitLog("false"));
    QVERIFY(waitLog("idle"));
    QVERIFY(placeWindow());
    const QImage idle = shot("idle");
    QVERIFY(!idle.isNull());
    QCOMPARE(idle.size(), QSize(320, 240));

    QVERIFY(xdotool({ "key", "Return" }));
    QVERIFY(waitLog("update"));
    shot("start");
    QVERIFY(waitLog("50"));
    shot("update-50");
    QVERIFY(waitLog("update.sh finished"));
    shot("success");
    QVERIFY(waitLog("finalstate"));
    shot("final");
    const QString record = QString::fromUtf8([&] {
        QFile f(path("/var/log/update.sh.log"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }());
    QVERIFY2(record.contains("argument=v2.00"), qPrintable(record));
}

void tst_zoUpdaterProgram::errorPageAndRetry()
{
    QFile version(path("/etc/version.info"));
    QVERIFY(version.open(QIODevice::WriteOnly | QIODevice::Truncate));
    version.write("<versionInfo><modelType>VEK-4101</modelType><version>1.10</version>"
                  "</versionInfo>\n");
    version.close();
    makeImage({ "--model", "VEK-4101", "--version", "1.9" });
    startTool();
    QVERIFY(waitLog("idle"));
    QVERIFY(placeWindow());
    QVERIFY(xdotool({ "key", "Return" }));
    QVERIFY(waitLog("error"));
    const QImage error = shot("error-7");
    // The status line sits between the page and the progress bar, in red.
    QVERIFY(hasRedPixel(error, QRect(0, 120, 320, 80)));
    QVERIFY(xdotool({ "key", "Return" }));
    QVERIFY(waitLog("update", 2));
    QVERIFY(waitLog("error", 2));
}

void tst_zoUpdaterProgram::escapeOnIdle()
{
    startTool();
    QVERIFY(waitLog("idle"));
    QVERIFY(placeWindow());
    QVERIFY(xdotool({ "key", "Escape" }));
    QVERIFY(waitLog("finalstate"));
    QVERIFY(!m_log.contains(QLatin1String("zoupdater: update\n")));
}

void tst_zoUpdaterProgram::silentRunsToSuccess()
{
    makeImage({ "--model", "VEK-4101", "--version", "1.0.0" });
    startTool({ QStringLiteral("--silent") });
    QVERIFY(waitLog("true"));
    QVERIFY(waitLog("idle"));
    QVERIFY(placeWindow());
    shot("silent-start");
    // Escape is disabled from the start page on; the update runs to its end.
    QVERIFY(xdotool({ "key", "Escape" }));
    QVERIFY(waitLog("update.sh finished"));
    QVERIFY(waitLog("finalstate"));
}

QTEST_GUILESS_MAIN(tst_zoUpdaterProgram)
#include "tst_zoUpdaterProgram.moc"
