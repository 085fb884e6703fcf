#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/GroupFunc.h"
#include "tests/support/PanelTestLook.h"

#include <QVBoxLayout>
#include <QtTest>

// A page as the pulse page builds it: a loose key, then an outer group holding a key of its own
// and two inner groups of two keys each.
class PulsePage : public FuncWidget
{
public:
    PulsePage()
    {
        loose = addKey(this, "Off");
        outer = new GroupFunc(this);
        new QVBoxLayout(outer);
        m_layout->addWidget(outer);
        own = addKey(outer, "Current");
        innerA = addGroup();
        a1 = addKey(innerA, "A1");
        a2 = addKey(innerA, "A2");
        innerB = addGroup();
        b1 = addKey(innerB, "B1");
        b2 = addKey(innerB, "B2");
    }

    QList<FuncButton *> grouped() const { return { own, a1, a2, b1, b2 }; }
    QList<FuncButton *> checked() const
    {
        const QList<FuncButton *> all = grouped() << loose;
        QList<FuncButton *> keys;
        for (FuncButton *key : all) {
            if (key->isChecked())
                keys << key;
        }
        return keys;
    }

    FuncButton *loose, *own, *a1, *a2, *b1, *b2;
    GroupFunc *outer, *innerA, *innerB;

private:
    static FuncButton *addKey(QWidget *holder, const char *text)
    {
        auto *key = new FuncButton(holder);
        key->setText(text);
        holder->layout()->addWidget(key);
        return key;
    }
    GroupFunc *addGroup()
    {
        auto *group = new GroupFunc(outer);
        new QVBoxLayout(group);
        outer->layout()->addWidget(group);
        return group;
    }
};

class tst_FuncButton : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void keyBuiltAsSoftKey();
    void clickMovesCheckAcrossEnclosingGroups();
    void clickingCheckedKeyKeepsIt();
    void receiversSeeSettledGroup();
    void keyOutsideGroupsToggles();
    void nonCheckableKeyUnchecksSiblingsOnly();
    void textChangeDropsBinding();
};

void tst_FuncButton::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_FuncButton::keyBuiltAsSoftKey()
{
    FuncButton key;
    QVERIFY(key.isCheckable());
    QCOMPARE(key.focusPolicy(), Qt::NoFocus);
    QCOMPARE(key.minimumHeight(), 38);
    QCOMPARE(key.maximumSize(), QSize(60, 38));
    QCOMPARE(key.font().family(), QString("DejaVu Sans"));
    QCOMPARE(key.font().pointSize(), 8);
}

void tst_FuncButton::clickMovesCheckAcrossEnclosingGroups()
{
    PulsePage page;
    page.a1->click();
    QCOMPARE(page.checked(), QList<FuncButton *> { page.a1 });
    page.b2->click(); // a key of the sibling group clears a1
    QCOMPARE(page.checked(), QList<FuncButton *> { page.b2 });
    page.own->click();
    QCOMPARE(page.checked(), QList<FuncButton *> { page.own });
    page.a2->setChecked(false); // a key with siblings cannot be unchecked this way
    QCOMPARE(page.checked(), QList<FuncButton *> { page.a2 });
    QCOMPARE(page.outer->checkPushButton(), page.a2);
}

void tst_FuncButton::clickingCheckedKeyKeepsIt()
{
    PulsePage page;
    page.b1->click();
    page.b1->click();
    QCOMPARE(page.checked(), QList<FuncButton *> { page.b1 });
}

void tst_FuncButton::receiversSeeSettledGroup()
{
    PulsePage page;
    page.a1->click();
    QList<bool> seen;
    connect(page.b1, &QAbstractButton::clicked, this, [&](bool checked) {
        seen << checked << page.b1->isChecked() << page.a1->isChecked();
    });
    page.b1->click();
    QCOMPARE(seen, (QList<bool> { true, true, false }));
}

void tst_FuncButton::keyOutsideGroupsToggles()
{
    PulsePage page;
    page.a1->click();
    page.loose->click();
    QCOMPARE(page.checked(), (QList<FuncButton *> { page.a1, page.loose }));
    page.loose->click();
    QCOMPARE(page.checked(), QList<FuncButton *> { page.a1 });
}

void tst_FuncButton::nonCheckableKeyUnchecksSiblingsOnly()
{
    PulsePage page;
    page.a1->click();
    page.b2->setCheckable(false);
    page.b2->click();
    QVERIFY(page.checked().isEmpty());
}

void tst_FuncButton::textChangeDropsBinding()
{
    // Pages bind a key after its text, and again after every change of it.
    FuncButton key;
    key.setText("Edit");
    key.setShortcut(Qt::Key_F2);
    key.setText("Apply");
    QVERIFY(key.shortcut().isEmpty());
}

QTEST_MAIN(tst_FuncButton)
#include "tst_FuncButton.moc"
