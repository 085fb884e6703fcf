#include "gui/shell/PanelControl.h"
#include "platform/BoardPath.h"
#include "platform/SysfsFile.h"
#include "tests/support/SeededBoardRoot.h"

#include <QtTest>

#include <memory>

#include <sys/inotify.h>
#include <unistd.h>

using platform::BoardPath;
using platform::SysfsFile;

namespace {
const QString pwm0 = QStringLiteral("/sys/class/pwm/pwmchip1/pwm0/");
const QString beepLine = QStringLiteral("/sys/class/gpio/gpio128/value");
const QString alarmLine = QStringLiteral("/sys/class/gpio/gpio129/value");
const QString backlightFile = QStringLiteral("/sys/class/backlight/backlight/brightness");

QString read(const QString &boardPath)
{
    return SeededBoardRoot::read(boardPath);
}

QString gpio(int line, const char *attribute)
{
    return read(QString("/sys/class/gpio/gpio%1/%2").arg(line).arg(attribute));
}

// Empties an attribute behind the stand-in's back, so that any later write shows.
void blank(const QString &boardPath)
{
    QFile f(BoardPath::map(boardPath));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
}

// The attributes of one folder in the order they are written (the stand-in renames each
// new text into place).
class WriteRecorder
{
public:
    explicit WriteRecorder(const QString &boardPath)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0)
            inotify_add_watch(m_fd, QFile::encodeName(BoardPath::map(boardPath)), IN_MOVED_TO);
    }
    ~WriteRecorder() { ::close(m_fd); }
    bool isValid() const { return m_fd >= 0; }

    QStringList take()
    {
        QStringList names;
        alignas(struct inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof(buffer))) > 0) {
            for (char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const struct inotify_event *>(p);
                names.append(QString::fromLocal8Bit(event->name));
                p += sizeof(struct inotify_event) + event->len;
            }
        }
        return names;
    }

private:
    int m_fd;
};
} // namespace

// The front panel's hardware on a freshly seeded board root, whose sysfs behaves as the kernel's.
class tst_PanelControl_Shell : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void initialize();
    void directionOnlyWhenTheExportOpened();
    void loadLED();
    void alarmToneKeepsTheDutyBelowThePeriod();
    void disabledAlarmTone();
    void beeps_data();
    void beeps();
    void backlight();

private:
    std::unique_ptr<SeededBoardRoot> m_root;
};

void tst_PanelControl_Shell::init()
{
    m_root.reset(new SeededBoardRoot);
    QVERIFY2(m_root->isValid(), qPrintable(m_root->error()));
    PanelControl::s_alarmBeepEnabled = true;
    PanelControl::s_scpiBeepEnabled = true;
    PanelControl::s_keyBeepEnabled = true;
    PanelControl::s_brightness = -1;
    PanelControl::s_onAlarmSounding = false;
}

void tst_PanelControl_Shell::cleanup()
{
    m_root.reset();
}

void tst_PanelControl_Shell::initialize()
{
    const int outputs[] = { 18,
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
        110,
        111,
        112,
        113,
        114,
        115,
        116,
        117,
        128,
        129,
        133 };
    QList<QPair<QString, QString>> expected; // attribute, text
    for (int line : outputs)
        expected.append({ QString("/sys/class/gpio/gpio%1/direction").arg(line), "out" });
    expected += { { "/sys/class/gpio/gpio130/direction", "in" },
        { "/sys/class/gpio/gpio18/value", "1" },
        { alarmLine, "0" },
        { pwm0 + "period", "250000" },
        { pwm0 + "duty_cycle", "125000" },
        { pwm0 + "enable", "1" },
        { backlightFile, "8" } };

    PanelControl::initialize();
    for (const auto &attribute : expected)
        QVERIFY2(read(attribute.first) == attribute.second,
            qPrintable(QString("%1 reads %2").arg(attribute.first, read(attribute.first))));
    QCOMPARE(PanelControl::s_brightness.load(), 8);
}

void tst_PanelControl_Shell::directionOnlyWhenTheExportOpened()
{
    // A line exported before start (the export fails with EBUSY) still becomes an output.
    QCOMPARE(SysfsFile::write("/sys/class/gpio/export", "60"), 0);
    QCOMPARE(gpio(60, "direction"), QString("in"));
    PanelControl::initialize();
    QCOMPARE(gpio(60, "direction"), QString("out"));

    // Without the export attribute no direction is touched, even of lines that exist.
    for (int line : { 18, 60, 128, 133 })
        QCOMPARE(SysfsFile::write(QString("/sys/class/gpio/gpio%1/direction").arg(line), "in"), 0);
    QVERIFY(QFile::remove(BoardPath::map("/sys/class/gpio/export")));
    PanelControl::initialize();
    for (int line : { 18, 60, 128, 133 })
        QCOMPARE(gpio(line, "direction"), QString("in"));
}

void tst_PanelControl_Shell::loadLED()
{
    PanelControl::lightLoadLED(true); // before the line exists: nothing, and no crash
    QCOMPARE(gpio(133, "value"), QString("<none>"));
    PanelControl::initialize();
    PanelControl::lightLoadLED(true);
    QCOMPARE(gpio(133, "value"), QString("1"));
    PanelControl::lightLoadLED(false);
    QCOMPARE(gpio(133, "value"), QString("0"));
}

void tst_PanelControl_Shell::alarmToneKeepsTheDutyBelowThePeriod()
{
    PanelControl::initialize();
    WriteRecorder recorder(pwm0);
    QVERIFY(recorder.isValid());

    PanelControl::alarmBeep(true);
    QCOMPARE(recorder.take(), QStringList({ "period", "duty_cycle" }));
    QCOMPARE(read(pwm0 + "period"), QString("1000000000"));
    QCOMPARE(read(pwm0 + "duty_cycle"), QString("65000000"));
    QCOMPARE(read(alarmLine), QString("1"));
    QVERIFY(PanelControl::s_onAlarmSounding);

    PanelControl::alarmBeep(false);
    QCOMPARE(recorder.take(), QStringList({ "duty_cycle", "period" }));
    QCOMPARE(read(pwm0 + "period"), QString("250000"));
    QCOMPARE(read(pwm0 + "duty_cycle"), QString("125000"));
    QCOMPARE(read(alarmLine), QString("0"));
    QVERIFY(!PanelControl::s_onAlarmSounding);
}

void tst_PanelControl_Shell::disabledAlarmTone()
{
    PanelControl::initialize();
    PanelControl::s_alarmBeepEnabled = false;
    blank(alarmLine);
    PanelControl::alarmBeep(true);
    PanelControl::alarmBeep(false);
    QCOMPARE(read(alarmLine), QString());
    QCOMPARE(read(pwm0 + "period"), QString("250000"));
    QVERIFY(!PanelControl::s_onAlarmSounding);

    // A tone started while enabled is stopped after the tone has been disabled.
    PanelControl::s_alarmBeepEnabled = true;
    PanelControl::alarmBeep(true);
    PanelControl::s_alarmBeepEnabled = false;
    PanelControl::alarmBeep(false);
    QCOMPARE(read(alarmLine), QString("0"));
    QCOMPARE(read(pwm0 + "period"), QString("250000"));
    QVERIFY(!PanelControl::s_onAlarmSounding);
}

void tst_PanelControl_Shell::beeps_data()
{
    QTest::addColumn<bool>("key"); // keyBeep() or scpiBeep()
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("alarm");
    QTest::addColumn<QString>("written"); // to the blanked beeper line

    QTest::newRow("key beep") << true << true << false << "0";
    QTest::newRow("remote-error beep") << false << true << false << "1";
    QTest::newRow("key beep disabled") << true << false << false << "";
    QTest::newRow("remote-error beep disabled") << false << false << false << "";
    QTest::newRow("key beep during the alarm") << true << true << true << "";
    QTest::newRow("remote-error beep during the alarm") << false << true << true << "";
}

void tst_PanelControl_Shell::beeps()
{
    QFETCH(bool, key);
    QFETCH(bool, enabled);
    QFETCH(bool, alarm);
    QFETCH(QString, written);
    PanelControl::initialize();
    PanelControl::s_keyBeepEnabled = !key || enabled;
    PanelControl::s_scpiBeepEnabled = key || enabled;
    if (alarm)
        PanelControl::alarmBeep(true);
    blank(beepLine);
    if (key)
        PanelControl::keyBeep();
    else
        PanelControl::scpiBeep();
    QCOMPARE(read(beepLine), written);
}

void tst_PanelControl_Shell::backlight()
{
    PanelControl::setBacklightBrightness(8); // the first call writes even the seeded level
    QCOMPARE(read(backlightFile), QString("8"));
    QCOMPARE(PanelControl::s_brightness.load(), 8);
    blank(backlightFile);
    for (int ignored : { 8, 0, 9, -1 })
        PanelControl::setBacklightBrightness(ignored);
    QCOMPARE(read(backlightFile), QString());

    PanelControl::setBacklightBrightness(1);
    QCOMPARE(read(backlightFile), QString("1"));
    QCOMPARE(PanelControl::s_brightness.load(), 1);

    QVERIFY(QFile::remove(BoardPath::map(backlightFile)));
    PanelControl::setBacklightBrightness(5);
    QCOMPARE(PanelControl::s_brightness.load(), 1);
}

QTEST_GUILESS_MAIN(tst_PanelControl_Shell)
#include "tst_PanelControl_Shell.moc"
