#include "gui/system/SystemKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/SoftKeyColumn.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace {

using softkeytest::column;
using softkeytest::show;

using PageFactory = std::function<QWidget *()>;

} // namespace

Q_DECLARE_METATYPE(PageFactory)

class tst_SystemKeyPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void keysAsBuilt_data();
    void keysAsBuilt();
    void adminModes_data();
    void adminModes();
    void adminSubPagesAreRadioKeys();
    void adminNtpCheckLeavesF5Unchecked();
    void saveAsFollowsFolderAndAcquisition();
    void fileModes_data();
    void fileModes();
};

void tst_SystemKeyPages::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_SystemKeyPages::keysAsBuilt_data()
{
    // Per key: text, bound to its F-key, checkable, enabled; "" is a blank key.
    QTest::addColumn<PageFactory>("make");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("checkable");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("config") << PageFactory([] {
        return new FuncSystemConfig;
    }) << QStringList { "", "Edit", "", "", "" }
                            << "-y---"
                            << "-y---";
    QTest::newRow("interface") << PageFactory([] {
        return new FuncSystemInterface;
    }) << QStringList { "Modify", "Edit", "Apply", "Default", "LAN\nReset" }
                               << "yy---"
                               << "y----";
    QTest::newRow("error list") << PageFactory([] {
        return new FuncSystemError;
    }) << QStringList { "Clear", "", "", "", "*RST" }
                                << "-----"
                                << "----y";
    QTest::newRow("admin") << PageFactory([] {
        return new FuncSystemAdmin;
    }) << QStringList { "Date\nTime", "Sanitize", "Firmware\nUpdate", "Tab", "Apply" }
                           << "yyy--"
                           << "yyyyy";
    QTest::newRow("setup files") << PageFactory([] {
        return new FuncFile(nullptr, FuncWidget::Yellow);
    }) << QStringList { "Recall", "Save", "Save As", "Rename", "Property" }
                                 << "----y"
                                 << "-----";
}

void tst_SystemKeyPages::keysAsBuilt()
{
    QFETCH(PageFactory, make);
    QFETCH(QStringList, texts);
    QFETCH(QString, checkable);
    QFETCH(QString, enabled);
    std::unique_ptr<QWidget> page(make());
    show(page.get());
    const QList<FuncButton *> keys = column(page.get());
    QCOMPARE(keys.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const QString where = QStringLiteral("F%1").arg(i + 1);
        QVERIFY2(keys[i]->text() == texts[i], qPrintable(where + ": " + keys[i]->text()));
        const QKeySequence binding =
            texts[i].isEmpty() ? QKeySequence() : QKeySequence(Qt::Key_F1 + i);
        QVERIFY2(keys[i]->shortcut() == binding, qPrintable(where));
        if (!texts[i].isEmpty())
            QVERIFY2(keys[i]->isCheckable() == (checkable[i] == 'y'), qPrintable(where));
        QVERIFY2(keys[i]->isEnabled() == (enabled[i] == 'y'), qPrintable(where));
    }
}

void tst_SystemKeyPages::adminModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("tab");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("sanitize") << int(FuncSystemAdmin::ModeSanitize) << "Execute..." << 7 << false
                              << QByteArray(SIGNAL(sanitizeClicked()));
    QTest::newRow("update") << int(FuncSystemAdmin::ModeUpdate) << "Execute..." << 7 << false
                            << QByteArray(SIGNAL(updateClicked()));
    QTest::newRow("ntp") << int(FuncSystemAdmin::ModeNtpAdjust) << "Check" << 8 << true
                         << QByteArray(SIGNAL(ntpAdjustClicked()));
    QTest::newRow("date and time") << int(FuncSystemAdmin::ModeDateTime) << "Apply" << 8 << true
                                   << QByteArray(SIGNAL(applyClicked()));
}

// Each mode from sanitize, so that the date modes show they undo its look.
void tst_SystemKeyPages::adminModes()
{
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(int, points);
    QFETCH(bool, tab);
    QFETCH(QByteArray, signal);
    FuncSystemAdmin page;
    show(&page);
    QVERIFY(QTest::qWaitForWindowActive(&page));
    page.setFuncMode(FuncSystemAdmin::ModeSanitize);
    page.setFuncMode(FuncSystemAdmin::funcMode(mode));
    QCOMPARE(page.m_executeButton->text(), text);
    QCOMPARE(page.m_executeButton->font().pointSize(), points);
    QCOMPARE(page.m_tabButton->isEnabled(), tab);
    QVERIFY(page.m_executeButton->isEnabled());
    QCOMPARE(page.isNtpAdjustKey(), mode == FuncSystemAdmin::ModeNtpAdjust);

    // F5 still answers its panel key after the new text, and emits the mode's signal alone.
    QSignalSpy chosen(&page, signal.constData());
    std::vector<std::unique_ptr<QSignalSpy>> all;
    for (const char *any : { SIGNAL(sanitizeClicked()),
             SIGNAL(updateClicked()),
             SIGNAL(applyClicked()),
             SIGNAL(ntpAdjustClicked()) })
        all.push_back(std::make_unique<QSignalSpy>(&page, any));
    // A panel key clicks its key animated, after a short delay.
    QTest::keyClick(&page, Qt::Key_F5);
    QTRY_COMPARE_WITH_TIMEOUT(chosen.size(), 1, 10000);
    int total = 0;
    for (const auto &spy : all)
        total += spy->size();
    QCOMPARE(total, 1);

    // A value outside the enumeration changes nothing.
    page.setFuncMode(FuncSystemAdmin::funcMode(7));
    QCOMPARE(page.m_executeButton->text(), text);
    QCOMPARE(page.mode(), FuncSystemAdmin::funcMode(mode));
    page.m_executeButton->click();
    QCOMPARE(chosen.size(), 2);
}

void tst_SystemKeyPages::adminSubPagesAreRadioKeys()
{
    FuncSystemAdmin page;
    show(&page);
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QCOMPARE(page.m_updateButton->font().pointSize(), 7);
    page.m_dateTimeButton->click();
    page.m_updateButton->click();
    QVERIFY(!page.m_dateTimeButton->isChecked());
    QTest::keyClick(&page, Qt::Key_F2);
    QTRY_VERIFY_WITH_TIMEOUT(page.m_sanitizeButton->isChecked(), 10000);
    QVERIFY(!page.m_dateTimeButton->isChecked());
    QVERIFY(!page.m_updateButton->isChecked());
    // Pressing the checked one keeps it.
    page.m_sanitizeButton->click();
    QVERIFY(page.m_sanitizeButton->isChecked());
}

void tst_SystemKeyPages::adminNtpCheckLeavesF5Unchecked()
{
    FuncSystemAdmin page;
    page.setFuncMode(FuncSystemAdmin::ModeNtpAdjust);
    page.setTimeNtpAdjust(true);
    QVERIFY(!page.m_executeButton->isChecked());
    QVERIFY(page.isNtpAdjustKey());
}

void tst_SystemKeyPages::saveAsFollowsFolderAndAcquisition()
{
    FuncFile page(nullptr, FuncWidget::Red);
    page.setUsbMemoryMode(true);
    QVERIFY(page.m_saveAsButton->isEnabled());
    page.SetSaveBtn(true); // an acquisition was initiated
    QVERIFY(!page.m_saveAsButton->isEnabled());
    page.setUsbMemoryMode(true);
    QVERIFY(!page.m_saveAsButton->isEnabled());
    page.SetSaveBtn(false);
    QVERIFY(page.m_saveAsButton->isEnabled());
    page.setUsbMemoryMode(false);
    QVERIFY(!page.m_saveAsButton->isEnabled());

    // The key lock acts at the next call, not when it is set.
    page.setUsbMemoryMode(true);
    page.setKeyLock(true);
    QVERIFY(page.m_saveAsButton->isEnabled());
    page.SetSaveBtn(false);
    QVERIFY(!page.m_saveAsButton->isEnabled());
}

void tst_SystemKeyPages::fileModes_data()
{
    // The mode calls after a USB folder (Save As enabled unless locked), and the keys F1 to F5
    // enabled afterwards.
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("empty, then other file") << false << "empty other"
                                            << "---y-";
    QTest::newRow("empty") << false << "empty"
                           << "-----";
    QTest::newRow("readable setup") << false << "recallsave"
                                    << "yyyyy";
    QTest::newRow("readable setup, locked") << true << "recallsave"
                                            << "y----";
    QTest::newRow("setup, recall allowed") << false << "save1"
                                           << "yyyy-";
    QTest::newRow("setup, no recall") << false << "save0"
                                      << "-yyy-";
    QTest::newRow("setup, locked") << true << "save1"
                                   << "y----";
    QTest::newRow("other after setup") << false << "recallsave other"
                                       << "--yy-";
}

void tst_SystemKeyPages::fileModes()
{
    QFETCH(bool, locked);
    QFETCH(QString, calls);
    QFETCH(QString, enabled);
    FuncFile page(nullptr, FuncWidget::Red);
    page.setKeyLock(locked);
    page.setUsbMemoryMode(true);
    for (const QString &call : calls.split(QLatin1Char(' '))) {
        if (call == QLatin1String("empty"))
            page.setPathEmptyMode();
        else if (call == QLatin1String("other"))
            page.setOtherFileMode();
        else if (call == QLatin1String("recallsave"))
            page.setRecallSaveFileMode();
        else
            page.setSaveFileMode(call == QLatin1String("save1"));
    }
    const FuncButton *keys[] = { page.m_recallButton,
        page.m_saveButton,
        page.m_saveAsButton,
        page.m_renameButton,
        page.m_propertyButton };
    QString actual;
    for (const FuncButton *key : keys)
        actual += key->isEnabled() ? QLatin1Char('y') : QLatin1Char('-');
    QCOMPARE(actual, enabled);
}

QTEST_MAIN(tst_SystemKeyPages)
#include "tst_SystemKeyPages.moc"
