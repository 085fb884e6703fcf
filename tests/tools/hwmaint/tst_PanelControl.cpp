#include "platform/SysfsFile.h"
#include "tests/support/SeededBoardRoot.h"
#include "tools/hwmaint/PanelControl.h"

#include <QDirIterator>
#include <QtTest>

#include <cerrno>
#include <memory>

using platform::SysfsFile;

namespace {
QString read(const QString &boardPath)
{
    return SeededBoardRoot::read(boardPath);
}

QString gpio(int line, const char *attribute = "value")
{
    return read(QString("/sys/class/gpio/gpio%1/%2").arg(line).arg(attribute));
}

// Every attribute under sys/, path and text.
QMap<QString, QString> snapshot(const QString &root)
{
    QMap<QString, QString> files;
    QDirIterator it(root + "/sys", QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, read(path.mid(root.size())));
    }
    return files;
}
} // namespace

// The tool's panel hardware on a freshly seeded board root, whose sysfs behaves as the kernel's.
class tst_PanelControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void initializeOnABareBoard();
    void initializeLeavesLinesItDidNotExport();
    void initializeTwice();
    void usbSwitch_data();
    void usbSwitch();
    void usbSwitchWithoutLines();
    void spiFlashEnable();
    void beeps();
    void backlight();

private:
    std::unique_ptr<SeededBoardRoot> m_root;
};

void tst_PanelControl::init()
{
    m_root.reset(new SeededBoardRoot);
    QVERIFY2(m_root->isValid(), qPrintable(m_root->error()));
    PanelControl::s_brightness = -1;
    PanelControl::s_alarmBeepEnabled = true;
    PanelControl::s_keyBeepEnabled = true;
    PanelControl::s_scpiBeepEnabled = true;
    PanelControl::s_onAlarmSounding = false;
}

void tst_PanelControl::cleanup()
{
    m_root.reset();
}

void tst_PanelControl::initializeOnABareBoard()
{
    QVERIFY(!PanelControl::isIinitialized());
    PanelControl::initialize();
    QVERIFY(PanelControl::isIinitialized());
    for (int line : { 18,
             29,
             49,
             50,
             51,
             54,
             55,
             56,
             60,
             62,
             63,
             65,
             111,
             112,
             113,
             114,
             115,
             116,
             117,
             128,
             129,
             132 })
        QCOMPARE(gpio(line, "direction"), QString("out"));
    QCOMPARE(gpio(130, "direction"), QString("in"));
    QCOMPARE(gpio(18), QString("1"));
    QCOMPARE(gpio(111), QString("0")); // an output starts low: USB host at the front socket
    QCOMPARE(gpio(129), QString("0"));
    QCOMPARE(read("/sys/class/pwm/pwmchip1/pwm0/period"), QString("250000"));
    QCOMPARE(read("/sys/class/pwm/pwmchip1/pwm0/duty_cycle"), QString("125000"));
    QCOMPARE(read("/sys/class/pwm/pwmchip1/pwm0/enable"), QString("1"));
    QCOMPARE(read("/sys/class/backlight/backlight/brightness"), QString("8"));
    QCOMPARE(PanelControl::s_brightness, 8);
}

void tst_PanelControl::initializeLeavesLinesItDidNotExport()
{
    // The front-panel program exported these and drives them.
    QCOMPARE(SysfsFile::write("/sys/class/gpio/export", "114"), 0);
    QCOMPARE(SysfsFile::write("/sys/class/gpio/gpio114/direction", "high"), 0);
    QCOMPARE(SysfsFile::write("/sys/class/gpio/export", "60"), 0);
    PanelControl::initialize();
    QCOMPARE(gpio(114), QString("1"));
    QCOMPARE(gpio(60, "direction"), QString("in"));
    QCOMPARE(gpio(113, "direction"), QString("out"));
}

void tst_PanelControl::initializeTwice()
{
    PanelControl::initialize();
    QCOMPARE(SysfsFile::write("/sys/class/gpio/gpio111/value", "1"), 0);
    const QMap<QString, QString> once = snapshot(m_root->path());
    PanelControl::s_brightness = -1;
    PanelControl::initialize();
    QCOMPARE(snapshot(m_root->path()), once);
}

void tst_PanelControl::usbSwitch_data()
{
    QTest::addColumn<bool>("toIoc");
    QTest::addColumn<QString>("select");
    QTest::newRow("to the IOC") << true << "1";
    QTest::newRow("to the front socket") << false << "0";
}

void tst_PanelControl::usbSwitch()
{
    QFETCH(bool, toIoc);
    QFETCH(QString, select);
    PanelControl::initialize();
    QCOMPARE(SysfsFile::write("/sys/class/gpio/gpio111/value", toIoc ? "0" : "1"), 0);
    QCOMPARE(PanelControl::usbSwitch(toIoc), 0);
    QCOMPARE(gpio(111), select);
    QCOMPARE(gpio(112), QString("0"));
}

void tst_PanelControl::usbSwitchWithoutLines()
{
    QCOMPARE(PanelControl::usbSwitch(true), -ENOENT);
    QVERIFY(!PanelControl::isIinitialized());
}

void tst_PanelControl::spiFlashEnable()
{
    QCOMPARE(PanelControl::spiFlashEnable(true), -ENOENT);
    PanelControl::initialize();
    QCOMPARE(PanelControl::spiFlashEnable(true), 0);
    QCOMPARE(gpio(114), QString("1"));
    QCOMPARE(PanelControl::spiFlashEnable(false), 0);
    QCOMPARE(gpio(114), QString("0"));
}

void tst_PanelControl::beeps()
{
    PanelControl::initialize();
    PanelControl::scpiBeep();
    QCOMPARE(gpio(128), QString("1"));
    PanelControl::keyBeep();
    QCOMPARE(gpio(128), QString("0"));

    // The alarm tone: 1 Hz period, gated on; the other beeps wait while it sounds.
    PanelControl::alarmBeep(true);
    QCOMPARE(gpio(129), QString("1"));
    QCOMPARE(read("/sys/class/pwm/pwmchip1/pwm0/period"), QString("1000000000"));
    QCOMPARE(read("/sys/class/pwm/pwmchip1/pwm0/duty_cycle"), QString("65000000"));
    PanelControl::scpiBeep();
    QCOMPARE(gpio(128), QString("0"));
    PanelControl::alarmBeep(false);
    QCOMPARE(gpio(129), QString("0"));
    QCOMPARE(read("/sys/class/pwm/pwmchip1/pwm0/period"), QString("250000"));
    QCOMPARE(read("/sys/class/pwm/pwmchip1/pwm0/duty_cycle"), QString("125000"));

    PanelControl::s_alarmBeepEnabled = false;
    PanelControl::alarmBeep(true);
    QCOMPARE(gpio(129), QString("0"));
    QVERIFY(!PanelControl::s_onAlarmSounding);
    PanelControl::dangerLED(true);
    QCOMPARE(gpio(132), QString("1"));
    QCOMPARE(gpio(29), QString("1"));
}

void tst_PanelControl::backlight()
{
    const QString file = "/sys/class/backlight/backlight/brightness";
    PanelControl::setBacklightBrightness(3);
    QCOMPARE(read(file), QString("3"));
    for (int refused : { 0, 9, 3 }) // out of range, or the level already written
        PanelControl::setBacklightBrightness(refused);
    QCOMPARE(SysfsFile::write(file, "5"), 0);
    PanelControl::setBacklightBrightness(3);
    QCOMPARE(read(file), QString("5"));
    QCOMPARE(PanelControl::s_brightness, 3);
}

QTEST_GUILESS_MAIN(tst_PanelControl)
#include "tst_PanelControl.moc"
