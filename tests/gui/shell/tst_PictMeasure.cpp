#include "commands/DictIndexNative.h"
#include "commands/SystErrCustom.h"
#include "engine/AcquireTrigger.h"
#include "engine/Basic.h"
#include "engine/DataLogger.h"
#include "gui/program/ViewProgram.h"
#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/PanelControl.h"
#include "gui/shell/PictMeasure.h"
#include "gui/shell/SlaveScreen.h"
#include "gui/shell/Ui_PictMeasure.h"
#include "gui/shell/Ui_Vek3r.h"
#include "gui/shell/Vek3r.h"
#include "gui/shell/ViewAcquire.h"
#include "gui/source/FuncSourLevel.h"
#include "gui/source/FuncSourLevelBasic.h"
#include "gui/source/FuncSourMemory.h"
#include "gui/source/FuncSourMode.h"
#include "gui/source/FuncSourRange.h"
#include "gui/source/ViewArbitrary.h"
#include "gui/source/ViewPulseWaveform.h"
#include "gui/source/ViewSet.h"
#include "gui/source/ViewSetForm.h"
#include "gui/source/ViewSineWaveform.h"
#include "gui/source/ViewSourceMore.h"
#include "gui/system/PictFile.h"
#include "gui/toolkit/Chart.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/Meter.h"
#include "gui/toolkit/StatusTiles.h"
#include "gui/toolkit/zoMeasDoubleBox.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMessageBox.h"
#include "instrument/PreferenceInfo.h"
#include "network/NetworkInfo.h"
#include "platform/SysfsFile.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZOScpiResponder.h"
#include "remote/ZOSystErrCue.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStateMachine>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTreeView>

#include <algorithm>
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
    void menuKeysOpenAndCloseTheBar();
    void softKeysSelectPages_data();
    void softKeysSelectPages();
    void loadKeySwitchesTheLoad();

    void startsInCcWithLoadOnPages();
    void modeReports_data();
    void modeReports();
    void engineModeChangesReachTheTile();
    void sineTurnsIntoPulseInCr();
    void shortDuringPulseAndLoadOffPages();
    void acquisitionKeys();
    void msyncKeys();
    void monitorRecordsReachMeterAndChart();
    void alarmSentence_data();
    void alarmSentence();
    void alarmModeFromTheBoard();
    void slaveScreen();

private:
    FuncSourMode *modePage() const;
    // Bit n set: the mode page's key of mode n (CC, CR, CV, CP, ARB) is enabled.
    unsigned enabledModeKeys() const;
    // The mode page's checked key, -1 for none.
    int checkedModeKey() const;
    // How many states of the screen's machines have been entered so far.
    int stateEntries() const { return m_stateEntries; }
    void waitForMachines();
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
    int m_stateEntries = 0;
    bool m_countingEntries = false;
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
    m_stateEntries = 0;
    m_countingEntries = false;
    zo4882::s_systErrCue.clear();
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(true), qPrintable(m_engine.errorString()));
    m_basic = std::make_unique<vek::Basic>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    // initialize() has run in the engine's thread; it may report before any wait begins.
    std::atomic<bool> initialized { false };
    const QMetaObject::Connection report = connect(
        m_basic.get(),
        &vek::Source::operationModeChanged,
        m_basic.get(),
        [&initialized] {
            initialized = true;
        },
        Qt::DirectConnection);
    m_basic->moveToThread(&m_engineThread);
    m_engineThread.start();
    QTRY_VERIFY_WITH_TIMEOUT(initialized.load(), 30000);
    disconnect(report);

    m_logger = std::make_unique<DataLogger>();
    PanelEngine engine;
    engine.basic = m_basic.get();
    engine.status = m_engine.status.get();
    engine.model = m_engine.info.get();
    engine.logger = m_logger.get();
    engine.monitor = m_engine.monitor.get();
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
    vek::Source::m_functionModeCvOption = false;
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
    waitForMachines(); // the CC entry's calls on the page are not looked at here
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
    QVERIFY(!m_screen->memoryPage()->m_modeGroup->isEnabled());
    m_screen->clearKeyLockMode();
    QVERIFY(m_screen->memoryPage()->m_modeGroup->isEnabled());
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

FuncSourMode *tst_PictMeasure::modePage() const
{
    return m_screen->findChild<FuncSourMode *>();
}

unsigned tst_PictMeasure::enabledModeKeys() const
{
    unsigned keys = 0;
    for (int mode = 0; mode < 5; ++mode) {
        if (modePage()->page()->m_keys[mode]->isEnabled())
            keys |= 1u << mode;
    }
    return keys;
}

int tst_PictMeasure::checkedModeKey() const
{
    for (int mode = 0; mode < 5; ++mode) {
        if (modePage()->page()->m_keys[mode]->isChecked())
            return mode;
    }
    return -1;
}

void tst_PictMeasure::waitForMachines()
{
    // The machines enter their initial states once events run after construction.
    const QList<QStateMachine *> machines = m_screen->stateMachines();
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(machines.begin(),
                                 machines.end(),
                                 [](QStateMachine *machine) {
                                     return machine->isRunning();
                                 }),
        30000);
    if (m_countingEntries)
        return;
    m_countingEntries = true;
    for (QStateMachine *machine : machines) {
        for (QAbstractState *state : machine->findChildren<QAbstractState *>()) {
            connect(state, &QAbstractState::entered, this, [this] {
                ++m_stateEntries;
            });
        }
    }
}

void tst_PictMeasure::startsInCcWithLoadOnPages()
{
    waitForMachines();
    // CC checked, and with the load on only its key may be chosen.
    QTRY_COMPARE_WITH_TIMEOUT(checkedModeKey(), 0, 30000);
    QCOMPARE(enabledModeKeys(), 1u);
    QCOMPARE(label("InfoMode")->text(), QStringLiteral("CC"));
    QCOMPARE(label("InfoMode")->styleSheet(), CC_HStatus);
    QCOMPARE(shownView(), m_screen->viewSet());
    QVERIFY(label("infoPulse")->isHidden());
    QVERIFY(label("infoSine")->isHidden());
    QVERIFY(m_window->form()->SourcePulse->isEnabled());
}

using ModeReport = QPair<int, bool>; // mode, CV option

void tst_PictMeasure::modeReports_data()
{
    QTest::addColumn<QList<ModeReport>>("reports");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("view");
    QTest::addColumn<bool>("waveformKeys");

    QTest::newRow("CC to CR+CV") << QList<ModeReport> { { 1, true } } << "CR+CV" << CR_Status
                                 << "ViewSet" << true;
    QTest::newRow("CR+CV to CC") << QList<ModeReport> { { 1, true }, { 0, false } } << "CC"
                                 << CC_HStatus << "ViewSet" << true;
    QTest::newRow("CC+CV to CR") << QList<ModeReport> { { 0, true }, { 1, false } } << "CR"
                                 << CR_Status << "ViewSet" << true;
    QTest::newRow("CR to CC+CV") << QList<ModeReport> { { 1, false }, { 0, true } } << "CC+CV"
                                 << CC_HStatus << "ViewSet" << true;
    QTest::newRow("CV") << QList<ModeReport> { { 2, false } } << "CV" << CV_HStatus << "ViewSet"
                        << false;
    QTest::newRow("CP") << QList<ModeReport> { { 3, false } } << "CP" << CP_Status << "ViewSet"
                        << false;
    QTest::newRow("ARB") << QList<ModeReport> { { 4, false } } << "ARB" << ARB_Status << "ViewSet"
                         << false;
    QTest::newRow("unknown mode") << QList<ModeReport> { { 5, false } } << "CC" << CC_HStatus
                                  << "ViewSet" << true;
}

void tst_PictMeasure::modeReports()
{
    QFETCH(QList<ModeReport>, reports);
    QFETCH(QString, text);
    QFETCH(QString, style);
    QFETCH(QString, view);
    QFETCH(bool, waveformKeys);
    waitForMachines();
    // From a view other than the basic settings: the remembered one is shown again.
    barKey("SourcePulse")->click();
    barKey("SourceLevel")->click();
    for (const ModeReport &report : reports) {
        if (report.first <= ARB)
            vek::Source::m_functionMode = vek::SourceMode(report.first);
        m_screen->onOperationModeChange(vek::SourceMode(report.first), report.second);
    }
    QTRY_COMPARE_WITH_TIMEOUT(label("InfoMode")->text(), text, 30000);
    QCOMPARE(label("InfoMode")->styleSheet(), style);
    QCOMPARE(shownView()->metaObject()->className(), qPrintable(view));
    QCOMPARE(m_window->form()->SourcePulse->isEnabled(), waveformKeys);

    // A repeated report runs no entry again.
    const int entries = stateEntries();
    const ModeReport last = reports.last();
    m_screen->onOperationModeChange(vek::SourceMode(last.first), last.second);
    QTest::qWait(50);
    QCOMPARE(stateEntries(), entries);
}

void tst_PictMeasure::engineModeChangesReachTheTile()
{
    waitForMachines();
    QCOMPARE(m_basic->setFunctionModeCvOption(true), 0);
    QTRY_COMPARE_WITH_TIMEOUT(label("InfoMode")->text(), QStringLiteral("CC+CV"), 30000);
    QCOMPARE(m_basic->setFunctionMode(CR), 0);
    QTRY_COMPARE_WITH_TIMEOUT(label("InfoMode")->text(), QStringLiteral("CR+CV"), 30000);
    // The current-range tile takes the colour of the present range in CR.
    const QString rangeStyle[] = { CC_LStatus, CC_MStatus, CC_HStatus };
    QCOMPARE(label("infoCRange")->styleSheet(), rangeStyle[vek::Source::getCurrentRange()]);
    QCOMPARE(m_basic->setFunctionMode(KeywordBridge_CcCrCvCpArb::CV), 0);
    QTRY_COMPARE_WITH_TIMEOUT(label("InfoMode")->text(), QStringLiteral("CV"), 30000);
    QCOMPARE(label("infoCRange")->styleSheet(), CC_HStatus);
    QVERIFY(!m_window->form()->SourcePulse->isEnabled());
}

void tst_PictMeasure::sineTurnsIntoPulseInCr()
{
    waitForMachines();
    m_screen->onWaveformStateChange(2);
    Q_EMIT barKey("SourceSine")->clicked(false); // the key is there on models with sine only
    QTRY_VERIFY_WITH_TIMEOUT(label("infoSine")->isVisible(), 30000);
    QCOMPARE(shownView(), m_screen->sineView());

    vek::Source::m_functionMode = CR;
    m_screen->onOperationModeChange(CR, false);
    QTRY_COMPARE_WITH_TIMEOUT(label("InfoMode")->text(), QStringLiteral("CR"), 30000);
    QCOMPARE(shownView(), m_screen->pulseView());
    // The waveform entry ran as normal: no sine icon in CR.
    QVERIFY(label("infoSine")->isHidden());
    QVERIFY(label("infoPulse")->isHidden());
    QVERIFY(!m_window->form()->SourceSine->isEnabled());

    // In pulse, CR keeps the pulse view and its icon.
    m_screen->onWaveformStateChange(1);
    QTRY_VERIFY_WITH_TIMEOUT(label("infoPulse")->isVisible(), 30000);
    vek::Source::m_functionMode = CC;
    m_screen->onOperationModeChange(CC, false);
    QTRY_COMPARE_WITH_TIMEOUT(label("InfoMode")->text(), QStringLiteral("CC"), 30000);
    vek::Source::m_functionMode = CR;
    m_screen->onOperationModeChange(CR, false);
    QTRY_COMPARE_WITH_TIMEOUT(label("InfoMode")->text(), QStringLiteral("CR"), 30000);
    QCOMPARE(shownView(), m_screen->pulseView());
    QVERIFY(label("infoPulse")->isVisible());
}

void tst_PictMeasure::shortDuringPulseAndLoadOffPages()
{
    waitForMachines();
    QCOMPARE(m_basic->setPulseState(true), 0);
    QTRY_VERIFY_WITH_TIMEOUT(label("infoPulse")->isVisible(), 30000);

    const int entries = stateEntries();
    m_screen->onOutputShortChange(true); // no way from pulse to short
    QTest::qWait(50);
    QCOMPARE(stateEntries(), entries);
    QVERIFY(label("infoPulse")->isVisible());
    m_screen->onOutputShortChange(false);
    QTRY_VERIFY_WITH_TIMEOUT(label("infoPulse")->isHidden(), 30000);
    QVERIFY(stateEntries() > entries);
    QVERIFY(!m_screen->viewSet()->form()->setCurrent->isReadOnly());

    // The load goes off: the pages take the form of the active waveform.
    m_screen->onWaveformStateChange(1);
    m_screen->onAlarmUiChange();
    // Pulsing with the load off: CC and CR may be chosen.
    QTRY_COMPARE_WITH_TIMEOUT(enabledModeKeys(), 3u, 30000);
    const int offEntries = stateEntries();
    m_screen->onOutputChange(false); // already off: nothing again
    QTest::qWait(50);
    QCOMPARE(stateEntries(), offEntries);
    m_screen->onOutputChange(true);
    QTRY_COMPARE_WITH_TIMEOUT(enabledModeKeys(), 1u << checkedModeKey(), 30000);
}

void tst_PictMeasure::acquisitionKeys()
{
    vek::AcquireTrigger acquire(
        m_engine.writer.get(), m_engine.monitor.get(), m_engine.info.get(), m_logger.get());
    connect(m_engine.monitor.get(),
        &ioc::IoControl::dataUpdated,
        &acquire,
        &vek::AcquireTrigger::onDataUpdate);
    connect(m_engine.monitor.get(),
        &ioc::IoControl::acqTriggered,
        &acquire,
        &vek::AcquireTrigger::onAcqTriggered);
    QSignalSpy started(&acquire, &vek::AcquireTrigger::measAborted);
    QVERIFY(started.wait(30000));

    PanelEngine engine;
    engine.basic = m_basic.get();
    engine.status = m_engine.status.get();
    engine.model = m_engine.info.get();
    engine.logger = m_logger.get();
    engine.acquire = &acquire;
    Vek3r window(engine);
    PictMeasure *screen = window.pictMeasure();
    auto *keys = screen->findChild<FuncAcquire *>();
    QLabel *icon = screen->findChild<QLabel *>(QStringLiteral("infoMeas"));

    // Whether the acquisition view's first value can be edited.
    const QAbstractItemModel *rows =
        screen->findChild<ViewAcquire *>()->findChild<QTreeView *>()->model();
    const auto editable = [rows] {
        return bool(rows->flags(rows->index(0, 1, rows->index(0, 0))) & Qt::ItemIsEditable);
    };
    QVERIFY(editable());

    // What the screen made of the trigger, looked at when it happened.
    bool triggerKey = true;
    bool iconShown = false;
    bool triggeredEditable = true;
    connect(&acquire, &vek::AcquireTrigger::measTriggered, this, [&] {
        triggerKey = keys->m_triggerButton->isEnabled();
        iconShown = !icon->isHidden();
        triggeredEditable = editable();
    });

    QCOMPARE(acquire.setTriggerSources(ioc::IoControl::tasBus), 0);
    QCOMPARE(acquire.initiate(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(keys->m_triggerButton->isEnabled(), 30000);
    QVERIFY(!keys->m_initiateButton->isEnabled());
    QVERIFY(!keys->m_editButton->isEnabled());
    QVERIFY(keys->m_abortButton->isEnabled());
    QVERIFY(!keys->m_msyncButton->isEnabled()); // no MSYNC source, no link

    QSignalSpy complete(&acquire, &vek::AcquireTrigger::measUiComplete);
    QCOMPARE(acquire.trigger(), 0);
    QVERIFY(complete.wait(30000));
    QVERIFY(!triggerKey);
    QVERIFY(iconShown);
    QVERIFY(!triggeredEditable);
    QVERIFY(editable());
    QVERIFY(keys->m_initiateButton->isEnabled());
    QVERIFY(keys->m_editButton->isEnabled());
    QVERIFY(!keys->m_abortButton->isEnabled());
    QVERIFY(!keys->m_triggerButton->isEnabled());
    QVERIFY(icon->isHidden());
}

void tst_PictMeasure::msyncKeys()
{
    auto *more = m_screen->findChild<FuncSourMore *>();
    m_screen->EnSyncChange(true);
    QVERIFY(more->m_syncEnableButton->isEnabled());
    m_screen->onMSyncStateChange(true);
    QVERIFY(more->m_syncEnableButton->isChecked());
    QVERIFY(more->m_loadOnButton->isEnabled());
    QVERIFY(more->m_loadOffButton->isEnabled());

    // The sine view in sync: a link-up report leaves the key off and m-sync off.
    Q_EMIT m_screen->sineView()->SyncChanged(true);
    m_screen->EnSyncChange(true);
    QVERIFY(!more->m_syncEnableButton->isEnabled());
    QVERIFY(!more->m_loadOnButton->isEnabled());
    QVERIFY(!more->m_loadOffButton->isEnabled());
    QVERIFY(!m_basic->getMSyncState());
    Q_EMIT m_screen->sineView()->SyncChanged(false);
    QVERIFY(more->m_syncEnableButton->isEnabled());

    Q_EMIT m_screen->pulseView()->SyncChanged(true);
    QVERIFY(!more->m_syncEnableButton->isEnabled());
    Q_EMIT m_screen->pulseView()->SyncChanged(false);
    m_screen->EnSyncChange(false); // link down
    QVERIFY(!more->m_syncEnableButton->isEnabled());
    m_screen->EnSyncChange(true); // the flags live on: leave them as at start
    QVERIFY(more->m_syncEnableButton->isEnabled());
}

void tst_PictMeasure::monitorRecordsReachMeterAndChart()
{
    // Records made here: each is read by the meter and the chart and freed by the screen (the
    // sanitizer build reports any left over).
    for (int i = 0; i < 10000; ++i) {
        auto *record = new ioc::TRACE_DATA;
        record->current = 1.0 + i / 10000.0;
        record->voltage = 5.0;
        m_screen->onMonitorUpdate(record);
    }
    QCOMPARE(m_screen->meter()->form()->MeasCurr->value(), 1.9999);
    QCOMPARE(m_screen->chart()->form()->MeasCurr->value(), 1.9999);

    // From the board through the monitor link: 12 V behind 0.1 ohm drawn at 2 A in CC.
    QVERIFY(m_engine.board->command(QStringLiteral("source 12 0.1")).startsWith("OK"));
    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), 0);
    QCOMPARE(m_basic->setOutput(true), 0);
    const zoMeasDoubleBox *amps = m_screen->meter()->form()->MeasCurr;
    const zoMeasDoubleBox *volts = m_screen->meter()->form()->MeasVolt;
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(amps->value() - 2.0) < 0.05, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(volts->value() - 11.8) < 0.05, 30000);
    QCOMPARE(m_screen->chart()->form()->MeasCurr->value(), amps->value());
    QCOMPARE(m_basic->setOutput(false), 0);
}

namespace {

// The names line of a sentence, without the alarm image.
QString firstLine(const QString &plain)
{
    QString line = plain.section(QLatin1Char('\n'), 0, 0);
    line.remove(QChar(QChar::ObjectReplacementCharacter));
    return line.trimmed();
}

const QString enterHint = QStringLiteral("To clear the alarm, please press the Enter key.");

} // namespace

void tst_PictMeasure::alarmSentence_data()
{
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<bool>("watchdog");
    QTest::addColumn<QString>("names");
    QTest::addColumn<bool>("hint");
    QTest::addColumn<QString>("slaveNames");

    QTest::newRow("OVP and UVP") << 0x14000u << false << "OVP/UVP" << true << "OVP/UVP";
    QTest::newRow("watchdog tripped") << 0x8000u << true << "Watchdog" << true << "Watchdog";
    QTest::newRow("watchdog bit, no trip") << 0x8000u << false << "AC Fail" << true << "Watchdog";
    QTest::newRow("parallel communication")
        << 0x60u << false << "Parallel Communication" << false << "Parallel Communication";
    QTest::newRow("AC fail code") << 0x20u << false << "AC Fail" << false << "AC Fail";
    QTest::newRow("master lost") << 0xA0u << false << "Parallel Master Lost" << true
                                 << "Parallel Master Lost";
    QTest::newRow("code 0xE0") << 0xE0u << false << "Parallel Communication" << false
                               << "Parallel Communication";
    QTest::newRow("slave front") << 0x80u << false << "Parallel Slave Front" << true << "";
    QTest::newRow("slave over temperature") << 0x40u << false << "Parallel Slave Over Temperature"
                                            << true << "Parallel Slave Over Temperature";
    QTest::newRow("code 0xC0 after External")
        << 0x800C0u << false << "External/" << true << "External/";
    QTest::newRow("OCP") << 0x401000u << false << "OCP" << true << "OCP";
    QTest::newRow("OPP and front") << 0x502000u << false << "Front/OPP" << true << "Front/OPP";
    QTest::newRow("bit 0x1000 alone") << 0x1000u << false << "" << false << "";
}

void tst_PictMeasure::alarmSentence()
{
    QFETCH(quint32, flags);
    QFETCH(bool, watchdog);
    QFETCH(QString, names);
    QFETCH(bool, hint);
    QFETCH(QString, slaveNames);
    const vek::Status::StatusProtections protections(flags);

    vek::Source::m_watchDogStatus = watchdog;
    m_screen->viewAlarmMode(protections);
    vek::Source::m_watchDogStatus = false;
    const QString plain = m_screen->form()->Message->toPlainText();
    QCOMPARE(firstLine(plain), (names + QStringLiteral(" Alarm has occurred.")).trimmed());
    QCOMPARE(plain.contains(enterHint), hint);
    QVERIFY(m_screen->form()->Message->toHtml().contains(QStringLiteral("alarm.png")));

    SlaveScreen slave(nullptr);
    slave.onStateProtecte(protections);
    const QString slavePlain = slave.form()->alarmMessage->toPlainText();
    QCOMPARE(
        firstLine(slavePlain), (slaveNames + QStringLiteral(" Alarm has occurred.")).trimmed());
    QVERIFY(!slavePlain.contains(enterHint));
}

void tst_PictMeasure::alarmModeFromTheBoard()
{
    waitForMachines();
    QCOMPARE(QImage(QStringLiteral(":/resources/image/alarm.png")).size(), QSize(65, 20));
    // What the main window does with the status object's alarm states.
    vek::Status *status = m_engine.status.get();
    connect(
        status, &vek::Status::stateProtected, m_screen, [this](vek::Status::StatusProtections p) {
            m_screen->viewAlarmMode(p);
            m_screen->onAlarmUiChange();
        });
    connect(status, &vek::Status::stateIdle, m_screen, &PictMeasure::clearAlarmMode);

    m_screen->onViewSensingChange(true);
    zo4882::s_systErrCue.cue(zo4882::SYST_ERR_INFO(-113, zo4882::INTF_SOCKET, QString()));
    m_screen->onViewScpiErrorChange();
    QVERIFY(label("infoError")->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(enabledModeKeys(), 1u << checkedModeKey(), 30000); // load on

    QVERIFY(m_engine.board->command(QStringLiteral("status force 0x410000")).startsWith("OK"));
    QTRY_VERIFY_WITH_TIMEOUT(m_screen->isAlarmMode(), 30000);
    QCOMPARE(firstLine(m_screen->form()->Message->toPlainText()),
        QStringLiteral("OVP Alarm has occurred."));
    QVERIFY(m_screen->form()->Message->toPlainText().contains(enterHint));
    QCOMPARE(m_screen->form()->Message->minimumHeight(), 50);
    QVERIFY(m_screen->keyStack()->isHidden());
    QCOMPARE(m_screen->viewStack()->maximumHeight(), 66);
    QVERIFY(label("infoSensing")->isHidden());
    QVERIFY(label("infoError")->isHidden());
    QTRY_COMPARE_WITH_TIMEOUT(enabledModeKeys(), 0x1Fu, 30000); // load off, every mode

    // During the alarm: a cut-off occurs and a second error is queued.
    m_screen->onCutoffVoltageOccurred(1);
    zo4882::s_systErrCue.cue(zo4882::SYST_ERR_INFO(-113, zo4882::INTF_SOCKET, QString()));
    m_screen->onViewScpiErrorChange();
    QVERIFY(label("cutoffVolt")->isHidden());
    QVERIFY(label("infoError")->isHidden());

    QVERIFY(m_engine.board->command(QStringLiteral("status clear 0x410000")).startsWith("OK"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_screen->isAlarmMode(), 30000);
    QCOMPARE(m_screen->form()->Message->toPlainText(), QString());
    QCOMPARE(m_screen->form()->Message->minimumHeight(), 20);
    QVERIFY(label("infoSensing")->isVisible());
    QVERIFY(label("cutoffVolt")->isVisible());
    QVERIFY(label("infoError")->isVisible());
    QCOMPARE(label("infoError")->text(), QStringLiteral("2"));
}

void tst_PictMeasure::slaveScreen()
{
    SlaveScreen slave(m_engine.status.get());
    QCOMPARE(slave.size(), QSize(342, 241));
    QCOMPARE(slave.objectName(), QStringLiteral("SlaveScreen"));
    const Ui_SlaveScreen *form = slave.form();
    QVERIFY(form->mode->text().contains(QStringLiteral("Parallel operation")));
    QVERIFY(form->mode->text().contains(QStringLiteral("font-size:28pt")));
    QVERIFY(form->mode->text().contains(QStringLiteral("color:#174f9e;\">Slave<")));
    QVERIFY(form->parallelMessage->text().contains(QStringLiteral(
        "In parallel operation, one unit becomes a master unit in charge of all controls in "
        "parallel operation. The master unit displays the total current and total wattage of "
        "the units connected in parallel.")));
    QVERIFY(form->alarmMessage->isReadOnly());
    QCOMPARE(form->alarmMessage->toPlainText(), QString());

    // It follows the status object itself, queued from its thread.
    QVERIFY(m_engine.board->command(QStringLiteral("status force 0x408000")).startsWith("OK"));
    QTRY_COMPARE_WITH_TIMEOUT(firstLine(form->alarmMessage->toPlainText()),
        QStringLiteral("Watchdog Alarm has occurred."),
        30000);
    QVERIFY(m_engine.board->command(QStringLiteral("status clear 0x408000")).startsWith("OK"));
    QTRY_COMPARE_WITH_TIMEOUT(form->alarmMessage->toPlainText(), QString(), 30000);
}

void tst_PictMeasure::menuKeysOpenAndCloseTheBar()
{
    // Window shortcuts need the active window.
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    const Ui_Vek3r *form = m_window->form();
    const QStackedWidget *pages = m_window->pages();

    QTest::keyClick(m_window.get(), Qt::Key_F12);
    QVERIFY(form->FuncMode->isVisible());
    QCOMPARE(form->FuncMode->currentWidget(), form->FuncModeMeasure);
    QCOMPARE(pages->currentWidget(), m_screen);
    QVERIFY(form->subsystAcquire->isChecked());
    QTest::keyClick(m_window.get(), Qt::Key_F12); // the same menu again closes the bar
    QVERIFY(form->FuncMode->isHidden());
    QCOMPARE(pages->currentWidget(), m_screen);

    // System opens on its checked key, "Configure"; F6 hands over between it and "Interface".
    QTest::keyClick(m_window.get(), Qt::Key_VolumeUp);
    QCOMPARE(form->FuncMode->currentWidget(), form->FuncModeSystem);
    QCOMPARE(pages->currentWidget()->metaObject()->className(), "PictConfig");
    QTest::keyClick(m_window.get(), Qt::Key_F6);
    QCOMPARE(pages->currentWidget()->metaObject()->className(), "PictInterface");
    QTest::keyClick(m_window.get(), Qt::Key_F6);
    QCOMPARE(pages->currentWidget()->metaObject()->className(), "PictConfig");
    // Another menu key while the bar is open moves the bar to its menu.
    QTest::keyClick(m_window.get(), Qt::Key_VolumeDown);
    QVERIFY(form->FuncMode->isVisible());
    QCOMPARE(form->FuncMode->currentWidget(), form->FuncModeProgram);
    QCOMPARE(pages->currentWidget(), m_screen); // "3.Transient" is on the home screen
    QTest::keyClick(m_window.get(), Qt::Key_F11);
    QCOMPARE(form->FuncMode->currentWidget(), form->FuncModeSource);
    QTest::keyClick(m_window.get(), Qt::Key_F11);
    QVERIFY(form->FuncMode->isHidden());
}

void tst_PictMeasure::softKeysSelectPages_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("page");

    QTest::newRow("Data") << "FuncModeMeasure"
                          << "subsystData"
                          << "PictMeasure";
    QTest::newRow("Data Export") << "FuncModeMeasure"
                                 << "subsystMemory"
                                 << "PictUSBFile";
    QTest::newRow("1.Program") << "FuncModeProgram"
                               << "progSelect"
                               << "PictProgramSelect";
    QTest::newRow("2.Steps") << "FuncModeProgram"
                             << "progEdit"
                             << "PictProgramEdit";
    QTest::newRow("Import Export") << "FuncModeProgram"
                                   << "progMemory"
                                   << "PictProgramExport";
    QTest::newRow("Recall Save") << "FuncModeSystem"
                                 << "systFile"
                                 << "PictFile";
    QTest::newRow("SCPI") << "FuncModeSystem"
                          << "systError"
                          << "PictSystError";
    QTest::newRow("Admin") << "FuncModeSystem"
                           << "systAdmin"
                           << "PictAdmin";
    QTest::newRow("Infomation") << "FuncModeSystem"
                                << "systInfomation"
                                << "PictInformation";
}

void tst_PictMeasure::softKeysSelectPages()
{
    QFETCH(QString, menu);
    QFETCH(QString, key);
    QFETCH(QString, page);
    m_window->form()->FuncMode->setCurrentWidget(
        m_window->findChild<QWidget *>(menu, Qt::FindChildrenRecursively));
    barKey(qPrintable(key))->click();
    QCOMPARE(QString(m_window->pages()->currentWidget()->metaObject()->className()), page);
    // The pages' cursor targets, which the key lock lets through.
    if (page == QLatin1String("PictFile")) {
        QVERIFY(m_window->pictFile()->findChild<QWidget *>("file"));
        QVERIFY(m_window->pictFile()->findChild<QWidget *>("data"));
    }
}

void tst_PictMeasure::loadKeySwitchesTheLoad()
{
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QVERIFY(!vek::Source::m_stateLoad.load());
    // The LOAD LED follows the state the controller reports.
    PanelControl::initialize(); // the program does this once its window exists
    const auto led = [] {
        QString text;
        platform::SysfsFile::read(QStringLiteral("/sys/class/gpio/gpio133/value"), &text);
        return text.trimmed();
    };
    QTest::keyClick(m_window.get(), Qt::Key_VolumeMute);
    QTRY_VERIFY_WITH_TIMEOUT(vek::Source::m_stateLoad.load(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(led(), QStringLiteral("1"), 20000);
    QTest::keyClick(m_window.get(), Qt::Key_VolumeMute);
    QTRY_VERIFY_WITH_TIMEOUT(!vek::Source::m_stateLoad.load(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(led(), QStringLiteral("0"), 20000);
    QTest::keyClick(m_window.get(), Qt::Key_O, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(vek::Source::m_stateLoad.load(), 20000);
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!vek::Source::m_stateLoad.load(), 20000);
}

QTEST_MAIN(tst_PictMeasure)
#include "tst_PictMeasure.moc"
