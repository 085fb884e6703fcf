// The update window: its pages and fallbacks, the error labels, and the keys that drive the
// controller, over images built by make_update_image.py on a private board root.

#include "platform/BoardPath.h"
#include "sim/BoardRoot.h"
#include "tools/updater/Ui_zoUpdater.h"
#include "tools/updater/zoUpdater.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {
constexpr int WaitMs = 20000;
const UpdateDelays shortDelays { 10, 20, 300 };
const QString keyHint = QStringLiteral("Escape:Cancel   Enter:Update");
} // namespace

class tst_zoUpdater : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void idleFallbackPage();
    void pageFileUpToNul();
    void errorLabels_data();
    void errorLabels();
    void returnRetriesAfterError();
    void escapeOnIdleEndsInFinal();
    void successRunsToFinalPage();
    void silentShowsStartPageAndRuns();

private:
    QString path(const QString &boardPath) const { return m_root->path() + boardPath; }
    void makeImage(const QStringList &options);
    // A shown, active window whose controller is idle.
    std::unique_ptr<zoUpdater> window(bool silent = false);
    QLabel *label(zoUpdater *w) const { return w->findChild<QLabel *>(QStringLiteral("label")); }
    QTextEdit *page(zoUpdater *w) const
    {
        return w->findChild<QTextEdit *>(QStringLiteral("textEdit"));
    }
    QAction *action(zoUpdater *w, const char *name) const
    {
        return w->findChild<QAction *>(QLatin1String(name));
    }

    std::unique_ptr<QTemporaryDir> m_root;
};

void tst_zoUpdater::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    platform::BoardPath::setRoot(m_root->path());
    QString error;
    QVERIFY2(
        sim::BoardRoot::prepare(m_root->path(), VEK_BOARDROOT_TEMPLATE, &error), qPrintable(error));
    QVERIFY(QDir().mkpath(path("/var/log")));
}

void tst_zoUpdater::cleanup()
{
    m_root.reset();
}

void tst_zoUpdater::makeImage(const QStringList &options)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is needed to build the test images");
    QProcess p;
    p.start(python,
        QStringList { QStringLiteral(VEK_SOURCE_DIR "/tests/tools/updater/make_update_image.py"),
            path("/run/media/sda1") }
            + options);
    QVERIFY(p.waitForFinished(WaitMs));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

std::unique_ptr<zoUpdater> tst_zoUpdater::window(bool silent)
{
    auto w = std::make_unique<zoUpdater>(silent, nullptr, shortDelays);
    QSignalSpy idle(w->controller()->idleState(), &QState::entered);
    w->resize(320, 240);
    w->show();
    QApplication::setActiveWindow(w.get());
    if (!QTest::qWaitForWindowActive(w.get()))
        return nullptr;
    if (!w->controller()->idleState()->active() && !idle.wait(WaitMs))
        return nullptr;
    return w;
}

void tst_zoUpdater::idleFallbackPage()
{
    auto w = window();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("ZOUPDATER"));
    QCOMPARE(w->minimumSize(), QSize(320, 240));
    QCOMPARE(w->maximumSize(), QSize(800, 480));
    QVERIFY(label(w.get())->text().isEmpty());
    QVERIFY(action(w.get(), "actionStart")->isEnabled());
    QVERIFY(action(w.get(), "actionCancel")->isEnabled());
    QTextEdit *edit = page(w.get());
    QVERIFY(edit->toHtml().contains(path("/usr/bin/image/Logo.png")));
    const QStringList lines = edit->toPlainText().split(QLatin1Char('\n'));
    QVERIFY2(lines.contains(QStringLiteral("Update VEK-4101")), qPrintable(lines.join('|')));
    QVERIFY(lines.contains(keyHint));
    for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next()) {
        if (b.text().contains(QLatin1String("Update")) || b.text() == keyHint)
            QCOMPARE(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }
}

void tst_zoUpdater::pageFileUpToNul()
{
    QVERIFY(QDir().mkpath(path("/usr/bin/zoUpdaterContents")));
    QFile file(path("/usr/bin/zoUpdaterContents/idle.html"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    static const char html[] = "<p>Fl\xc3\xa4sh <b>now</b></p>\0<p>junk</p>";
    file.write(html, sizeof html - 1);
    file.close();
    auto w = window();
    QVERIFY(w);
    QCOMPARE(page(w.get())->toPlainText(), QStringLiteral("Fl\u00e4sh now"));
}

void tst_zoUpdater::errorLabels_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("details");
    QTest::newRow("0") << 0 << "Error: Update.img not find" << QStringList();
    QTest::newRow("1") << 1 << "Error: Update.img checksum error" << QStringList();
    QTest::newRow("2") << 2 << "Error: Update.img can't deploy" << QStringList();
    QTest::newRow("3") << 3 << "Error: zoUpdate.img not find" << QStringList();
    QTest::newRow("4") << 4 << "Error: zoUpdate.img checksum error" << QStringList();
    QTest::newRow("5") << 5 << "Error: zoUpdate.img can't deploy" << QStringList();
    QTest::newRow("6") << 6 << "Error: Model is different"
                       << QStringList { "current Model: VEK-4101", "update Model:  " };
    QTest::newRow("7") << 7 << "Error:Update Version is old"
                       << QStringList { "current Version: 1.0.0", "update Version:  " };
    QTest::newRow("8") << 8 << "Error: update Process error" << QStringList();
}

void tst_zoUpdater::errorLabels()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(QStringList, details);
    auto w = window();
    QVERIFY(w);
    w->onUiError(static_cast<Controller::ErrorMessage>(number));
    QCOMPARE(label(w.get())->text(), text);
    QCOMPARE(
        label(w.get())->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::red));
    const QStringList lines = page(w.get())->toPlainText().split(QLatin1Char('\n'));
    QVERIFY(lines.contains(keyHint));
    for (const QString &detail : details)
        QVERIFY2(lines.contains(detail), qPrintable(lines.join('|')));
    if (details.isEmpty())
        QVERIFY(!page(w.get())->toPlainText().contains(QLatin1String("current")));
    // The status line is drawn in red.
    const QImage shot = label(w.get())->grab().toImage();
    bool red = false;
    for (int y = 0; y < shot.height() && !red; ++y) {
        for (int x = 0; x < shot.width() && !red; ++x) {
            const QColor c = shot.pixelColor(x, y);
            red = c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    }
    QVERIFY(red);
}

void tst_zoUpdater::returnRetriesAfterError()
{
    makeImage({ "--model", "VEK-4101", "--version", "0.9" });
    auto w = window();
    QVERIFY(w);
    QSignalSpy errors(w->controller(), &Controller::error);
    QTest::keyClick(w.get(), Qt::Key_Return);
    QCOMPARE(label(w.get())->text(), QStringLiteral("Update.img check"));
    QVERIFY(!action(w.get(), "actionStart")->isEnabled());
    QVERIFY(!action(w.get(), "actionCancel")->isEnabled());
    QVERIFY(errors.wait(WaitMs));
    QCOMPARE(label(w.get())->text(), QStringLiteral("Error:Update Version is old"));
    QVERIFY(page(w.get())->toPlainText().contains(QStringLiteral("update Version:  0.9")));
    // Keys are dead while the checks run: Escape must not reach the final page.
    QTest::keyClick(w.get(), Qt::Key_Return);
    QTest::keyClick(w.get(), Qt::Key_Escape);
    QCOMPARE(label(w.get())->text(), QStringLiteral("Update.img check"));
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 2, WaitMs);
    QVERIFY(w->controller()->errorState()->active());
}

void tst_zoUpdater::escapeOnIdleEndsInFinal()
{
    auto w = window();
    QVERIFY(w);
    QSignalSpy finished(&w->controller()->machine(), &QStateMachine::finished);
    QTest::keyClick(w.get(), Qt::Key_Escape);
    QCOMPARE(label(w.get())->text(), QStringLiteral("Cycle the unit power..."));
    // The unit is to be switched off: a late Return starts nothing.
    QTest::keyClick(w.get(), Qt::Key_Return);
    QVERIFY(finished.wait(WaitMs));
    QCOMPARE(label(w.get())->text(), QStringLiteral("Cycle the unit power..."));
    QVERIFY(!w->controller()->machine().isRunning());
}

void tst_zoUpdater::successRunsToFinalPage()
{
    makeImage({ "--model", "VEK-4101", "--version", "1.0.0", "--progress", "10,50" });
    auto w = window();
    QVERIFY(w);
    QSignalSpy success(w->controller(), &Controller::success);
    QSignalSpy progress(w->controller(), &Controller::updateStepChanged);
    QSignalSpy finished(&w->controller()->machine(), &QStateMachine::finished);
    QTest::keyClick(w.get(), Qt::Key_Return);
    QVERIFY(success.wait(WaitMs));
    QCOMPARE(progress.count(), 2);
    QCOMPARE(label(w.get())->text(), QStringLiteral("Update Success"));
    QCOMPARE(w->findChild<QProgressBar *>()->value(), 100);
    QVERIFY(finished.wait(WaitMs));
    QCOMPARE(label(w.get())->text(), QStringLiteral("Cycle the unit power..."));
    QVERIFY(!action(w.get(), "actionStart")->isEnabled());
}

void tst_zoUpdater::silentShowsStartPageAndRuns()
{
    makeImage({ "--model", "VEK-4101", "--version", "1.0.0" });
    auto w = std::make_unique<zoUpdater>(true, nullptr, UpdateDelays { 300, 20, 300 });
    QSignalSpy success(w->controller(), &Controller::success);
    QSignalSpy idle(w->controller()->idleState(), &QState::entered);
    w->show();
    QVERIFY(idle.wait(WaitMs));
    QCOMPARE(label(w.get())->text(), QStringLiteral("Update.img check"));
    QVERIFY(page(w.get())->toPlainText().contains(QStringLiteral("Update VEK-4101")));
    QVERIFY(!action(w.get(), "actionStart")->isEnabled());
    QVERIFY(!action(w.get(), "actionCancel")->isEnabled());
    QVERIFY(success.wait(WaitMs));
}

QTEST_MAIN(tst_zoUpdater)
#include "tst_zoUpdater.moc"
