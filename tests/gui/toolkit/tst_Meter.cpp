#include "gui/toolkit/Meter.h"
#include "gui/toolkit/zoMeasDoubleBox.h"
#include "tests/gui/toolkit/MeasBoundsFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest>

using vek::AcquireTrigger;

// One meter page over the small model's bounds, fed records as the measurement screen feeds it.
class tst_Meter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void rangeChangeReloadsTheFormat();
    void barsFollowTheValueWithinTheirScale_data();
    void barsFollowTheValueWithinTheirScale();
    void overRangeShowsOverTexts();
    void elapsedTime_data();
    void elapsedTime();
    void powerSwitchesToKilowatts_data();
    void powerSwitchesToKilowatts();
    void displayItemsChooseTheRows();
    void largeFont();

private:
    void feed(const ioc::TRACE_DATA &r) { m_meter->onMonitorUpdate(&r); }

    Meter *m_meter = nullptr;
    const Ui_Meter *ui = nullptr;
};

void tst_Meter::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_Meter::init()
{
    m_meter = new Meter(testBounds(), nullptr);
    m_meter->resize(258, 120);
    m_meter->show();
    ui = m_meter->form();
}

void tst_Meter::cleanup()
{
    delete m_meter;
    m_meter = nullptr;
}

void tst_Meter::rangeChangeReloadsTheFormat()
{
    // Range 0 is set up at construction: 6 A at 4 decimals fills a bar of 60,000 counts.
    QCOMPARE(ui->LevelBarCurr->maximum(), 60000);
    QCOMPARE(ui->LevelBarVolt->maximum(), 150000);
    feed(record(1.5, 12.0));
    QCOMPARE(ui->MeasCurr->text(), QString("1.5000"));
    QCOMPARE(ui->MeasVolt->text(), QString("12.000"));
    QCOMPARE(ui->LevelBarCurr->value(), 15000);

    // Range 1: milliamperes at 2 decimals; 0.6 A is 60,000 counts again.
    feed(record(0.0123, 12.0, 1, 1));
    QCOMPARE(ui->MeasCurr->text(), QString("12.30"));
    QCOMPARE(ui->CurrUnit->text(), QString("mA"));
    QCOMPARE(ui->LevelBarCurr->maximum(), 60000);
    QCOMPARE(ui->LevelBarCurr->value(), 1230);
    QCOMPARE(ui->MeasVolt->text(), QString("12.0000"));
    QCOMPARE(ui->LevelBarVolt->maximum(), 150000);

    // The next record of the same ranges keeps the format.
    feed(record(0.5, 9.5, 1, 1));
    QCOMPARE(ui->MeasCurr->text(), QString("500.00"));
    QCOMPARE(ui->MeasVolt->text(), QString("9.5000"));

    // A range without an entry shows as the smallest range code.
    feed(record(2.0, 9.5, 7, 1));
    QCOMPARE(ui->MeasCurr->text(), QString("2.0000"));
    QCOMPARE(ui->LevelBarCurr->value(), 20000);
}

void tst_Meter::barsFollowTheValueWithinTheirScale_data()
{
    QTest::addColumn<double>("current");
    QTest::addColumn<int>("counts");

    QTest::newRow("inside") << 3.25 << 32500;
    QTest::newRow("truncated, not rounded") << 0.00019 << 1;
    QTest::newRow("above the range: full") << 7.0 << 60000;
    QTest::newRow("negative: empty") << -0.5 << 0;
    QTest::newRow("NaN: empty") << qQNaN() << 0;
}

void tst_Meter::barsFollowTheValueWithinTheirScale()
{
    QFETCH(double, current);
    QFETCH(int, counts);
    feed(record(current, 1.0));
    QCOMPARE(ui->LevelBarCurr->value(), counts);
}

void tst_Meter::overRangeShowsOverTexts()
{
    feed(record(9.9e37, -9.9e37));
    QCOMPARE(ui->MeasCurr->text(), QString("+Over"));
    QCOMPARE(ui->LevelBarCurr->value(), ui->LevelBarCurr->maximum());
    QCOMPARE(ui->MeasVolt->text(), QString("-Over"));
    QCOMPARE(ui->LevelBarVolt->value(), 0);
    QCOMPARE(ui->MeasPower->text(), QString("-Over"));

    ioc::TRACE_DATA r = record(1.0, 1.0);
    r.capacity = 9.9e37;
    r.energy = -9.9e37; // no lower special text: a number
    feed(r);
    QCOMPARE(ui->MeasCapacity->text(), QString("+Over"));
    QVERIFY(ui->MeasEnergy->text() != QString("-Over"));
}

void tst_Meter::elapsedTime_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << "0:00:00";
    QTest::newRow("seconds truncated") << 59.99 << "0:00:59";
    QTest::newRow("hour, minutes, seconds") << 3725.9 << "1:02:05";
    QTest::newRow("hours unpadded") << 360000.0 << "100:00:00";
    QTest::newRow("over-range: the largest") << 9.9e37 << "596523:14:07";
    QTest::newRow("negative") << -5.0 << "0:00:00";
    QTest::newRow("NaN") << qQNaN() << "0:00:00";
}

void tst_Meter::elapsedTime()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    feed(record(0.0, 0.0, 0, 0, seconds));
    QCOMPARE(ui->ETime->text(), text);
}

void tst_Meter::powerSwitchesToKilowatts_data()
{
    QTest::addColumn<double>("watts");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unit");

    QTest::newRow("whole watts") << 999.0 << "999"
                                 << " W";
    QTest::newRow("kilowatts, three decimals") << 1500.0 << "1.500"
                                               << "kW";
    QTest::newRow("megawatts") << 2.5e6 << "2.500"
                               << "MW";
}

void tst_Meter::powerSwitchesToKilowatts()
{
    QFETCH(double, watts);
    QFETCH(QString, text);
    QFETCH(QString, unit);
    ioc::TRACE_DATA r = record(1.0, 1.0);
    r.power = watts;
    feed(r);
    QCOMPARE(ui->MeasPower->text(), text);
    QCOMPARE(ui->WaitUnit->text(), unit);
}

void tst_Meter::displayItemsChooseTheRows()
{
    // Hidden until the acquisition says otherwise.
    QVERIFY(ui->ETime->isHidden());
    QVERIFY(ui->Capacity->isHidden());
    QVERIFY(ui->Energy->isHidden());

    m_meter->onDisplayItemsChange(AcquireTrigger::capacity);
    QVERIFY(ui->ETime->isHidden());
    QVERIFY(!ui->Capacity->isHidden());
    QVERIFY(ui->Energy->isHidden());

    // Hidden rows still follow the records.
    ioc::TRACE_DATA r = record(1.0, 1.0);
    r.energy = 0.25;
    feed(r);
    QCOMPARE(ui->MeasEnergy->text(), QString("250.000"));
    QCOMPARE(ui->EnergyUnit->text(), QString("mWh"));

    m_meter->onDisplayItemsChange(AcquireTrigger::eTime | AcquireTrigger::energy);
    QVERIFY(!ui->ETime->isHidden());
    QVERIFY(ui->Capacity->isHidden());
    QVERIFY(!ui->Energy->isHidden());
}

void tst_Meter::largeFont()
{
    m_meter->viewMeasLargeFont(true);
    QCOMPARE(ui->MeasCurr->font().pointSize(), 28);
    QCOMPARE(ui->MeasVolt->font().pointSize(), 28);
    QCOMPARE(ui->CurrUnit->font().pointSize(), 9);
    QCOMPARE(ui->MeasPower->font().pointSize(), 10);
    m_meter->viewMeasLargeFont(false);
    QCOMPARE(ui->MeasCurr->font().pointSize(), 20);
    QCOMPARE(ui->VoltUnit->font().pointSize(), 7);
    QCOMPARE(ui->ETime->font().pointSize(), 10);
}

QTEST_MAIN(tst_Meter)
#include "tst_Meter.moc"
