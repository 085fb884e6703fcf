#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/SoftKeyStyle.h"
#include "tests/support/PanelTestLook.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// The images a style sheet names, in its order: normal, pressed, checked, checked+pressed,
// disabled.
QStringList imagesOf(const QString &styleSheet)
{
    QStringList names;
    const QRegularExpression url(QStringLiteral("url\\(:/resources/image/([^)]*)\\)"));
    auto it = url.globalMatch(styleSheet);
    while (it.hasNext())
        names << it.next().captured(1);
    return names;
}

QRgb rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

} // namespace

class tst_SoftKeyStyle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void styleNamesImages_data();
    void styleNamesImages();
    void everyScreenStyleHasItsImages_data();
    void everyScreenStyleHasItsImages();
    void imagesCarryTheirStripes_data();
    void imagesCarryTheirStripes();
    void grabShowsRightEdgeStripe_data();
    void grabShowsRightEdgeStripe();
};

void tst_SoftKeyStyle::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_SoftKeyStyle::styleNamesImages_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QStringList>("images");

    auto button = [](int c1, int m, int c2) {
        FuncButton key;
        key.setStyle(FuncButton::Color(c1), FuncButton::Matrix(m), FuncButton::Color(c2));
        return key.styleSheet();
    };
    auto page = [](int c1, int m, int c2) {
        FuncWidget column;
        column.setStyle(FuncWidget::Color(c1), FuncWidget::Matrix(m), FuncWidget::Color(c2));
        return column.styleSheet();
    };
    auto group = [](int c1, int m, int c2) {
        GroupFunc keys;
        keys.setStyle(GroupFunc::Color(c1), GroupFunc::Matrix(m), GroupFunc::Color(c2));
        return keys.styleSheet();
    };
    const QString disabled = "FunctionDisable.png";

    QTest::newRow("blue row") << button(FuncButton::Blue, FuncButton::Row, FuncButton::NoColor)
                              << QStringList { "RowFunctionBlue.png",
                                     "RowFunctionPress.png",
                                     "RowFunctionBlueCheck.png",
                                     "RowFunctionPress.png",
                                     disabled };
    QTest::newRow("red row pink") << button(FuncButton::Red, FuncButton::Row, FuncButton::Pink)
                                  << QStringList { "RowFunctionRedPink.png",
                                         "RowFunctionPress.png",
                                         "RowFunctionRedPinkCheck.png",
                                         "RowFunctionPress.png",
                                         disabled };
    QTest::newRow("plain") << button(FuncButton::NoColor, FuncButton::Plain, FuncButton::NoColor)
                           << QStringList { "Function.png",
                                  "FunctionPress.png",
                                  "FunctionCheck.png",
                                  "FunctionPress.png",
                                  disabled };
    QTest::newRow("yellow half") << button(
        FuncButton::Yellow, FuncButton::Half, FuncButton::NoColor)
                                 << QStringList { "HalfFunctionYellow.png",
                                        "HalfFunctionPress.png",
                                        "HalfFunctionYellowCheck.png",
                                        "HalfFunctionPress.png",
                                        disabled };
    // A column and a group know no "Half": value 2 is the plain layout there.
    QTest::newRow("page with Half's value") << page(FuncWidget::Blue, 2, FuncWidget::NoColor)
                                            << QStringList { "FunctionBlue.png",
                                                   "FunctionPress.png",
                                                   "FunctionBlueCheck.png",
                                                   "FunctionPress.png",
                                                   disabled };
    QTest::newRow("group green row") << group(GroupFunc::Green, GroupFunc::Row, GroupFunc::NoColor)
                                     << QStringList { "RowFunctionGreen.png",
                                            "RowFunctionPress.png",
                                            "RowFunctionGreenCheck.png",
                                            "RowFunctionPress.png",
                                            disabled };
    QTest::newRow("colour outside the table") << button(9, FuncButton::Row, -1)
                                              << QStringList { "RowFunction.png",
                                                     "RowFunctionPress.png",
                                                     "RowFunctionCheck.png",
                                                     "RowFunctionPress.png",
                                                     disabled };
}

void tst_SoftKeyStyle::styleNamesImages()
{
    QFETCH(QString, sheet);
    QFETCH(QStringList, images);
    QCOMPARE(imagesOf(sheet), images);
}

void tst_SoftKeyStyle::everyScreenStyleHasItsImages_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<int>("matrix");
    QTest::addColumn<int>("colour2");

    // The styles the screens give their keys, groups and pages.
    using B = FuncButton;
    for (int c : { B::Blue, B::Red, B::Green, B::Yellow })
        QTest::addRow("row %d", c) << c << int(B::Row) << int(B::NoColor);
    for (int c2 : { B::Blue, B::Pink, B::Green, B::Orange, B::Yellow, B::Purple })
        QTest::addRow("blue row %d", c2) << int(B::Blue) << int(B::Row) << c2;
    for (int c2 : { B::Blue, B::Pink, B::Green, B::Yellow })
        QTest::addRow("red row %d", c2) << int(B::Red) << int(B::Row) << c2;
    for (int c2 : { B::Blue, B::Pink, B::Yellow, B::Green, B::Orange })
        QTest::addRow("green row %d", c2) << int(B::Green) << int(B::Row) << c2;
    for (int c : { B::NoColor, B::Blue, B::Red, B::Green, B::Yellow })
        QTest::addRow("menu bar %d", c) << c << int(B::Plain) << int(B::NoColor);
    QTest::newRow("yellow half") << int(B::Yellow) << int(B::Half) << int(B::NoColor);
}

void tst_SoftKeyStyle::everyScreenStyleHasItsImages()
{
    QFETCH(int, colour);
    QFETCH(int, matrix);
    QFETCH(int, colour2);

    const QString sheet =
        SoftKeyStyle::styleSheet(colour, SoftKeyStyle::matrixName(matrix, 3), colour2);
    for (const QString &name : imagesOf(sheet)) {
        const QImage image(":/resources/image/" + name);
        QVERIFY2(!image.isNull(), qPrintable(name));
    }
}

void tst_SoftKeyStyle::imagesCarryTheirStripes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QRgb>("colour");

    const QRgb body = rgb(51, 51, 51), checkedBody = rgb(208, 208, 208);
    QTest::newRow("row blue stripe")
        << "RowFunctionBlue.png" << QSize(50, 2) << QPoint(46, 1) << rgb(42, 86, 151);
    QTest::newRow("row blue body")
        << "RowFunctionBlue.png" << QSize(50, 2) << QPoint(45, 1) << body;
    QTest::newRow("row blue checked")
        << "RowFunctionBlueCheck.png" << QSize(50, 2) << QPoint(49, 0) << rgb(42, 127, 255);
    QTest::newRow("row checked body")
        << "RowFunctionBlueCheck.png" << QSize(50, 2) << QPoint(20, 0) << checkedBody;
    QTest::newRow("row orange shorter")
        << "RowFunctionOrange.png" << QSize(40, 2) << QPoint(39, 0) << rgb(255, 102, 0);
    QTest::newRow("second colour left")
        << "RowFunctionRedPink.png" << QSize(50, 2) << QPoint(2, 0) << rgb(255, 128, 128);
    QTest::newRow("second colour width")
        << "RowFunctionRedPink.png" << QSize(50, 2) << QPoint(3, 0) << body;
    QTest::newRow("second colour in check")
        << "RowFunctionGreenPurpleCheck.png" << QSize(50, 2) << QPoint(0, 1) << rgb(255, 0, 255);
    QTest::newRow("plain green bottom")
        << "FunctionGreen.png" << QSize(2, 20) << QPoint(1, 17) << rgb(0, 172, 155);
    QTest::newRow("plain green body")
        << "FunctionGreen.png" << QSize(2, 20) << QPoint(1, 16) << body;
    QTest::newRow("plain orange shorter")
        << "FunctionOrangeCheck.png" << QSize(2, 18) << QPoint(0, 17) << rgb(255, 102, 0);
    QTest::newRow("no colour") << "FunctionCheck.png" << QSize(2, 10) << QPoint(0, 9)
                               << checkedBody;
    QTest::newRow("half yellow") << "HalfFunctionYellow.png" << QSize(2, 10) << QPoint(0, 9)
                                 << rgb(255, 196, 87);
    QTest::newRow("pressed bottom row")
        << "FunctionPress.png" << QSize(2, 20) << QPoint(0, 19) << rgb(93, 93, 93);
    QTest::newRow("pressed body") << "FunctionPress.png" << QSize(2, 20) << QPoint(0, 18)
                                  << rgb(153, 153, 153);
    QTest::newRow("row pressed right column")
        << "RowFunctionPress.png" << QSize(50, 2) << QPoint(49, 0) << rgb(27, 27, 27);
    QTest::newRow("disabled") << "FunctionDisable.png" << QSize(40, 2) << QPoint(20, 1)
                              << rgb(0, 0, 0);
}

void tst_SoftKeyStyle::imagesCarryTheirStripes()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QPoint, at);
    QFETCH(QRgb, colour);

    SoftKeyStyle::styleSheet(0, QString(), 0); // registers the images
    const QImage image(":/resources/image/" + name);
    QCOMPARE(image.size(), size);
    QCOMPARE(QColor(image.pixel(at)), QColor(colour));
}

void tst_SoftKeyStyle::grabShowsRightEdgeStripe_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QRgb>("stripe");
    QTest::addColumn<QRgb>("body");

    QTest::newRow("normal") << false << rgb(42, 86, 151) << rgb(51, 51, 51);
    QTest::newRow("checked") << true << rgb(42, 127, 255) << rgb(208, 208, 208);
}

void tst_SoftKeyStyle::grabShowsRightEdgeStripe()
{
    QFETCH(bool, checked);
    QFETCH(QRgb, stripe);
    QFETCH(QRgb, body);

    FuncButton key;
    key.setStyle(FuncButton::Blue, FuncButton::Row, FuncButton::NoColor);
    key.setChecked(checked);
    key.resize(60, 38);
    const QImage shot = key.grab().toImage();
    QCOMPARE(shot.size(), QSize(60, 38));
    // The image's 4 of 50 columns, stretched over 60 pixels: x 55.2 to 60.
    for (int x : { 56, 59 })
        QCOMPARE(QColor(shot.pixel(x, 19)), QColor(stripe));
    for (int x : { 2, 30, 53 })
        QCOMPARE(QColor(shot.pixel(x, 19)), QColor(body));

    key.setEnabled(false);
    QCOMPARE(QColor(key.grab().toImage().pixel(58, 19)), QColor(Qt::black));
}

QTEST_MAIN(tst_SoftKeyStyle)
#include "tst_SoftKeyStyle.moc"
