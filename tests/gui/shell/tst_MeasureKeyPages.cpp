#include "gui/shell/MeasureKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "tests/support/PanelTestLook.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Shows a page as the active window, so that its panel keys work.
template <typename Page> std::unique_ptr<Page> shown()
{
    auto page = std::make_unique<Page>();
    page->resize(62, 215);
    page->show();
    QApplication::setActiveWindow(page.get());
    return page;
}

} // namespace

class tst_MeasureKeyPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pulsePairsFormOneRadioSet();
    void sineKeysAreRadioKeys();
    void offKeysToggle();
    void keyTextsAndBindings();
    void runPanelStates_data();
    void runPanelStates();
    void runPanelF5FollowsItsText();
};

void tst_MeasureKeyPages::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_MeasureKeyPages::pulsePairsFormOneRadioSet()
{
    auto page = shown<FuncSourPulse>();
    QVERIFY(QTest::qWaitForWindowActive(page.get()));
    QTest::keyClick(page.get(), Qt::Key_F3);
    QVERIFY(page->m_depthAmpereButton->isChecked());
    QTest::keyClick(page.get(), Qt::Key_F3);
    QVERIFY(page->m_depthPercentButton->isChecked());
    QVERIFY(!page->m_depthAmpereButton->isChecked());
    QTest::keyClick(page.get(), Qt::Key_F3);
    QVERIFY(page->m_depthAmpereButton->isChecked());

    QSignalSpy clicked(page->m_currentButton, &QAbstractButton::clicked);
    QTest::keyClick(page.get(), Qt::Key_F2);
    QCOMPARE(clicked.size(), 1);
    QVERIFY(page->m_currentButton->isChecked());
    QVERIFY(!page->m_depthAmpereButton->isChecked());
    QVERIFY(!page->m_depthPercentButton->isChecked());
    QTest::keyClick(page.get(), Qt::Key_F2);
    QVERIFY(page->m_slewRateButton->isChecked());
    QVERIFY(!page->m_currentButton->isChecked());

    // F4 and F5 cycle their own pairs.
    QTest::keyClick(page.get(), Qt::Key_F5);
    QVERIFY(page->m_dutyButton->isChecked());
    QVERIFY(!page->m_slewRateButton->isChecked());
    QTest::keyClick(page.get(), Qt::Key_F4);
    QVERIFY(page->m_frequencyButton->isChecked());
    QVERIFY(!page->m_dutyButton->isChecked());

    // Half-height keys; the page fits the soft-key column.
    QCOMPARE(page->m_depthAmpereButton->maximumHeight(), 19);
    QCOMPARE(page->m_depthAmpereButton->minimumHeight(), 19);
    QCOMPARE(page->maximumHeight(), 215);
    QCOMPARE(page->m_dutyButton->font().pointSize(), 7);
}

void tst_MeasureKeyPages::sineKeysAreRadioKeys()
{
    auto page = shown<FuncSourSine>();
    QVERIFY(QTest::qWaitForWindowActive(page.get()));
    // A key's own binding clicks it as an animated click, a moment after the press.
    QSignalSpy current(page->m_currentButton, &QAbstractButton::clicked);
    QTest::keyClick(page.get(), Qt::Key_F3);
    QTRY_VERIFY(page->m_amplitudeButton->isChecked());
    QTest::keyClick(page.get(), Qt::Key_F2);
    QTRY_VERIFY(page->m_currentButton->isChecked());
    QVERIFY(!page->m_amplitudeButton->isChecked());
    QVERIFY(!page->m_frequencyButton->isChecked());
    QTest::keyClick(page.get(), Qt::Key_F2);
    QTRY_COMPARE(current.size(), 2);
    QVERIFY(page->m_currentButton->isChecked());
}

void tst_MeasureKeyPages::offKeysToggle()
{
    auto pulse = shown<FuncSourPulse>();
    QVERIFY(QTest::qWaitForWindowActive(pulse.get()));
    QTest::keyClick(pulse.get(), Qt::Key_F1);
    QTRY_VERIFY(pulse->m_pulseOffButton->isChecked());
    QTRY_VERIFY(!pulse->m_pulseOffButton->isDown());
    QTest::keyClick(pulse.get(), Qt::Key_F1);
    QTRY_VERIFY(!pulse->m_pulseOffButton->isChecked());

    auto sine = shown<FuncSourSine>();
    QVERIFY(QTest::qWaitForWindowActive(sine.get()));
    QTest::keyClick(sine.get(), Qt::Key_F1);
    QTRY_VERIFY(sine->m_sineOffButton->isChecked());
    QTRY_VERIFY(!sine->m_sineOffButton->isDown());
    QTest::keyClick(sine.get(), Qt::Key_F1);
    QTRY_VERIFY(!sine->m_sineOffButton->isChecked());
}

void tst_MeasureKeyPages::keyTextsAndBindings()
{
    FuncSourPulse pulse;
    QCOMPARE(pulse.m_depthAmpereButton->text(), QString::fromUtf8("\u00b7Depth[A]"));
    QCOMPARE(pulse.m_timeHighButton->text(), QString::fromUtf8("\u00b7Th[s]"));
    QCOMPARE(pulse.m_pulseOffButton->shortcut(), QKeySequence(Qt::Key_F1));

    FuncSourMore more;
    QCOMPARE(more.m_syncEnableButton->text(), QString("Sync\nEnable"));
    QCOMPARE(more.m_syncEnableButton->shortcut(), QKeySequence(Qt::Key_F3));
    QVERIFY(!more.m_loadOnButton->isEnabled());
    QVERIFY(!more.m_loadOffButton->isCheckable());

    FuncAcquire acquire;
    QCOMPARE(acquire.m_triggerButton->text(), QString("*TRG"));
    QCOMPARE(acquire.m_triggerButton->shortcut(), QKeySequence(Qt::Key_F5));
    QVERIFY(acquire.m_editButton->isCheckable());
    QVERIFY(!acquire.m_initiateButton->isCheckable());

    FuncDisplay display;
    QCOMPARE(display.m_tableButton->minimumHeight(), 42);
    QCOMPARE(display.m_chartButton->maximumHeight(), 42);
    QCOMPARE(display.m_chartButton->shortcut(), QKeySequence(Qt::Key_F4));
    display.m_tableButton->click();
    display.m_chartButton->click();
    QVERIFY(!display.m_tableButton->isChecked());

    FuncData data;
    QCOMPARE(data.m_resetButton->shortcut(), QKeySequence(Qt::Key_F5));
    FuncProgTrigger trigger;
    QCOMPARE(trigger.m_editButton->shortcut(), QKeySequence(Qt::Key_F2));
}

void tst_MeasureKeyPages::runPanelStates_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("f5");
    QTest::addColumn<QList<bool>>("enabled"); // Initiate, Abort, Suspend, Resume, F5

    using E = FuncProgExecute;
    QTest::newRow("idle") << int(E::StateIdle) << "" << QList<bool> { 1, 0, 0, 0, 0 };
    QTest::newRow("run") << int(E::StateRun) << "" << QList<bool> { 0, 1, 1, 0, 0 };
    QTest::newRow("pause") << int(E::StatePause) << "" << QList<bool> { 0, 1, 0, 1, 0 };
    QTest::newRow("m-sync") << int(E::StateWaitMSync) << "MSync" << QList<bool> { 0, 1, 0, 0, 1 };
    QTest::newRow("trigger") << int(E::StateWaitTrigger) << "Trigger"
                             << QList<bool> { 0, 1, 0, 0, 1 };
    QTest::newRow("abort only") << int(E::StateAbortOnly) << "" << QList<bool> { 0, 1, 0, 0, 0 };
    QTest::newRow("unknown") << 17 << "" << QList<bool> { 0, 0, 0, 0, 0 };
}

void tst_MeasureKeyPages::runPanelStates()
{
    QFETCH(int, state);
    QFETCH(QString, f5);
    QFETCH(QList<bool>, enabled);
    FuncProgExecute page;
    page.setState(FuncProgExecute::StateWaitMSync);
    page.setState(FuncProgExecute::state(state));
    QCOMPARE(page.m_msyncButton->text(), f5);
    QCOMPARE(page.isMSyncState(), f5 == "MSync");
    const QList<bool> actual { page.m_initiateButton->isEnabled(),
        page.m_abortButton->isEnabled(),
        page.m_suspendButton->isEnabled(),
        page.m_resumeButton->isEnabled(),
        page.m_msyncButton->isEnabled() };
    QCOMPARE(actual, enabled);
}

void tst_MeasureKeyPages::runPanelF5FollowsItsText()
{
    auto page = shown<FuncProgExecute>();
    QVERIFY(QTest::qWaitForWindowActive(page.get()));
    QSignalSpy f5(page->m_msyncButton, &QAbstractButton::clicked);

    page->setState(FuncProgExecute::StateRun);
    QVERIFY(page->m_msyncButton->shortcut().isEmpty());
    QVERIFY(!page->m_msyncButton->isEnabled());
    QTest::keyClick(page.get(), Qt::Key_F5);
    QVERIFY(!page->m_msyncButton->isDown());

    page->setState(FuncProgExecute::StateWaitTrigger);
    QCOMPARE(page->m_msyncButton->text(), QString("Trigger"));
    QVERIFY(!page->isMSyncState());
    QTest::keyClick(page.get(), Qt::Key_F5);
    QVERIFY(page->m_msyncButton->isDown()); // the animated click has begun
    QTRY_COMPARE(f5.size(), 1);
}

QTEST_MAIN(tst_MeasureKeyPages)
#include "tst_MeasureKeyPages.moc"
