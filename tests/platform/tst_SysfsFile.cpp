#include "platform/BoardPath.h"
#include "platform/SysfsFile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

using platform::BoardPath;
using platform::SysfsFile;

// The sysfs helper on a board root seeded like the simulated board's, and on plain files.
class tst_SysfsFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void gpioLine();
    void rules_data();
    void rules();
    void missingAttributeIsNotCreated();
    void boardWritesTheTextAsGiven();

private:
    QString file(const QString &boardPath) const;
    void seed(const QString &boardPath, const QByteArray &text);

    QTemporaryDir *m_root = nullptr;
};

void tst_SysfsFile::init()
{
    m_root = new QTemporaryDir;
    QVERIFY(m_root->isValid());
    BoardPath::setRoot(m_root->path());
    seed("/sys/class/gpio/export", "");
    seed("/sys/class/gpio/unexport", "");
    seed("/sys/class/pwm/pwmchip1/export", "");
    seed("/sys/class/pwm/pwmchip1/npwm", "1\n");
    seed("/sys/class/backlight/backlight/brightness", "8\n");
    seed("/sys/class/backlight/backlight/max_brightness", "8\n");
}

void tst_SysfsFile::cleanup()
{
    delete m_root;
    m_root = nullptr;
}

QString tst_SysfsFile::file(const QString &boardPath) const
{
    QString text;
    return SysfsFile::read(boardPath, &text) == 0 ? text : QStringLiteral("<none>");
}

void tst_SysfsFile::seed(const QString &boardPath, const QByteArray &text)
{
    const QString path = BoardPath::map(boardPath);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void tst_SysfsFile::gpioLine()
{
    const QString dir = "/sys/class/gpio/gpio111/direction";
    const QString value = "/sys/class/gpio/gpio111/value";
    bool opened = true;
    QCOMPARE(SysfsFile::write(value, "1", &opened), -ENOENT);
    QVERIFY(!opened);
    QCOMPARE(SysfsFile::write("/sys/class/gpio/export", "111"), 0);
    QVERIFY(SysfsFile::exists(value));
    QCOMPARE(file(dir), QString("in"));
    QCOMPARE(SysfsFile::write("/sys/class/gpio/export", "111", &opened), -EBUSY);
    QVERIFY(opened); // refused by the attribute, not missing
    QCOMPARE(SysfsFile::write(value, "1"), -EPERM);

    QCOMPARE(SysfsFile::write(dir, "high"), 0);
    QCOMPARE(file(value), QString("1"));
    QCOMPARE(SysfsFile::write(dir, "out"), 0);
    QCOMPARE(file(value), QString("0"));
    QCOMPARE(SysfsFile::write(value, "7"), 0);
    QCOMPARE(file(value), QString("1"));
    QCOMPARE(SysfsFile::write(value, "on"), -EINVAL);
    QCOMPARE(SysfsFile::write(dir, "sideways"), -EINVAL);
    QCOMPARE(file(dir), QString("out"));
    // The kernel reads its attributes with a line end; the helper strips it.
    QFile raw(BoardPath::map(value));
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(raw.readAll(), QByteArray("1\n"));

    QCOMPARE(SysfsFile::write("/sys/class/gpio/unexport", "111"), 0);
    QVERIFY(!SysfsFile::exists(value));
    QCOMPARE(SysfsFile::write("/sys/class/gpio/unexport", "111"), -EINVAL);
    QCOMPARE(SysfsFile::write("/sys/class/gpio/export", "x"), -EINVAL);
}

void tst_SysfsFile::rules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rc");
    QTest::addColumn<QString>("stored"); // what the attribute reads afterwards

    const QString pwm = "/sys/class/pwm/pwmchip1/pwm0/";
    // Each row starts from pwm0 exported with period 250000 and duty 125000.
    QTest::newRow("period") << pwm + "period"
                            << "300000" << 0 << "300000";
    QTest::newRow("period below duty") << pwm + "period"
                                       << "100000" << -EINVAL << "250000";
    QTest::newRow("duty") << pwm + "duty_cycle"
                          << "250000" << 0 << "250000";
    QTest::newRow("duty above period") << pwm + "duty_cycle"
                                       << "250001" << -EINVAL << "125000";
    QTest::newRow("negative duty") << pwm + "duty_cycle"
                                   << "-1" << -EINVAL << "125000";
    QTest::newRow("enable") << pwm + "enable"
                            << "1" << 0 << "1";
    QTest::newRow("enable 2") << pwm + "enable"
                              << "2" << -EINVAL << "0";
    QTest::newRow("channel twice") << "/sys/class/pwm/pwmchip1/export"
                                   << "0" << -EBUSY << "";
    QTest::newRow("channel beyond npwm") << "/sys/class/pwm/pwmchip1/export"
                                         << "1" << -ENODEV << "";
    const QString backlight = "/sys/class/backlight/backlight/brightness";
    QTest::newRow("brightness") << backlight << "3" << 0 << "3";
    QTest::newRow("brightness with line end") << backlight << "4\n" << 0 << "4";
    QTest::newRow("brightness above max") << backlight << "9" << -EINVAL << "8";
    QTest::newRow("brightness text") << backlight << "full" << -EINVAL << "8";
}

void tst_SysfsFile::rules()
{
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(int, rc);
    QFETCH(QString, stored);
    const QString pwm = "/sys/class/pwm/pwmchip1/pwm0/";
    QCOMPARE(SysfsFile::write("/sys/class/pwm/pwmchip1/export", "0"), 0);
    QCOMPARE(SysfsFile::write(pwm + "period", "250000"), 0);
    QCOMPARE(SysfsFile::write(pwm + "duty_cycle", "125000"), 0);

    QCOMPARE(SysfsFile::write(path, text), rc);
    if (!stored.isEmpty())
        QCOMPARE(file(path), stored);
}

void tst_SysfsFile::missingAttributeIsNotCreated()
{
    QCOMPARE(SysfsFile::write("/sys/class/gpio/gpio5/value", "1"), -ENOENT);
    QVERIFY(!QFileInfo::exists(m_root->path() + "/sys/class/gpio/gpio5"));
    QString text = "kept";
    QCOMPARE(SysfsFile::read("/sys/class/gpio/gpio5/value", &text), -ENOENT);
    QCOMPARE(text, QString("kept"));
}

void tst_SysfsFile::boardWritesTheTextAsGiven()
{
    BoardPath::setRoot(QString());
    const QString path = m_root->path() + "/attribute";
    bool opened = true;
    QCOMPARE(SysfsFile::write(path, "1", &opened), -ENOENT);
    QVERIFY(!opened);
    seed(path, "");
    QCOMPARE(SysfsFile::write(path, "250000", &opened), 0);
    QVERIFY(opened);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("250000"));
}

QTEST_GUILESS_MAIN(tst_SysfsFile)
#include "tst_SysfsFile.moc"
