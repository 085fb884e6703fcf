#include "engine/Basic.h"
#include "gui/source/FuncSourLevelBasic.h"
#include "gui/source/FuncSourLevelForms.h"
#include "gui/source/ViewSet.h"
#include "gui/source/ViewSetForm.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/Graph.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMeasDoubleBox.h"
#include "instrument/ModelInformation.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <limits>
#include <memory>

using Mode = KeywordBridge_CcCrCvCpArb;

namespace {
constexpr int Wait = 30000;
}

// The level view beside its key page over the engine's basic settings on the simulated board.
// The test plays the measurement screen: it calls the mode and waveform slots and the range
// operations the way the screen does on the engine's reports.
class tst_ViewSet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void stepsGoToTheEngineAndReportsComeBack();
    void uvpBottomIsOff();
    void conductanceZeroIsOpen();
    void shortAndExternalFreezeTheLevel();
    void protectionActionKey();
    void protectionsKeepTheWidestTables();
    void rowsPerMode();

private:
    Ui_ViewSet *form() const { return m_view->form(); }
    void mode(Mode::values mode);
    void focus(zoDoubleSpinBox *entry);

    EngineFixture m_engine;
    QThread m_engineThread;
    std::unique_ptr<vek::Basic> m_basic;
    std::unique_ptr<QWidget> m_host;
    FuncSourLevelBasic *m_keys = nullptr;
    ViewSet *m_view = nullptr;
};

void tst_ViewSet::initTestCase()
{
    const QString why = PanelTestLook::apply();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(true), qPrintable(m_engine.errorString()));
    m_basic = std::make_unique<vek::Basic>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    m_host = std::make_unique<QWidget>();
    m_keys = new FuncSourLevelBasic(m_host.get());
    m_view = new ViewSet(m_keys, m_basic.get(), m_engine.info.get(), nullptr, m_host.get());
    auto *layout = new QHBoxLayout(m_host.get());
    layout->addWidget(m_view);
    layout->addWidget(m_keys);

    QSignalSpy modes(m_basic.get(), &vek::Source::operationModeChanged);
    m_basic->moveToThread(&m_engineThread);
    m_engineThread.start();
    QVERIFY(modes.wait(Wait)); // initialize() has run in the engine's thread

    m_host->resize(320, 240);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    mode(Mode::CC);
    m_view->onNormalUiChange();
    m_view->onCvExternalUiChange(false);
}

void tst_ViewSet::cleanupTestCase()
{
    m_host.reset();
    m_engineThread.quit();
    m_engineThread.wait();
    m_basic.reset();
    vek::Source::m_functionMode = Mode::CC;
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

void tst_ViewSet::mode(Mode::values mode)
{
    QCOMPARE(m_basic->setFunctionMode(mode), 0);
    QTRY_COMPARE_WITH_TIMEOUT(vek::Source::m_functionMode.load(), mode, Wait);
    switch (mode) {
    case Mode::CC:
        m_view->onCcModeUiChange();
        break;
    case Mode::CR:
        m_view->onCrModeUiChange();
        break;
    case Mode::CV:
        m_view->onCvModeUiChange();
        break;
    case Mode::CP:
        m_view->onCpModeUiChange();
        break;
    case Mode::ARB:
        m_view->onArbModeUiChange();
        break;
    }
}

void tst_ViewSet::focus(zoDoubleSpinBox *entry)
{
    entry->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY_WITH_TIMEOUT(entry->hasFocus(), Wait);
}

void tst_ViewSet::stepsGoToTheEngineAndReportsComeBack()
{
    zoDoubleSpinBox *current = form()->setCurrent;
    QVERIFY(current->isVisible());
    QCOMPARE(m_basic->setRealCurrentLevel(1.0, vek::UpdateIfChanged), 0);
    QTRY_COMPARE_WITH_TIMEOUT(current->value(), 1.0, Wait);

    // Each step is one write at once, in order.
    focus(current);
    QSignalSpy sent(current, &zoDoubleSpinBox::valuePrefixChanged);
    current->setCursorResolution(current->decimals());
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(current, Qt::Key_Up);
    QCOMPARE(sent.size(), 10);
    for (int i = 1; i < sent.size(); ++i)
        QVERIFY(sent.at(i).at(0).toDouble() > sent.at(i - 1).at(0).toDouble());
    QVERIFY(current->value() > 1.0);
    QTRY_COMPARE_WITH_TIMEOUT(m_basic->getRealCurrentLevel(), current->value(), Wait);

    // A level set elsewhere shows.
    QCOMPARE(m_basic->setRealCurrentLevel(2.0, vek::UpdateIfChanged), 0);
    QTRY_COMPARE_WITH_TIMEOUT(current->value(), 2.0, Wait);
}

void tst_ViewSet::uvpBottomIsOff()
{
    zoDoubleSpinBox *uvp = form()->setUvp;
    const BoundValue &table = ModelInformation::rangeValue(
        m_engine.info->uvpMap(), int(vek::Source::m_voltRange.load()));
    // One position below the table's minimum.
    QVERIFY(uvp->minimum() * uvp->siFactor() < table.m_min);

    QCOMPARE(m_basic->setVoltageProtectionState(false), 0);
    Q_EMIT m_basic->voltageProtectUiChanged(std::numeric_limits<double>::lowest());
    QTRY_COMPARE_WITH_TIMEOUT(uvp->text(), QStringLiteral("OFF"), Wait);

    focus(uvp);
    uvp->setCursorResolution(uvp->decimals());
    QTest::keyClick(uvp, Qt::Key_Up);
    QTRY_VERIFY_WITH_TIMEOUT(m_basic->getVoltageProtectionState(), Wait);
    QVERIFY(uvp->text() != QStringLiteral("OFF"));

    // Committing the bottom position switches it off again.
    Q_EMIT uvp->valuePrefixChanged(uvp->minimum() * uvp->siFactor());
    QTRY_VERIFY_WITH_TIMEOUT(!m_basic->getVoltageProtectionState(), Wait);
    Q_EMIT m_basic->voltageProtectUiChanged(std::numeric_limits<double>::lowest());
    QTRY_COMPARE_WITH_TIMEOUT(uvp->text(), QStringLiteral("OFF"), Wait);
}

void tst_ViewSet::conductanceZeroIsOpen()
{
    mode(Mode::CR);
    m_view->onNormalUiChange();
    QVERIFY(form()->setConductance->isVisible());
    QVERIFY(form()->setResistance->isVisible());
    QCOMPARE(m_basic->setRealConductanceLevel(0.0, vek::UpdateAlways), 0);
    QTRY_COMPARE_WITH_TIMEOUT(form()->setResistance->text(), QStringLiteral("Open"), Wait);

    QCOMPARE(m_basic->setRealConductanceLevel(0.5, vek::UpdateAlways), 0);
    QTRY_COMPARE_WITH_TIMEOUT(form()->setResistance->value(), 2.0, Wait);
    QCOMPARE(form()->setResistance->text(), QStringLiteral("2.000"));
    mode(Mode::CC);
}

void tst_ViewSet::shortAndExternalFreezeTheLevel()
{
    zoDoubleSpinBox *current = form()->setCurrent;
    const double before = m_basic->getRealCurrentLevel();
    focus(current);

    m_view->onShortUiChange();
    QCOMPARE(current->text(), QStringLiteral("Short"));
    QVERIFY(current->isReadOnly());
    QVERIFY(m_keys->ui->action->isChecked());
    QCOMPARE(m_keys->ui->action->text(), QStringLiteral("Short\nOn"));
    // Nothing from a frozen entry reaches the engine, nor do reports overwrite it.
    Q_EMIT current->valuePrefixChanged(before + 1.0);
    Q_EMIT m_basic->currentUiChanged(before + 1.0);
    QCOMPARE(current->text(), QStringLiteral("Short"));
    QTest::qWait(50);
    QCOMPARE(m_basic->getRealCurrentLevel(), before);

    m_view->onNormalUiChange();
    QVERIFY(!current->isReadOnly());
    QCOMPARE(current->value(), before);
    QCOMPARE(m_keys->ui->action->text(), QStringLiteral("Short\nOff"));

    // External control: level entries read "External", the CV ones "Extrenal" and "External".
    m_view->onExternalUiChange();
    QCOMPARE(current->text(), QStringLiteral("External"));
    QVERIFY(current->isReadOnly());
    m_view->onCvExternalUiChange(true);
    QCOMPARE(form()->setVolt->text(), QStringLiteral("Extrenal"));
    QCOMPARE(form()->setUvp->text(), QStringLiteral("External"));
    QVERIFY(form()->setUvp->isReadOnly());
    m_view->onCvExternalUiChange(false);
    m_view->onNormalUiChange();
    QVERIFY(!form()->setUvp->isReadOnly());
    QVERIFY(!current->isReadOnly());
}

void tst_ViewSet::protectionActionKey()
{
    QCOMPARE(form()->oppLabel->text(), QStringLiteral("OPPL"));
    QCOMPARE(form()->uvpLabel->text(), QStringLiteral("UVPL"));
    focus(form()->setOpp);
    QVERIFY(m_keys->ui->opp->isChecked());
    QCOMPARE(m_keys->ui->action->text(), QStringLiteral("Action\nLimit"));
    m_keys->ui->action->click();
    QTRY_VERIFY_WITH_TIMEOUT(m_basic->getPowerProtectionTripState(), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(form()->oppLabel->text(), QStringLiteral("OPPT"), Wait);
    QCOMPARE(m_keys->ui->action->text(), QStringLiteral("Action\nTrip"));
    m_keys->ui->action->click();
    QTRY_COMPARE_WITH_TIMEOUT(form()->oppLabel->text(), QStringLiteral("OPPL"), Wait);

    // The slew-rate entry offers no action; leaving a protection disables the key.
    focus(form()->setSlewRate);
    QVERIFY(!m_keys->ui->action->isEnabled());
}

void tst_ViewSet::protectionsKeepTheWidestTables()
{
    const BoundValue &opp = ModelInformation::rangeValue(m_engine.info->oppMap(), 5);
    const BoundValue &ocp = ModelInformation::rangeValue(m_engine.info->ocpMap(), 2);
    for (int range : m_engine.info->currRangeMap().keys()) {
        QCOMPARE(m_basic->setCurrentRange(KeywordBridge_LowMedHigh::values(range)), 0);
        QTRY_COMPARE_WITH_TIMEOUT(int(vek::Source::getCurrentRange()), range, Wait);
        for (Mode::values m : { Mode::CC, Mode::CR }) {
            mode(m);
            m_view->viewCurrRange(vek::Source::getCurrentRange());
            QCOMPARE(form()->setOpp->maximum() * form()->setOpp->siFactor(), opp.m_max);
            const BoundValue &level = ModelInformation::rangeValue(
                m == Mode::CC ? m_engine.info->currentMap() : m_engine.info->conductanceMap(),
                range);
            zoDoubleSpinBox *entry = m == Mode::CC ? form()->setCurrent : form()->setConductance;
            QCOMPARE(entry->maximum() * entry->siFactor(), level.m_max);
        }
        QCOMPARE(form()->setOcp->maximum() * form()->setOcp->siFactor(), ocp.m_max);
        // One decimal coarser than the level of the same table.
        zoDoubleSpinBox probe;
        ocp.setBoundValueWidget(&probe, 0);
        QCOMPARE(form()->setOcp->decimals(), probe.decimals() - 1);
    }
    mode(Mode::CC);
}

void tst_ViewSet::rowsPerMode()
{
    const auto shown = [this] {
        QStringList names;
        const Ui_ViewSet *f = form();
        const QList<QWidget *> widgets { f->setCurrent, f->setConductance, f->setResistance,
            f->setPower, f->setVolt, f->setSlewRate, f->setOpp, f->setOcp, f->setUvp,
            f->absPlot };
        for (QWidget *w : widgets) {
            if (w->isVisible())
                names << w->objectName();
        }
        return names.join(QLatin1Char(' '));
    };
    mode(Mode::CC);
    QCOMPARE(shown(), QStringLiteral("setCurrent setSlewRate setOpp setUvp"));
    m_view->onSineUiChange();
    QCOMPARE(shown(), QStringLiteral("setCurrent setOpp setUvp"));
    m_view->onNormalUiChange();
    mode(Mode::CR);
    QCOMPARE(shown(), QStringLiteral("setConductance setResistance setOpp setOcp setUvp"));
    mode(Mode::CV);
    QCOMPARE(shown(), QStringLiteral("setVolt setOpp setOcp"));
    mode(Mode::CP);
    QCOMPARE(shown(), QStringLiteral("setPower setOcp setUvp"));
    mode(Mode::CC);
    m_view->onNormalUiChange();
}

QTEST_MAIN(tst_ViewSet)
#include "tst_ViewSet.moc"
