#include "gui/toolkit/zoMessageBox.h"
#include "remote/ISystErrCustom.h"
#include "remote/ZOSystErrCue.h"
#include "tests/support/PanelTestLook.h"

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

// The instrument's texts for codes above zero, as the command set's hook gives them.
class InstrumentTexts : public zo4882::ISystErrCustom
{
public:
    void OnQueue(const zo4882::SYST_ERR_INFO &) override { }
    void OnDequeue(const zo4882::SYST_ERR_INFO &) override { }
    void OnEmpty() override { }
    QString getMessage(short code) const override
    {
        return code == 104 ? QStringLiteral("Program running") : QString();
    }
};

// Runs the dialog as screens do and presses key once it is shown.
int execWithKey(zoMessageBox &box, Qt::Key key)
{
    QTimer::singleShot(0, &box, [&box, key] {
        QTest::keyClick(&box, key);
    });
    return box.exec();
}

} // namespace

class tst_zoMessageBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void errorNumberShowsItsTextOnly_data();
    void errorNumberShowsItsTextOnly();
    void informationBoxClosesItself();
    void questionKeys_data();
    void questionKeys();
};

void tst_zoMessageBox::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    static InstrumentTexts hook;
    zo4882::s_systErrCue.setHook(&hook);
}

void tst_zoMessageBox::errorNumberShowsItsTextOnly_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");

    QTest::newRow("-222") << -222 << "Data out of range";
    QTest::newRow("-350") << -350 << "Queue overflow";
    QTest::newRow("instrument 104") << 104 << "Program running";
    QTest::newRow("unknown number") << 4321 << "";
}

void tst_zoMessageBox::errorNumberShowsItsTextOnly()
{
    QFETCH(int, error);
    QFETCH(QString, text);

    zoMessageBox box(short(error), nullptr, false);
    QCOMPARE(box.findChild<QLabel *>()->text(), text);
}

void tst_zoMessageBox::informationBoxClosesItself()
{
    QElapsedTimer clock;
    clock.start();
    zoMessageBox box(-222, nullptr, false);
    box.show();
    QVERIFY(box.findChild<QDialogButtonBox *>()->isHidden()); // no keys
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    // A two-second single shot is a coarse timer, which may fire up to 5 % early.
    QVERIFY2(clock.elapsed() >= 1850, qPrintable(QString::number(clock.elapsed())));
}

void tst_zoMessageBox::questionKeys_data()
{
    QTest::addColumn<bool>("cancelDefault");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");

    QTest::newRow("Return accepts") << false << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Enter accepts") << false << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Escape rejects") << false << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("Return with Cancel default")
        << true << int(Qt::Key_Return) << int(QDialog::Rejected);
    QTest::newRow("Escape with Cancel default")
        << true << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void tst_zoMessageBox::questionKeys()
{
    QFETCH(bool, cancelDefault);
    QFETCH(int, key);
    QFETCH(int, result);

    zoMessageBox box(nullptr, true);
    box.setText("Delete the program?");
    box.setCancelDefault(cancelDefault);
    const auto *keys = box.findChild<QDialogButtonBox *>();
    QVERIFY(!keys->isHidden());
    QStringList texts;
    for (const QAbstractButton *button : keys->buttons())
        texts << button->text();
    texts.sort();
    QCOMPARE(texts, (QStringList { "Cancel", "OK" }));
    QCOMPARE(execWithKey(box, Qt::Key(key)), result);
}

QTEST_MAIN(tst_zoMessageBox)
#include "tst_zoMessageBox.moc"
