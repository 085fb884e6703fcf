#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/GroupFunc.h"
#include "tests/support/PanelTestLook.h"

#include <QAction>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

// A shown, active page with one group of three keys cycled by F2.
class CyclingPage : public FuncWidget
{
public:
    CyclingPage()
    {
        group = new GroupFunc(this);
        new QVBoxLayout(group);
        m_layout->addWidget(group);
        for (const char *text : { "One", "Two", "Three" }) {
            auto *key = new FuncButton(group);
            key->setText(text);
            group->layout()->addWidget(key);
            keys << key;
        }
        group->setShortcut(Qt::Key_F2);
        resize(62, 200);
        show();
        QApplication::setActiveWindow(this);
    }

    void pressF2() { QTest::keyClick(this, Qt::Key_F2); }
    int checkedIndex() const
    {
        return keys.indexOf(static_cast<FuncButton *>(group->checkPushButton()));
    }

    GroupFunc *group;
    QList<FuncButton *> keys;
};

class tst_GroupFunc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void panelKeyCyclesVisibleKeys_data();
    void panelKeyCyclesVisibleKeys();
    void cycleClickCarriesFalse();
    void ignoredWhileDisabledOrAllHidden();
    void nestedGroups();
};

void tst_GroupFunc::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_GroupFunc::panelKeyCyclesVisibleKeys_data()
{
    QTest::addColumn<int>("checked"); // -1: none
    QTest::addColumn<int>("hidden"); // -1: none
    QTest::addColumn<QList<int>>("sequence"); // checked key after each press

    QTest::newRow("second checked: third, then wrap to first") << 1 << -1 << QList<int> { 2, 0 };
    QTest::newRow("none checked: first visible key first") << -1 << -1 << QList<int> { 0, 1, 2 };
    QTest::newRow("hidden key is skipped") << 0 << 1 << QList<int> { 2, 0, 2 };
    QTest::newRow("checked key hidden: stored position") << 1 << 1 << QList<int> { 0, 2, 0 };
}

void tst_GroupFunc::panelKeyCyclesVisibleKeys()
{
    QFETCH(int, checked);
    QFETCH(int, hidden);
    QFETCH(QList<int>, sequence);

    CyclingPage page;
    QVERIFY(QTest::qWaitForWindowActive(&page));
    if (checked >= 0)
        page.keys.at(checked)->setChecked(true);
    if (hidden >= 0)
        page.keys.at(hidden)->hide();
    QList<int> seen;
    for (int i = 0; i < sequence.size(); ++i) {
        page.pressF2();
        seen << page.checkedIndex();
    }
    QCOMPARE(seen, sequence);
}

void tst_GroupFunc::cycleClickCarriesFalse()
{
    CyclingPage page;
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QSignalSpy clicked(page.keys.at(0), &QAbstractButton::clicked);
    page.pressF2();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toBool(), false);
    QVERIFY(page.keys.at(0)->isChecked());
}

void tst_GroupFunc::ignoredWhileDisabledOrAllHidden()
{
    CyclingPage page;
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QAction *binding = page.actions().value(0);
    QVERIFY(binding);

    page.group->setEnabled(false);
    QVERIFY(binding->shortcut().isEmpty()); // the binding is gone while disabled
    QVERIFY(!page.keys.at(0)->isEnabled());
    page.pressF2();
    binding->trigger(); // even a direct trigger does nothing
    QCOMPARE(page.checkedIndex(), -1);

    page.group->setEnabled(true);
    QCOMPARE(binding->shortcut(), QKeySequence(Qt::Key_F2));
    for (FuncButton *key : qAsConst(page.keys))
        key->hide();
    page.pressF2();
    QCOMPARE(page.checkedIndex(), -1);

    page.keys.at(2)->show();
    page.pressF2();
    QCOMPARE(page.checkedIndex(), 2);
}

void tst_GroupFunc::nestedGroups()
{
    GroupFunc outer;
    auto *own = new FuncButton(&outer);
    auto *inner = new GroupFunc(&outer);
    auto *first = new FuncButton(inner);
    auto *second = new FuncButton(inner);

    QCOMPARE(outer.checkPushButton(), nullptr);
    second->setChecked(true);
    QCOMPARE(outer.checkPushButton(), second); // found depth first
    QCOMPARE(inner->checkPushButton(), second);

    outer.setUnchecked(); // its own keys only
    QVERIFY(second->isChecked());
    inner->setUnchecked();
    QVERIFY(!second->isChecked());
    QVERIFY(!own->isChecked() && !first->isChecked());
}

QTEST_MAIN(tst_GroupFunc)
#include "tst_GroupFunc.moc"
