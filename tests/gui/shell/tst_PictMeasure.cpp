#include "commands/DictIndexNative.h"
#include "commands/SystErrCustom.h"
#include "engine/Basic.h"
#include "engine/DataLogger.h"
#include "gui/program/ViewProgram.h"
#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/PictMeasure.h"
#include "gui/shell/Ui_PictMeasure.h"
#include "gui/shell/Ui_Vek3r.h"
#include "gui/shell/Vek3r.h"
#include "gui/source/FuncSourLevel.h"
#include "gui/source/FuncSourLevelBasic.h"
#include "gui/source/FuncSourMemory.h"
#include "gui/source/FuncSourRange.h"
#include "gui/source/ViewArbitrary.h"
#include "gui/source/ViewPulseWaveform.h"
#include "gui/source/ViewSet.h"
#include "gui/source/ViewSetForm.h"
#include "gui/source/ViewSineWaveform.h"
#include "gui/source/ViewSourceMore.h"
#include "gui/toolkit/Chart.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/Meter.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMessageBox.h"
#include "instrument/PreferenceInfo.h"
#include "network/NetworkInfo.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZOScpiResponder.h"
#include "remote/ZOSystErrCue.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

constexpr auto CC = KeywordBridge_CcCrCvCpArb::CC;
constexpr auto CR = KeywordBridge_CcCrCvCpArb::CR;
constexpr auto ARB = KeywordBridge_CcCrCvCpArb::ARB;

namespace {

// Answers are not looked at here: the queue is what the badge follows.
class Discard : public zo4882::ZOScpiResponder
{
public:
    ~Discard() override { retire(); }

protected:
    void OnRespSend(zo4882::SCPIRESP_T *response) override { zo4882::freeScpiResponse(response); }
    void OnSrqRaise(unsigned char) override { }
};

// The colour a tile's flat image shows inside its border.
QColor tileColour(QWidget *tile)
{
    return tile->grab().toImage().pixelColor(3, 3);
}

} // namespace

// The home screen in a 320 x 240 main window over the engine's basic settings on the simulated
// board, the basic settings living in a thread of their own as on the panel.
class tst_PictMeasure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void errorBadgeFollowsTheParsersQueue();
    void errorBadgeSurvivesOtherThreads();
    void cutoffClearLeavesTheEnabledIcon();
    void externalLoadIcon_data();
    void externalLoadIcon();
    void currentRangeTile_data();
    void currentRangeTile();
    void voltageTileAndModelMaxima();
    void navigationByBarKeys_data();
    void navigationByBarKeys();
    void closingTheBarFromSystemReturns_data();
    void closingTheBarFromSystemReturns();
    void levelPageSignals();
    void lanTileColours_data();
    void lanTileColours();
    void remoteKeyLockAndProgramIndicators();
    void menuBarKeys_data();
    void menuBarKeys();
    void menuKeyStatesSetByTheScreen();

private:
    FuncButton *barKey(const char *name) const;
    QWidget *shownView() const { return m_screen->viewStack()->currentWidget(); }
    QWidget *shownPage() const { return m_screen->keyStack()->currentWidget(); }
    QLabel *label(const char *name) const { return m_screen->findChild<QLabel *>(name); }

    EngineFixture m_engine;
    QThread m_engineThread;
    std::unique_ptr<vek::Basic> m_basic;
    std::unique_ptr<DataLogger> m_logger;
    std::unique_ptr<Vek3r> m_window;
    PictMeasure *m_screen = nullptr;
    std::unique_ptr<SystErrCustom> m_hook;
};

void tst_PictMeasure::initTestCase()
{
    const QString why = PanelTestLook::apply();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    m_hook = std::make_unique<SystErrCustom>(
        nullptr, &Vek3r::notifyScpiErrorQueued, &Vek3r::notifyScpiErrorDecued);
    zo4882::s_systErrCue.setHook(m_hook.get());
}

void tst_PictMeasure::init()
{
    zo4882::s_systErrCue.clear();
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(true), qPrintable(m_engine.errorString()));
    m_basic = std::make_unique<vek::Basic>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    QSignalSpy modes(m_basic.get(), &vek::Source::operationModeChanged);
    m_basic->moveToThread(&m_engineThread);
    m_engineThread.start();
    QVERIFY(modes.wait(30000)); // initialize() has run in the engine's thread

    m_logger = std::make_unique<DataLogger>();
    PanelEngine engine;
    engine.basic = m_basic.get();
    engine.status = m_engine.status.get();
    engine.model = m_engine.info.get();
    engine.logger = m_logger.get();
    m_window = std::make_unique<Vek3r>(engine);
    m_window->resize(320, 240);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_screen = m_window->pictMeasure();
}

void tst_PictMeasure::cleanup()
{
    m_window.reset();
    m_logger.reset();
    m_engineThread.quit();
    m_engineThread.wait();
    m_basic.reset();
    vek::Source::m_functionMode = CC;
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
    zo4882::s_systErrCue.clear();
}

FuncButton *tst_PictMeasure::barKey(const char *name) const
{
    return m_window->findChild<FuncButton *>(QLatin1String(name));
}

void tst_PictMeasure::errorBadgeFollowsTheParsersQueue()
{
    QLabel *badge = label("infoError");
    QVERIFY(badge->isHidden());

    DictIndexNative dictionary;
    zo4882::ZO4882Parser parser(&dictionary, zo4882::NODE_NONE);
    Discard responder;
    QByteArray message("NOSUCH1\nNOSUCH2\nNOSUCH3\n");
    parser.postReceived(
        message.data(), message.size(), false, zo4882::INTF_SOCKET, 7u, this, &responder);
    QTRY_COMPARE_WITH_TIMEOUT(badge->text(), QStringLiteral("3"), 30000);
    QVERIFY(badge->isVisible());

    // Read in another thread, as a remote client reading the queue would.
    std::unique_ptr<QThread> reader(QThread::create([] {
        while (!zo4882::s_systErrCue.isEmpty())
            zo4882::s_systErrCue.decue();
    }));
    reader->start();
    QVERIFY(reader->wait(30000));
    QTRY_VERIFY_WITH_TIMEOUT(badge->isHidden(), 30000);
    QCOMPARE(badge->text(), QStringLiteral("0"));
}

void tst_PictMeasure::errorBadgeSurvivesOtherThreads()
{
    // Writers and readers of the queue run while the badge refreshes on every notification.
    constexpr int Errors = 100000;
    std::atomic<int> queued { 0 };
    std::unique_ptr<QThread> writer(QThread::create([&] {
        for (int i = 0; i < Errors; ++i) {
            zo4882::s_systErrCue.cue(zo4882::SYST_ERR_INFO(-113, zo4882::INTF_SOCKET, QString()));
            ++queued;
        }
    }));
    std::unique_ptr<QThread> reader(QThread::create([&] {
        while (queued.load() < Errors || !zo4882::s_systErrCue.isEmpty())
            zo4882::s_systErrCue.decue();
    }));
    writer->start();
    reader->start();
    QTRY_VERIFY_WITH_TIMEOUT(writer->isFinished() && reader->isFinished(), 120000);
    QTRY_VERIFY_WITH_TIMEOUT(label("infoError")->isHidden(), 30000);
}

void tst_PictMeasure::cutoffClearLeavesTheEnabledIcon()
{
    QVERIFY(label("cutoffEnable")->isHidden());
    m_screen->onCutoffEnableChange(); // nothing enabled on the board yet
    QVERIFY(label("cutoffEnable")->isHidden());

    QCOMPARE(m_basic->setOutputCutOffVoltageState(true), 0);
    QTRY_VERIFY_WITH_TIMEOUT(label("cutoffEnable")->isVisible(), 30000);
    m_screen->onCutoffETimeOccurred(1);
    m_screen->onCutoffVoltageOccurred(1);
    m_screen->onCutoffCapacityOccurred(1);
    m_screen->onCutoffEnergyOccurred(1);
    for (const char *name : { "cutoffTime", "cutoffVolt", "cutoffCap", "cutoffEner" })
        QVERIFY2(label(name)->isVisible(), name);

    QCOMPARE(m_basic->clearCutoff(), 0);
    for (const char *name : { "cutoffTime", "cutoffVolt", "cutoffCap", "cutoffEner" })
        QTRY_VERIFY2_WITH_TIMEOUT(label(name)->isHidden(), name, 30000);
    QVERIFY(label("cutoffEnable")->isVisible());
}

void tst_PictMeasure::externalLoadIcon_data()
{
    QTest::addColumn<bool>("status");
    QTest::addColumn<bool>("logicPositive");
    QTest::addColumn<QString>("image");
    QTest::addColumn<bool>("visible");
    QTest::newRow("off, positive") << false << true << ":/status/image/extLoad.png" << true;
    QTest::newRow("off, negative") << false << false << ":/status/image/extLoadNeg.png" << true;
    QTest::newRow("on, negative") << true << false << ":/status/image/extLoadNegOn.png" << true;
    QTest::newRow("on, positive") << true << true << ":/status/image/extLoadNegOn.png" << false;
}

void tst_PictMeasure::externalLoadIcon()
{
    QFETCH(bool, status);
    QFETCH(bool, logicPositive);
    QFETCH(QString, image);
    QFETCH(bool, visible);
    QLabel *icon = label("infoExtLoad");
    QVERIFY(icon->isHidden());
    m_screen->onOutputExternalUiChange(status, logicPositive);
    QCOMPARE(icon->isVisible(), visible);
    QVERIFY(!QPixmap(image).isNull());
    QCOMPARE(icon->pixmap(Qt::ReturnByValue).toImage(), QPixmap(image).toImage());
}

void tst_PictMeasure::currentRangeTile_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("range");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("CR low: pale red") << int(CR) << 0 << QColor(255, 150, 150);
    QTest::newRow("CR medium: light red") << int(CR) << 1 << QColor(255, 85, 85);
    QTest::newRow("CR high: red") << int(CR) << 2 << QColor(255, 0, 0);
    QTest::newRow("CC low: red") << int(CC) << 0 << QColor(255, 0, 0);
    QTest::newRow("CC medium: red") << int(CC) << 1 << QColor(255, 0, 0);
}

void tst_PictMeasure::currentRangeTile()
{
    QFETCH(int, mode);
    QFETCH(int, range);
    QFETCH(QColor, colour);
    QLabel *tile = label("infoCRange");
    const auto currentRange = KeywordBridge_LowMedHigh::values(range);
    if (!m_engine.info->currRangeMap().contains(range))
        QSKIP("the fixture's model has no such current range");

    QCOMPARE(m_basic->setFunctionMode(KeywordBridge_CcCrCvCpArb::values(mode)), 0);
    QCOMPARE(m_basic->setCurrentRange(currentRange), 0);
    QTRY_COMPARE_WITH_TIMEOUT(tileColour(tile), colour, 30000);
    QVERIFY(!tile->text().endsWith(QLatin1Char('*')));

    // The range in use differs from the one chosen on the panel.
    const auto other = KeywordBridge_LowMedHigh::values(range == 2 ? 0 : 2);
    m_screen->onCurrRangeChange(currentRange, other);
    QVERIFY(tile->text().endsWith(QLatin1Char('*')));
    QCOMPARE(tileColour(tile), colour);
    // The range page checks the range chosen on the panel.
    QVERIFY(m_screen->rangePage()->m_currKeys[other]->isChecked());
    // The level view is bound to the range in use.
    const Ui_ViewSet *view = m_screen->viewSet()->form();
    zoDoubleSpinBox *level = mode == CR ? view->setConductance : view->setCurrent;
    const auto &table = mode == CR ? m_engine.info->conductanceMap() : m_engine.info->currentMap();
    QCOMPARE(level->maximum() * level->siFactor(), ModelInformation::rangeValue(table, range).m_max);
}

void tst_PictMeasure::voltageTileAndModelMaxima()
{
    // The fixture's model (sim/boardroot's model file): 0.3, 3 and 30 A, and one voltage
    // range of 150 V, which the low range falls back to.
    const struct
    {
        int range;
        const char *text;
    } currents[] = { { 0, "300mA" }, { 1, "3A" }, { 2, "30A" } },
      voltages[] = { { 0, "150V" }, { 1, "150V" } };
    for (const auto &c : currents) {
        m_screen->onCurrRangeChange(
            KeywordBridge_LowMedHigh::values(c.range), KeywordBridge_LowMedHigh::values(c.range));
        QCOMPARE(label("infoCRange")->text(), QLatin1String(c.text));
    }
    for (const auto &v : voltages) {
        m_screen->onVoltRangeChange(KeywordBridge_LowHigh::values(v.range));
        QCOMPARE(label("infoVRange")->text(), QLatin1String(v.text));
    }
    QCOMPARE(tileColour(label("infoVRange")), QColor(0, 255, 0));
    m_screen->onVoltRangeChange(KeywordBridge_LowHigh::LOW);
    QCOMPARE(tileColour(label("infoVRange")), QColor(128, 255, 128));
}

void tst_PictMeasure::navigationByBarKeys_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("view");
    const auto row = [](const char *name, QStringList keys, const char *page, const char *view) {
        QTest::newRow(name) << keys << QString::fromLatin1(page) << QString::fromLatin1(view);
    };
    row("Pulse then Range keeps the pulse view",
        { "SourcePulse", "SourceRange" },
        "FuncSourRange",
        "ViewPulseWaveform");
    row("then Mode returns to the basic view",
        { "SourcePulse", "SourceRange", "SourceMode" },
        "FuncSourMode",
        "ViewSet");
    row("Sine then Range", { "SourceSine", "SourceRange" }, "FuncSourRange", "ViewSineWaveform");
    row("More leaves the remembered view",
        { "SourceSine", "SourceMore", "SourceRange" },
        "FuncSourRange",
        "ViewSineWaveform");
    row("Level", { "SourcePulse", "SourceLevel" }, "FuncSourLevel", "ViewSet");
    row("ABC", { "SourceABC" }, "FuncSourMemory", "ViewSet");
    row("Acquire", { "subsystAcquire" }, "FuncAcquire", "ViewAcquire");
    row("Data", { "subsystData" }, "FuncData", "ViewData");
    row("Display", { "subsystDisplay" }, "FuncDisplay", "ViewMore");
    row("Transient", { "progExecute" }, "FuncProgExecute", "ViewProgram");
    row("Program More", { "ProgTriger" }, "FuncProgTrigger", "ViewTrigger");
}

void tst_PictMeasure::navigationByBarKeys()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, page);
    QFETCH(QString, view);
    QCOMPARE(shownPage()->metaObject()->className(), "FuncSourLevel");
    QCOMPARE(shownView()->metaObject()->className(), "ViewSet");
    for (const QString &key : keys)
        barKey(qPrintable(key))->click();
    QCOMPARE(QString::fromLatin1(shownPage()->metaObject()->className()), page);
    QCOMPARE(QString::fromLatin1(shownView()->metaObject()->className()), view);
}

void tst_PictMeasure::closingTheBarFromSystemReturns_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("menu");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("view");
    QTest::newRow("Source with the sine view")
        << "SourceSine" << int(PictMeasure::Source) << "FuncSourSine"
        << "ViewSineWaveform";
    QTest::newRow("Source after Range")
        << "SourceRange" << int(PictMeasure::Source) << "FuncSourLevel"
        << "ViewSet";
    QTest::newRow("Program") << "ProgTriger" << int(PictMeasure::Program) << "FuncProgExecute"
                             << "ViewProgram";
}

void tst_PictMeasure::closingTheBarFromSystemReturns()
{
    QFETCH(QString, before);
    QFETCH(int, menu);
    QFETCH(QString, page);
    QFETCH(QString, view);
    const auto shown = PictMeasure::MenuMode(menu);
    m_screen->viewSubFuncKey(true, shown, shown);
    barKey(qPrintable(before))->click();
    // To System, then the bar closes from there.
    m_screen->viewSubFuncKey(true, PictMeasure::System, shown);
    m_screen->viewSubFuncKey(false, PictMeasure::System, PictMeasure::System);
    QCOMPARE(QString::fromLatin1(shownPage()->metaObject()->className()), page);
    QCOMPARE(QString::fromLatin1(shownView()->metaObject()->className()), view);
    QCOMPARE(m_screen->keyStack()->maximumWidth(), 5);
    QCOMPARE(m_screen->viewStack()->maximumHeight(), 85);

    // Measure: the chart, 200 pixels at least while the bar is closed, no settings view.
    m_screen->viewSubFuncKey(false, PictMeasure::Measure, PictMeasure::Measure);
    QCOMPARE(m_screen->displayStack()->currentWidget(), m_screen->chart());
    QCOMPARE(m_screen->chart()->minimumHeight(), 200);
    QVERIFY(m_screen->viewStack()->isHidden());
    m_screen->viewSubFuncKey(true, PictMeasure::Measure, PictMeasure::Measure);
    QCOMPARE(m_screen->chart()->minimumHeight(), 0);
    QVERIFY(m_screen->viewStack()->isVisible());
    QCOMPARE(m_screen->keyStack()->maximumWidth(), 64);
    QCOMPARE(m_screen->viewStack()->maximumHeight(), 70);
}

void tst_PictMeasure::levelPageSignals()
{
    FuncSourLevel *level = m_screen->levelPage();
    barKey("SourceMode")->click();

    // Outside ARB the table key changes nothing.
    Q_EMIT level->tableClicked(true);
    QCOMPARE(shownView()->metaObject()->className(), "ViewSet");
    QVERIFY(level->isBasicPage());

    vek::Source::m_functionMode = ARB;
    Q_EMIT level->tableClicked(false);
    QCOMPARE(shownView()->metaObject()->className(), "ViewSet");
    Q_EMIT level->tableClicked(true);
    QCOMPARE(shownView()->metaObject()->className(), "ViewArbitrary");
    QVERIFY(!level->isBasicPage());

    // A level key goes back to the basic page and clicks its key there.
    QSignalSpy slewRate(level->basicPage()->ui->slewRate, &FuncButton::clicked);
    // The level view, shown again, clicks the checked key once more to focus its entry.
    Q_EMIT level->slewRateClicked(true);
    QCOMPARE(slewRate.size(), 2);
    QVERIFY(level->isBasicPage());
    QCOMPARE(shownView()->metaObject()->className(), "ViewSet");
    // The level view has the entry: no refusal.
    QVERIFY(!m_window->findChild<zoMessageBox *>());

    // Key-lock mode of the preset page.
    m_screen->setKeyLockMode();
    QCOMPARE(shownPage(), m_screen->memoryPage());
    m_screen->clearKeyLockMode();
    QCOMPARE(
        m_screen->memoryPage()->calls(), QStringList({ "setKeyLockMode", "clearKeyLockMode" }));
}

void tst_PictMeasure::lanTileColours_data()
{
    QTest::addColumn<int>("lanStatus4");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("fault (-1): red") << -1 << QColor(255, 0, 0);
    QTest::newRow("up (1): green") << 0 << QColor(0, 255, 0);
    QTest::newRow("other (0): orange") << 1 << QColor(255, 160, 0);
}

void tst_PictMeasure::lanTileColours()
{
    QFETCH(int, lanStatus4);
    QFETCH(QColor, colour);
    PreferenceInfo preferences;
    preferences.modify([](PreferenceInfo::Values &v) {
        v.adrsAssign4 = 2;
    });
    NetworkInfo info;
    info.modify([lanStatus4](NetworkInfo::Fields &f) {
        f.lanStatus4 = lanStatus4;
    });
    m_screen->onViewLanChange(&info, 0);
    QCOMPARE(tileColour(label("infoLan")), colour);
    QCOMPARE(label("infoLan")->text(), QStringLiteral("LAN"));
}

void tst_PictMeasure::remoteKeyLockAndProgramIndicators()
{
    // Remote and key lock: the remote tile hides the key-lock icon; a level outside 1 to 3
    // shows nothing.
    m_screen->onViewKeyLockChange(true, 2);
    QVERIFY(label("infoKeyLock")->isVisible());
    m_screen->onViewRemoteChange(true);
    QVERIFY(label("infoRemote")->isVisible());
    QVERIFY(label("infoKeyLock")->isHidden());
    m_screen->onViewKeyLockChange(true, 4);
    QVERIFY(label("infoKeyLock")->isHidden());

    // A program start and end: the icon and the main window's menu key 1.
    m_screen->onStateActive();
    QVERIFY(label("infoProg")->isVisible());
    QVERIFY(!m_window->menuAction1()->isEnabled());
    m_screen->onStateIdle();
    QVERIFY(label("infoProg")->isHidden());
    QVERIFY(m_window->menuAction1()->isEnabled());
}

void tst_PictMeasure::menuBarKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("menu");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("panelKey"); // 0: the key's column group answers the panel key
    QTest::addColumn<bool>("checked");
    const auto row = [](const char *key, int menu, const char *text, int panelKey, bool on) {
        QTest::newRow(key) << key << menu << QString::fromUtf8(text) << panelKey << on;
    };
    row("SourceMode", 0, "Mode", Qt::Key_F6, false);
    row("SourceRange", 0, "Range", Qt::Key_F7, false);
    row("SourceMore", 0, "More", Qt::Key_F8, false);
    row("SourceSine", 0, "\u00b7Sine", 0, false);
    row("SourcePulse", 0, "\u00b7Pulse", 0, false);
    row("SourceLevel", 0, "\u00b7Level", 0, true);
    row("SourceABC", 0, "\u00b7ABC", 0, false);
    row("subsystAcquire", 1, "Acquire", Qt::Key_F6, true);
    row("subsystData", 1, "Data", Qt::Key_F7, false);
    row("subsystDisplay", 1, "Display", Qt::Key_F8, false);
    row("subsystSource", 1, "More", Qt::Key_F9, false);
    row("subsystMemory", 1, "Data\nExport", Qt::Key_F10, false);
    row("progSelect", 2, "1.Program", Qt::Key_F6, false);
    row("progEdit", 2, "2.Steps", Qt::Key_F7, false);
    row("progExecute", 2, "3.Transient", Qt::Key_F8, true);
    row("ProgTriger", 2, "More", Qt::Key_F9, false);
    row("progMemory", 2, "Import\nExport", Qt::Key_F10, false);
    row("systConfig", 3, "\u00b7Configure", 0, true);
    row("systInterface", 3, "\u00b7Interface", 0, false);
    row("systFile", 3, "Recall\nSave", Qt::Key_F7, false);
    row("systError", 3, "SCPI", Qt::Key_F8, false);
    row("systAdmin", 3, "Admin", Qt::Key_F9, false);
    row("systInfomation", 3, "Infomation", Qt::Key_F10, false);
}

void tst_PictMeasure::menuBarKeys()
{
    QFETCH(QString, key);
    QFETCH(int, menu);
    QFETCH(QString, text);
    QFETCH(int, panelKey);
    QFETCH(bool, checked);
    FuncButton *button = barKey(qPrintable(key));
    QVERIFY(button);
    QCOMPARE(button->text(), text);
    QCOMPARE(button->shortcut(), panelKey ? QKeySequence(panelKey) : QKeySequence());
    QCOMPARE(button->isChecked(), checked);
    QVERIFY(button->width() <= 62);
    QWidget *group = button;
    while (group && group->parentWidget() != m_window->form()->FuncMode)
        group = group->parentWidget();
    QCOMPARE(m_window->form()->FuncMode->indexOf(group), menu);
    QCOMPARE(m_window->form()->FuncMode->currentIndex(), 0);
}

void tst_PictMeasure::menuKeyStatesSetByTheScreen()
{
    const Ui_Vek3r *form = m_window->form();
    m_window->setWaveformUiEnable(false);
    QVERIFY(!form->SourcePulse->isEnabled());
    m_window->setWaveformUiEnable(true);
    QVERIFY(form->SourcePulse->isEnabled());
    m_window->setRangeUiEnable(false);
    QVERIFY(!form->SourceRange->isEnabled());
    m_window->setRangeUiEnable(true);
    QVERIFY(form->SourceRange->isEnabled());
    // Sine only where the model has a sine function range.
    m_window->setSineWaveformUiEnable(true);
    QCOMPARE(form->SourceSine->isEnabled(), m_engine.info->hasSine());
    m_window->setSineWaveformUiEnable(false);
    QVERIFY(!form->SourceSine->isEnabled());

    // A program start while the bar shows Source: the Program menu and its run panel.
    barKey("SourcePulse")->click();
    m_window->setUiInitateProgram(true);
    QCOMPARE(form->FuncMode->currentWidget(), form->FuncModeProgram);
    QCOMPARE(shownPage()->metaObject()->className(), "FuncProgExecute");
    QCOMPARE(shownView()->metaObject()->className(), "ViewProgram");
    // Not again from another menu.
    form->FuncMode->setCurrentWidget(form->FuncModeMeasure);
    m_window->setUiInitateProgram(true);
    QCOMPARE(form->FuncMode->currentWidget(), form->FuncModeMeasure);
}

QTEST_MAIN(tst_PictMeasure)
#include "tst_PictMeasure.moc"
