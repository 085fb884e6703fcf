#include "gui/toolkit/zoUpDownLineEdit.h"
#include "tests/support/PanelTestLook.h"

#include <QtTest>

namespace {

// The program-name pattern of the program and file delegates.
const char programNamePattern[] = "[-+A-Za-z0-9.,(){}\\[\\]_&$#^%@=\\s]+";

} // namespace

class tst_zoUpDownLineEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void characterList();
    void stepping_data();
    void stepping();
    void otherKeysTypeAsUsual();
    void emptyPatternLiftsTheRestriction();
};

void tst_zoUpDownLineEdit::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_zoUpDownLineEdit::characterList()
{
    const QStringList &list = zoUpDownLineEdit::asciiList();
    QCOMPARE(list.size(), 95);
    QCOMPARE(list.join(QString()),
        QStringLiteral(" ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
                       "`-=[]\\;',./~!@#$%^&*()_+{}|:\"<>?"));
}

void tst_zoUpDownLineEdit::stepping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart"); // -1: nothing selected, caret at the end
    QTest::addColumn<int>("selLength"); // negative: selected from right to left
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("keys"); // U = Up, D = Down
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("selected");

    QTest::newRow("caret at end, Up inserts the blank") << "AB" << -1 << 0 << ""
                                                        << "U"
                                                        << "AB "
                                                        << " ";
    QTest::newRow("second Up continues from it") << "AB" << -1 << 0 << ""
                                                 << "UU"
                                                 << "ABA"
                                                 << "A";
    QTest::newRow("caret at end, Down inserts the last") << "AB" << -1 << 0 << ""
                                                         << "D"
                                                         << "AB?"
                                                         << "?";
    QTest::newRow("Z Up gives a") << "Z" << 0 << 1 << ""
                                  << "U"
                                  << "a"
                                  << "a";
    QTest::newRow("? Up wraps to the blank") << "?" << 0 << 1 << ""
                                             << "U"
                                             << " "
                                             << " ";
    QTest::newRow("blank Down wraps to ?") << "x y" << 1 << 1 << ""
                                           << "D"
                                           << "x?y"
                                           << "?";
    QTest::newRow("middle character") << "ABC" << 1 << 1 << ""
                                      << "UUD"
                                      << "ACC"
                                      << "C";
    QTest::newRow("selected right to left") << "ABC" << 1 << -1 << ""
                                            << "U"
                                            << "ACC"
                                            << "C";
    QTest::newRow("several characters become one") << "ABCD" << 1 << 2 << ""
                                                   << "U"
                                                   << "A D"
                                                   << " ";
    QTest::newRow("program name: Z Up gives a") << "Z" << 0 << 1 << programNamePattern << "U"
                                                << "a"
                                                << "a";
    QTest::newRow("program name: 9 Up skips `") << "9" << 0 << 1 << programNamePattern << "U"
                                                << "-"
                                                << "-";
    QTest::newRow("program name: - Down skips `") << "-" << 0 << 1 << programNamePattern << "D"
                                                  << "9"
                                                  << "9";
    QTest::newRow("digits only: Up from 9 wraps to 0") << "19" << 1 << 1 << "[0-9]+"
                                                       << "U"
                                                       << "10"
                                                       << "0";
    QTest::newRow("only the same character fits") << "abc" << 1 << 1 << "abc"
                                                  << "U"
                                                  << "abc"
                                                  << "b";
    QTest::newRow("nothing fits after a full name") << "A" << -1 << 0 << "[A-Z]"
                                                    << "UD"
                                                    << "A"
                                                    << "";
}

void tst_zoUpDownLineEdit::stepping()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, pattern);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    QFETCH(QString, selected);

    zoUpDownLineEdit edit;
    edit.setRegPattern(pattern);
    edit.setText(text);
    edit.show();
    if (selStart < 0)
        edit.end(false);
    else if (selLength < 0)
        edit.setSelection(selStart + 1, selLength);
    else
        edit.setSelection(selStart, selLength);

    for (const QChar key : keys)
        QTest::keyClick(&edit, key == QLatin1Char('U') ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(edit.text(), after);
    QCOMPARE(edit.selectedText(), selected);
}

void tst_zoUpDownLineEdit::otherKeysTypeAsUsual()
{
    zoUpDownLineEdit edit;
    edit.setRegPattern(QStringLiteral("^([A-Za-z][-A-Za-z0-9]{0,13}[A-Za-z0-9]|[A-Za-z])$"));
    edit.show();
    QTest::keyClicks(&edit, QStringLiteral("9ab_c-1"));
    QCOMPARE(edit.text(), QStringLiteral("abc-1")); // the validator drops what cannot fit

    edit.setReadOnly(true);
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(edit.text(), QStringLiteral("abc-1"));
}

void tst_zoUpDownLineEdit::emptyPatternLiftsTheRestriction()
{
    zoUpDownLineEdit edit;
    edit.setRegPattern(QStringLiteral("[0-9]+"));
    edit.setRegPattern(QString());
    edit.setText(QStringLiteral("1"));
    edit.show();
    edit.setSelection(0, 1);
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(edit.text(), QStringLiteral("2"));
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::keyClick(&edit, Qt::Key_Down);
    QCOMPARE(edit.text(), QStringLiteral("0"));
    QTest::keyClick(&edit, Qt::Key_Down);
    QCOMPARE(edit.text(), QStringLiteral("z"));

    edit.setRegPattern(QStringLiteral("[0-9]+")); // the kept validator serves again
    edit.setText(QStringLiteral("5"));
    edit.setSelection(0, 1);
    QTest::keyClick(&edit, Qt::Key_Down);
    QCOMPARE(edit.text(), QStringLiteral("4"));
}

QTEST_MAIN(tst_zoUpDownLineEdit)
#include "tst_zoUpDownLineEdit.moc"
