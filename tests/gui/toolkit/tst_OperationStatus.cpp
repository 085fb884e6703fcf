#include "gui/toolkit/OperationStatus.h"
#include "gui/toolkit/StatusTiles.h"
#include "tests/support/PanelTestLook.h"

#include <QtTest>

using vek::Status;

class tst_OperationStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void textAndStyle_data();
    void textAndStyle();
    void tilesShowTheirColours_data();
    void tilesShowTheirColours();
};

void tst_OperationStatus::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_OperationStatus::textAndStyle_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("style");

    QTest::newRow("off") << 0 << ""
                         << "";
    QTest::newRow("constant current") << 1 << "C.C" << CC_HStatus;
    QTest::newRow("constant resistance") << 2 << "C.R" << CR_Status;
    QTest::newRow("constant voltage") << 3 << "C.V" << CV_HStatus;
    QTest::newRow("constant power") << 4 << "C.P" << CP_Status;
    QTest::newRow("over-current: red as C.C") << 5 << "OCP" << CC_HStatus;
    QTest::newRow("over-power: orange as C.P") << 6 << "OPP" << CP_Status;
    QTest::newRow("under-voltage: green as C.V") << 7 << "UVP" << CV_HStatus;
    QTest::newRow("unknown") << 9 << ""
                             << "";
    QTest::newRow("negative") << -1 << ""
                              << "";
}

void tst_OperationStatus::textAndStyle()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(QString, style);
    OperationStatus tile;
    tile.onOperationStatusChange(Status::OperationCP); // something to clear
    tile.onOperationStatusChange(Status::StatusOperation(status));
    QCOMPARE(tile.text(), text);
    QCOMPARE(tile.styleSheet(), style);
}

void tst_OperationStatus::tilesShowTheirColours_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("C.C red") << 1 << QColor(255, 0, 0);
    QTest::newRow("C.R blue") << 2 << QColor(0, 127, 255);
    QTest::newRow("C.V green") << 3 << QColor(0, 255, 0);
    QTest::newRow("C.P orange") << 4 << QColor(255, 160, 0);
}

void tst_OperationStatus::tilesShowTheirColours()
{
    QFETCH(int, status);
    QFETCH(QColor, colour);
    OperationStatus tile;
    tile.setAlignment(Qt::AlignCenter);
    tile.resize(98, 25);
    tile.onOperationStatusChange(Status::StatusOperation(status));
    const QImage image = tile.grab().toImage();
    // A corner is tile colour; the text in the middle is black.
    QCOMPARE(image.pixelColor(2, 2), colour);
    QCOMPARE(image.pixelColor(95, 22), colour);
}

QTEST_MAIN(tst_OperationStatus)
#include "tst_OperationStatus.moc"
