#include "gui/toolkit/zoDialogMessage.h"
#include "tests/support/PanelTestLook.h"

#include <QTextEdit>
#include <QtTest>

class tst_zoDialogMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void showsIdentifyText();
    void anyKeyCloses_data();
    void anyKeyCloses();
    void textPlainOrRich();
};

void tst_zoDialogMessage::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_zoDialogMessage::showsIdentifyText()
{
    zoDialogMessage dialog;
    QCOMPARE(dialog.objectName(), QString("zoDialogMessage"));
    QCOMPARE(dialog.size(), QSize(240, 50));
    const auto *text = dialog.findChild<QTextEdit *>("textEdit");
    QVERIFY(text);
    QCOMPARE(text->toPlainText(), QString("LXI Web Identify"));
    QCOMPARE(text->textInteractionFlags(), Qt::NoTextInteraction);
    QCOMPARE(text->alignment(), Qt::AlignHCenter);
}

void tst_zoDialogMessage::anyKeyCloses_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("F1") << int(Qt::Key_F1);
    QTest::newRow("Up") << int(Qt::Key_Up);
}

void tst_zoDialogMessage::anyKeyCloses()
{
    QFETCH(int, key);
    zoDialogMessage dialog;
    QTimer::singleShot(0, &dialog, [&dialog, key] {
        QTest::keyClick(&dialog, Qt::Key(key));
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
}

void tst_zoDialogMessage::textPlainOrRich()
{
    zoDialogMessage dialog;
    auto *text = dialog.findChild<QTextEdit *>("textEdit");
    dialog.setTextLabel("<b>Identify</b> on");
    QCOMPARE(text->toPlainText(), QString("Identify on"));
    dialog.setTextLabel("a < b");
    QCOMPARE(text->toPlainText(), QString("a < b"));
}

QTEST_MAIN(tst_zoDialogMessage)
#include "tst_zoDialogMessage.moc"
