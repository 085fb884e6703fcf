#include "engine/Basic.h"
#include "gui/source/FuncSourMode.h"
#include "gui/source/FuncSourRange.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/zoMessageBox.h"
#include "platform/BoardPath.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QFile>
#include <QHBoxLayout>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QThread>

#include <memory>

using Mode = KeywordBridge_CcCrCvCpArb;
using vek::SCPIERR_T;

namespace {

constexpr int Wait = 30000;

// A second model in the board's model file, made from the first: Low and High current and
// conductance ranges only, no short function.
constexpr int LowHighModel = 4190;

bool addLowHighModel(QString *why)
{
    QFile file(platform::BoardPath::map(ModelInformation::fileName));
    if (!file.open(QIODevice::ReadOnly))
        return *why = file.errorString(), false;
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    const QRegularExpression first(QStringLiteral("<model tag=\"4101\".*?</model>"),
        QRegularExpression::DotMatchesEverythingOption);
    QString model = first.match(text).captured();
    if (model.isEmpty())
        return *why = QStringLiteral("no model 4101 in the model file"), false;
    model.replace(QStringLiteral("tag=\"4101\" name=\"VEK3-150-30\""),
        QStringLiteral("tag=\"%1\" name=\"VEK3-LH\"").arg(LowHighModel));
    model.remove(QRegularExpression(QStringLiteral("<med-cu?rr?-range>.*?</med-cu?rr?-range>")));
    model.remove(QRegularExpression(QStringLiteral("<med-cond-range>.*?</med-cond-range>")));
    model.replace(QStringLiteral("<ioc-short-function enable=\"1\"/>"),
        QStringLiteral("<ioc-short-function enable=\"0\"/>"));
    text.replace(QStringLiteral("</models>"), model + QStringLiteral("\n</models>"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
        return *why = file.errorString(), false;
    return true;
}

} // namespace

// The mode and range pages in a 320 x 240 window over the engine's basic settings on the
// simulated board, the panel keys pressed as key events. The test follows the engine's reports
// with the page slots the way the measurement screen does.
class tst_SourceKeyPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void modeKeysFollowModeLoadAndWaveform();
    void rangeKeysOfTheFixturesModel();
    void rangeKeysOfALowHighModel();

private:
    // model: 0 for the fixture's own.
    void build(int model = 0);
    void press(int key);
    bool boxShown() const { return m_host->findChild<zoMessageBox *>() != nullptr; }
    FuncButton *modeKey(int mode) const { return m_mode->page()->m_keys[mode]; }
    void follow();
    void showLoadOff();

    EngineFixture m_engine;
    QThread m_engineThread;
    std::unique_ptr<vek::Basic> m_basic;
    std::unique_ptr<QWidget> m_host;
    FuncSourMode *m_mode = nullptr;
    FuncSourRange *m_range = nullptr;
    QStackedWidget *m_pages = nullptr;
    bool m_load = false;
    bool m_short = false;
    int m_waveform = 0;
};

void tst_SourceKeyPages::initTestCase()
{
    const QString why = PanelTestLook::apply();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
}

void tst_SourceKeyPages::build(int model)
{
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    if (model) {
        QString why;
        QVERIFY2(addLowHighModel(&why), qPrintable(why));
        QCOMPARE(
            m_engine.board->command(QStringLiteral("model %1").arg(model)), QStringLiteral("OK"));
    }
    QVERIFY2(m_engine.buildLinks(true), qPrintable(m_engine.errorString()));
    m_basic = std::make_unique<vek::Basic>(
        m_engine.writer.get(), m_engine.info.get(), m_engine.status.get(), &m_engine.config);
    m_host = std::make_unique<QWidget>();
    m_mode = new FuncSourMode(m_basic.get(), m_host.get());
    m_range = new FuncSourRange(m_basic.get(), m_engine.info.get(), m_host.get());
    // One page at a time, as in the screen's key stack: the pages share the panel keys.
    m_pages = new QStackedWidget(m_host.get());
    m_pages->addWidget(m_mode);
    m_pages->addWidget(m_range);
    auto *layout = new QHBoxLayout(m_host.get());
    layout->addStretch();
    layout->addWidget(m_pages);
    follow();

    QSignalSpy modes(m_basic.get(), &vek::Source::operationModeChanged);
    m_basic->moveToThread(&m_engineThread);
    m_engineThread.start();
    QVERIFY(modes.wait(Wait)); // initialize() has run in the engine's thread

    m_host->resize(320, 240);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
}

void tst_SourceKeyPages::follow()
{
    vek::Basic *basic = m_basic.get();
    QWidget *host = m_host.get();
    connect(basic, &vek::Source::operationModeChanged, host, [this](vek::SourceMode mode) {
        switch (mode) {
        case Mode::CC:
            m_mode->onCcModeUiChange();
            break;
        case Mode::CR:
            m_mode->onCrModeUiChange();
            break;
        case Mode::CV:
            m_mode->onCvModeUiChange();
            break;
        case Mode::CP:
            m_mode->onCpModeUiChange();
            break;
        case Mode::ARB:
            m_mode->onArbModeUiChange();
            break;
        }
        m_range->viewFuncMode(mode == Mode::CR ? Mode::CR : Mode::CC);
    });
    connect(basic, &vek::Source::outputUiChanged, host, [this](bool on) {
        m_load = on;
        if (on) {
            m_mode->onLoadOnUiChange();
            m_range->onLoadOnUiChange();
        } else {
            showLoadOff();
            m_range->onLoadOffUiChange();
        }
    });
    connect(basic, &vek::Basic::waveformStateUiChanged, host, [this](int waveform) {
        m_waveform = waveform;
        if (!m_load)
            showLoadOff();
    });
    connect(basic, &vek::Basic::outputShortUiChanged, host, [this](bool on) {
        m_short = on;
        if (!m_load)
            showLoadOff();
    });
    connect(basic,
        &vek::Source::currRangeChanged,
        host,
        [this](vek::SourceCurrentRange, vek::SourceCurrentRange panelRange) {
            m_range->viewCurrRange(panelRange);
        });
    connect(basic, &vek::Source::voltRangeChanged, m_range, &FuncSourRange::viewVoltRange);
}

void tst_SourceKeyPages::showLoadOff()
{
    if (m_waveform == 2)
        m_mode->onLoadOffSineUiChange();
    else if (m_waveform == 1 || m_short)
        m_mode->onLoadOffPulseShortUiChange();
    else
        m_mode->onLoadOffUiChange();
}

void tst_SourceKeyPages::press(int key)
{
    QTest::keyClick(m_host.get(), Qt::Key(key));
}

void tst_SourceKeyPages::cleanup()
{
    m_host.reset();
    m_engineThread.quit();
    m_engineThread.wait();
    m_basic.reset();
    m_load = m_short = false;
    m_waveform = 0;
    vek::Source::m_functionMode = Mode::CC;
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

void tst_SourceKeyPages::modeKeysFollowModeLoadAndWaveform()
{
    build();
    QTRY_VERIFY_WITH_TIMEOUT(modeKey(Mode::CC)->isChecked(), Wait);
    const auto enabledKeys = [this] {
        QString keys;
        for (int mode = 0; mode < 5; ++mode)
            keys += modeKey(mode)->isEnabled() ? modeKey(mode)->text() + ' ' : QString();
        return keys.trimmed();
    };
    QCOMPARE(enabledKeys(), QStringLiteral("CC CR CV CP ARB"));

    press(Qt::Key_F3);
    QTRY_VERIFY_WITH_TIMEOUT(modeKey(Mode::CV)->isChecked(), Wait);
    QCOMPARE(vek::Source::m_functionMode.load(), Mode::CV);
    QVERIFY(!modeKey(Mode::CC)->isChecked());

    // Load on: only the mode in force may be pressed, and the engine refuses it silently.
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(enabledKeys(), QStringLiteral("CV"), Wait);
    press(Qt::Key_F1);
    QCOMPARE(m_basic->setFunctionMode(Mode::CV), SCPIERR_T(102));
    press(Qt::Key_F3);
    QTest::qWait(100);
    QVERIFY(!boxShown());
    QCOMPARE(vek::Source::m_functionMode.load(), Mode::CV);
    QVERIFY(modeKey(Mode::CV)->isChecked());

    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(enabledKeys(), QStringLiteral("CC CR CV CP ARB"), Wait);
    press(Qt::Key_F1);
    QTRY_VERIFY_WITH_TIMEOUT(modeKey(Mode::CC)->isChecked(), Wait);

    QCOMPARE(m_basic->setPulseState(true), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(enabledKeys(), QStringLiteral("CC CR"), Wait);
    QCOMPARE(m_basic->setPulseState(false), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(enabledKeys(), QStringLiteral("CC CR CV CP ARB"), Wait);
    QCOMPARE(m_basic->setSineState(true), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(enabledKeys(), QStringLiteral("CC"), Wait);
    // A key of a refused mode cannot be pressed.
    press(Qt::Key_F2);
    QTest::qWait(100);
    QCOMPARE(vek::Source::m_functionMode.load(), Mode::CC);
    QVERIFY(!boxShown());
}

void tst_SourceKeyPages::rangeKeysOfTheFixturesModel()
{
    // The fixture's model: 0.3, 3 and 30 A (0.2, 2 and 20 S) and one voltage range.
    build();
    m_pages->setCurrentWidget(m_range);
    FuncButton *const *curr = m_range->m_currKeys;
    QTRY_VERIFY_WITH_TIMEOUT(curr[2]->isChecked(), Wait);
    QCOMPARE(QStringList({ curr[0]->text(), curr[1]->text(), curr[2]->text() }),
        QStringList({ "300mA", "3A", "30A" }));
    QVERIFY(m_range->m_currRangeEnable);
    QCOMPARE(curr[1]->shortcut(), QKeySequence(Qt::Key_F2));

    // One voltage range: the keys are inert and blank.
    for (FuncButton *key : m_range->m_voltKeys) {
        QVERIFY(!key->isEnabled());
        QVERIFY(key->text().isEmpty());
        QVERIFY(key->shortcut().isEmpty());
    }
    QVERIFY(!m_range->m_voltRangeEnable);
    QVERIFY(m_range->m_voltKeys[1]->isChecked());
    QSignalSpy volts(m_basic.get(), &vek::Source::voltRangeChanged);
    press(Qt::Key_F4);
    press(Qt::Key_F5);
    QTest::qWait(200);
    QCOMPARE(volts.size(), 0);

    press(Qt::Key_F1);
    QTRY_VERIFY_WITH_TIMEOUT(curr[0]->isChecked(), Wait);
    QCOMPARE(vek::Source::m_currRange.load(), KeywordBridge_LowMedHigh::LOW);

    QCOMPARE(m_basic->setFunctionMode(Mode::CR), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(curr[0]->text(), QStringLiteral("300mA\n[200mS]"), Wait);
    QCOMPARE(curr[2]->text(), QStringLiteral("30A\n[20S]"));
    QCOMPARE(m_basic->setFunctionMode(Mode::CC), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(curr[0]->text(), QStringLiteral("300mA"), Wait);
}

void tst_SourceKeyPages::rangeKeysOfALowHighModel()
{
    build(LowHighModel);
    m_pages->setCurrentWidget(m_range);
    QCOMPARE(m_engine.info->currRangeMap().keys(), QList<int>({ 0, 2 }));
    FuncButton *const *curr = m_range->m_currKeys;
    QTRY_VERIFY_WITH_TIMEOUT(curr[2]->isChecked(), Wait);
    QCOMPARE(QStringList({ curr[0]->text(), curr[2]->text() }), QStringList({ "300mA", "30A" }));
    QVERIFY(m_range->m_currRangeEnable);

    const auto mediumStaysOff = [&](const char *where) {
        QVERIFY2(!curr[1]->isEnabled(), where);
        QVERIFY2(curr[0]->isEnabled() == !m_load && curr[2]->isEnabled() == !m_load, where);
    };
    mediumStaysOff("CC");
    QCOMPARE(m_basic->setFunctionMode(Mode::CR), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(curr[0]->text(), QStringLiteral("300mA\n[200mS]"), Wait);
    mediumStaysOff("CR");
    QCOMPARE(m_basic->setOutput(true), SCPIERR_T(0));
    QTRY_VERIFY_WITH_TIMEOUT(m_load, Wait);
    mediumStaysOff("load on");
    QCOMPARE(m_basic->setOutput(false), SCPIERR_T(0));
    QTRY_VERIFY_WITH_TIMEOUT(!m_load, Wait);
    mediumStaysOff("load off again");
    for (FuncButton *key : m_range->m_voltKeys)
        QVERIFY(!key->isEnabled());

    press(Qt::Key_F2);
    press(Qt::Key_F3);
    QTRY_VERIFY_WITH_TIMEOUT(curr[2]->isChecked(), Wait);
    QCOMPARE(vek::Source::m_currRange.load(), KeywordBridge_LowMedHigh::HIGH);
}

QTEST_MAIN(tst_SourceKeyPages)
#include "tst_SourceKeyPages.moc"
