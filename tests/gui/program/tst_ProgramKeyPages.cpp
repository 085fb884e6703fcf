#include "gui/program/ProgramKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/SoftKeyColumn.h"

#include <QLayout>
#include <QtTest>

class tst_ProgramKeyPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void selectionKeys();
    void exportKeysSitLowerAtTheirHeight();
};

void tst_ProgramKeyPages::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_ProgramKeyPages::selectionKeys()
{
    FuncProg page;
    softkeytest::show(&page);
    const QList<FuncButton *> keys = softkeytest::column(&page);
    const QStringList texts { "Select", "Rename", "Create", "Sub", "Delete..." };
    QCOMPARE(keys.size(), texts.size());
    for (int i = 0; i < keys.size(); ++i) {
        QCOMPARE(keys[i]->text(), texts[i]);
        QCOMPARE(keys[i]->shortcut(), QKeySequence(Qt::Key_F1 + i));
        QCOMPARE(keys[i]->isCheckable(), i == 0);
        QVERIFY(keys[i]->isEnabled());
    }
}

void tst_ProgramKeyPages::exportKeysSitLowerAtTheirHeight()
{
    FuncProgExport page;
    softkeytest::show(&page);
    const QList<FuncButton *> keys = softkeytest::column(&page);
    QCOMPARE(keys.size(), 5);
    QCOMPARE(keys[4]->text(), QString::fromUtf8("USB\u21d4\nInternal "));
    QCOMPARE(keys[4]->shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(keys[2]->text(), QStringLiteral("Over\nwrite..."));
    QCOMPARE(keys[2]->shortcut(), QKeySequence(Qt::Key_F3));
    QVERIFY(!keys[3]->isEnabled());
    QVERIFY(keys[3]->text().isEmpty());
    // Taller than the keys need: they start 14 pixels down and the rest stays empty below.
    page.resize(62, 300);
    QCoreApplication::processEvents();
    QCOMPARE(keys[0]->y(), 14);
    QCOMPARE(keys[4]->height(), 38);
    QVERIFY(keys[4]->geometry().bottom() < 260);
}

QTEST_MAIN(tst_ProgramKeyPages)
#include "tst_ProgramKeyPages.moc"
