#include "gui/source/FuncSourLevel.h"
#include "gui/source/FuncSourLevelArbitrary.h"
#include "gui/source/FuncSourLevelBasic.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "tests/support/PanelTestLook.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// One key's state: text, shown, enabled, panel key.
struct KeyState
{
    QString text;
    bool shown;
    bool enabled;
    QKeySequence shortcut;
};

} // namespace
Q_DECLARE_METATYPE(KeyState)

// The level page's two key pages by themselves, as the measurement screen and the level views
// drive them.
class tst_FuncSourLevel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void keysPerMode_data();
    void keysPerMode();
    void formAndPages();
    void actionKeyWithoutShort();
    void arbitraryResponseDisablesSlewRate();
    void signalsOfTheKeys();
    void countEntry();

private:
    FuncButton *basicKey(const char *name) const
    {
        return m_level->basicPage()->findChild<FuncButton *>(QLatin1String(name));
    }

    std::unique_ptr<FuncSourLevel> m_level;
};

void tst_FuncSourLevel::initTestCase()
{
    const QString why = PanelTestLook::apply();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
}

void tst_FuncSourLevel::init()
{
    m_level = std::make_unique<FuncSourLevel>();
    m_level->show();
    QVERIFY(QTest::qWaitForWindowActive(m_level.get()));
}

void tst_FuncSourLevel::cleanup()
{
    m_level.reset();
}

void tst_FuncSourLevel::keysPerMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<KeyState>("value");
    QTest::addColumn<KeyState>("slewRate");
    QTest::addColumn<KeyState>("opp");
    QTest::addColumn<KeyState>("ocp");
    QTest::addColumn<KeyState>("uvp");
    const QKeySequence f1(Qt::Key_F1), f2(Qt::Key_F2), f3(Qt::Key_F3), f4(Qt::Key_F4);
    const KeyState slew { "Slew\nRate", true, true, f2 };
    const KeyState noSlew { "Slew\nRate", false, true, f2 };
    const KeyState uvp { "UVP", true, true, f4 };
    QTest::newRow("CC") << 0 << KeyState { "Current", true, true, f1 } << slew
                        << KeyState { "OPP", true, true, f3 } << KeyState { "OCP", false, true, {} }
                        << uvp;
    QTest::newRow("CR") << 1 << KeyState { "Conduc\n-tance", true, true, f1 } << noSlew
                        << KeyState { "OPP", true, true, f2 } << KeyState { "OCP", true, true, f3 }
                        << uvp;
    QTest::newRow("CV") << 2 << KeyState { "Voltage", true, true, f1 } << noSlew
                        << KeyState { "OPP", true, true, f2 } << KeyState { "OCP", true, true, f3 }
                        << KeyState { "UVP", true, false, f4 };
    QTest::newRow("CP") << 3 << KeyState { "Power", true, true, f1 } << noSlew
                        << KeyState { "OPP", true, false, {} } << KeyState { "OCP", true, true, f3 }
                        << uvp;
    QTest::newRow("ARB") << 4 << KeyState { "Table", true, true, f1 } << slew
                         << KeyState { "OPP", true, true, f3 }
                         << KeyState { "OCP", false, true, {} } << uvp;
}

void tst_FuncSourLevel::keysPerMode()
{
    QFETCH(int, mode);
    QFETCH(KeyState, value);
    QFETCH(KeyState, slewRate);
    QFETCH(KeyState, opp);
    QFETCH(KeyState, ocp);
    QFETCH(KeyState, uvp);
    const QList<QPair<const char *, KeyState>> keys {
        { "value", value }, { "slewRate", slewRate }, { "opp", opp }, { "ocp", ocp }, { "uvp", uvp }
    };
    FuncSourLevelBasic *page = m_level->basicPage();
    const QVector<void (FuncSourLevelBasic::*)()> modeSlots { &FuncSourLevelBasic::onCcModeUiChange,
        &FuncSourLevelBasic::onCrModeUiChange,
        &FuncSourLevelBasic::onCvModeUiChange,
        &FuncSourLevelBasic::onCpModeUiChange,
        &FuncSourLevelBasic::onArbModeUiChange };

    // Whichever mode came before, the keys show the same state; a key that the mode gives no
    // panel key keeps the one it had.
    for (int before = 0; before < modeSlots.size(); ++before) {
        (page->*modeSlots[before])();
        (page->*modeSlots[mode])();
        for (const auto &key : keys) {
            const QByteArray where =
                QByteArray(key.first) + " after mode " + QByteArray::number(before);
            FuncButton *button = basicKey(key.first);
            QVERIFY2(button, key.first);
            QVERIFY2(button->text() == key.second.text, where);
            QVERIFY2(button->isVisible() == key.second.shown, where);
            QVERIFY2(button->isEnabled() == key.second.enabled, where);
            if (!key.second.shortcut.isEmpty())
                QVERIFY2(button->shortcut() == key.second.shortcut, where);
        }
    }
    // A greyed key keeps its place.
    for (const auto &key : keys)
        if (!key.second.enabled)
            QVERIFY(basicKey(key.first)->geometry().height() > 0);
    QCOMPARE(basicKey("action")->shortcut(), QKeySequence(Qt::Key_F5));
}

void tst_FuncSourLevel::formAndPages()
{
    FuncSourLevelBasic *basic = m_level->basicPage();
    QCOMPARE(basic->findChild<QWidget *>("basic")->layoutDirection(), Qt::RightToLeft);
    for (const char *name : { "value", "slewRate", "opp", "ocp", "uvp", "action" }) {
        FuncButton *key = basicKey(name);
        QVERIFY2(key->maximumSize() == QSize(60, 38), name);
        QCOMPARE(key->font().family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(key->font().pointSize(), 8);
        QCOMPARE(key->focusPolicy(), Qt::NoFocus);
    }
    QCOMPARE(m_level->maximumHeight(), 215);
    // The five entry keys check like radio buttons; the action key has its own check state.
    basicKey("action")->click();
    basicKey("opp")->click();
    basicKey("uvp")->click();
    QVERIFY(!basicKey("opp")->isChecked());
    QVERIFY(basicKey("uvp")->isChecked());
    QVERIFY(basicKey("action")->isChecked());

    QVERIFY(m_level->isBasicPage() && !m_level->isArbitraryPage());
    m_level->selectArbitraryPage();
    QVERIFY(m_level->isArbitraryPage() && !m_level->isBasicPage());
    FuncSourLevelArbitrary *arb = m_level->arbitraryPage();
    QVERIFY(arb->findChild<QWidget *>("arbitray"));
    const Ui_FuncSourLevelArbitrary *ui = arb->ui;
    QCOMPARE(QStringList({ ui->table->text(),
                 ui->slewRate->text(),
                 ui->opp->text(),
                 ui->uvp->text(),
                 ui->countButton->text() }),
        QStringList({ "Table", "Slew\nRate", "OPP", "UVP", "Count\n" }));
    QCOMPARE(ui->countButton->shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(ui->arbCount->geometry().topLeft(), QPoint(10, 20));
    arb->setEditTable(true);
    QCOMPARE(ui->table->text(), QString::fromUtf8("Table\n(\u00B7Edit)"));
    arb->setEditTable(false);
    QCOMPARE(ui->table->text(), QStringLiteral("Table"));
    QCOMPARE(ui->table->shortcut(), QKeySequence(Qt::Key_F1));
}

// Without the short function the action key stays off on a level entry but still offers the
// protection action on a protection entry.
void tst_FuncSourLevel::actionKeyWithoutShort()
{
    FuncSourLevelBasic *page = m_level->basicPage();
    FuncButton *action = basicKey("action");
    page->viewShortMode(true);
    QVERIFY(action->isEnabled() && action->isChecked());
    QCOMPARE(action->text(), QStringLiteral("Short\nOn"));

    m_level->setViewShortEnable(false);
    page->viewShortMode(false);
    QVERIFY(!action->isEnabled());
    QCOMPARE(action->text(), QStringLiteral("Short\nOff"));

    basicKey("opp")->click();
    page->viewProtectAction(KeywordBridge_LimitTrip::LIM);
    QVERIFY(action->isEnabled() && !action->isChecked());
    QCOMPARE(action->text(), QStringLiteral("Action\nLimit"));
    QSignalSpy clicks(page, &FuncSourLevelBasic::actionClicked);
    // A panel key clicks its soft key after the key's short press animation.
    QTest::keyClick(m_level.get(), Qt::Key_F5);
    QTRY_COMPARE(clicks.size(), 1);
    page->viewProtectAction(KeywordBridge_LimitTrip::TRIP);
    QCOMPARE(action->text(), QStringLiteral("Action\nTrip"));
    QCOMPARE(action->shortcut(), QKeySequence(Qt::Key_F5));

    page->viewShortMode(false);
    QTest::keyClick(m_level.get(), Qt::Key_F5);
    QTest::qWait(300);
    QCOMPARE(clicks.size(), 1);
}

void tst_FuncSourLevel::arbitraryResponseDisablesSlewRate()
{
    m_level->setViewArbSlewRateEnable(false);
    m_level->basicPage()->onArbModeUiChange();
    QVERIFY(basicKey("slewRate")->isVisible());
    QVERIFY(!basicKey("slewRate")->isEnabled());
    QVERIFY(!m_level->arbitraryPage()->ui->slewRate->isEnabled());
    // Outside ARB the flag does not matter.
    m_level->basicPage()->onCcModeUiChange();
    QVERIFY(basicKey("slewRate")->isEnabled());
}

void tst_FuncSourLevel::signalsOfTheKeys()
{
    FuncSourLevelBasic *basic = m_level->basicPage();
    QSignalSpy table(m_level.get(), &FuncSourLevel::tableClicked);
    QSignalSpy value(basic, &FuncSourLevelBasic::valueClicked);
    QSignalSpy ocp(basic, &FuncSourLevelBasic::ocpClicked);
    basic->onCrModeUiChange();
    QTest::keyClick(m_level.get(), Qt::Key_F1);
    QTRY_COMPARE(table.size(), 1);
    QTest::keyClick(m_level.get(), Qt::Key_F3);
    QTRY_COMPARE(ocp.size(), 1);
    QCOMPARE(table.at(0).at(0).toBool(), true);
    QCOMPARE(value.size(), 1);
    // The checked entry key is clicked again when the level view is shown.
    basic->selectItemClick();
    QCOMPARE(ocp.size(), 2);

    m_level->selectArbitraryPage();
    const Ui_FuncSourLevelArbitrary *ui = m_level->arbitraryPage()->ui;
    QSignalSpy slew(m_level.get(), &FuncSourLevel::slewRateClicked);
    QSignalSpy opp(m_level.get(), &FuncSourLevel::oppClicked);
    QSignalSpy uvp(m_level.get(), &FuncSourLevel::uvpClicked);
    QSignalSpy arbTable(m_level->arbitraryPage(), &FuncSourLevelArbitrary::tableClicked);
    QSignalSpy count(m_level->arbitraryPage(), &FuncSourLevelArbitrary::countClicked);
    for (int key = Qt::Key_F1; key <= Qt::Key_F5; ++key)
        QTest::keyClick(m_level.get(), Qt::Key(key));
    QTRY_COMPARE(QList<int>({ arbTable.size(), slew.size(), opp.size(), uvp.size(), count.size() }),
        QList<int>({ 1, 1, 1, 1, 1 }));
    QCOMPARE(table.size(), 1);
    Q_UNUSED(ui);
}

void tst_FuncSourLevel::countEntry()
{
    zoDoubleSpinBox *entry = m_level->arbitraryPage()->ui->arbCount;
    QCOMPARE(entry->decimals(), 0);
    QSignalSpy changed(m_level->arbitraryPage(), &FuncSourLevelArbitrary::countPrefixChanged);
    for (const auto &pair : QList<QPair<double, double>> {
             { 2, 3 }, { 3, 3 }, { 57.4, 57 }, { 100, 100 }, { 250, 100 } }) {
        entry->setValue(pair.first);
        QCOMPARE(entry->value(), pair.second);
    }
    entry->stepBy(1);
    QCOMPARE(entry->value(), 100.0);
}

QTEST_MAIN(tst_FuncSourLevel)
#include "tst_FuncSourLevel.moc"
