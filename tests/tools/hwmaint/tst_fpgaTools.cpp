#include "tests/support/PowerBoard.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int ToolTimeoutMs = 120000;
constexpr int FlashSize = 2 * 1024 * 1024;

QString record(int type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char c : bytes)
        sum = quint8(sum + quint8(c));
    bytes.append(char(quint8(-sum)));
    return ':' + QString::fromLatin1(bytes.toHex().toUpper());
}

QString upper(quint16 value)
{
    return record(4, 0, QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(4, '0')));
}

// The lines of data at base, 16-byte records, an upper-address record at every 64 KB boundary
// (and at base when named is true), no end record.
QStringList dataLines(const QByteArray &data, quint32 base, bool named = true)
{
    QStringList lines;
    for (int i = 0; i < data.size(); i += 16) {
        const quint32 address = base + quint32(i);
        if ((i == 0 && named) || (i > 0 && address % 0x10000 == 0))
            lines << upper(quint16(address >> 16));
        lines << record(0, quint16(address), data.mid(i, 16));
    }
    return lines;
}

const QString EndRecord = QStringLiteral(":00000001FF");

QByteArray pattern(int size, int seed)
{
    QByteArray data(size, '\0');
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = char(x >> 16);
    }
    return data;
}
} // namespace

// fpgaupdate, fpgaverify and flash as service staff run them: hwmaint as a process against
// vek-powerboard's configuration flash, with MCS files written by the test itself.
class tst_fpgaTools : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void updateAndVerify();
    void blockErase();
    void lsbFirst();
    void recordsAcrossPages();
    void badFilesLeaveTheFlashAlone_data();
    void badFilesLeaveTheFlashAlone();
    void stuckBusyStopsTheUpdate();
    void readBackDiffers();
    void flashOperations_data();
    void flashOperations();
    void dispatcher_data();
    void dispatcher();
    void commandLinks();

private:
    int hwmaint(const QStringList &arguments, const QString &program = QString());
    QString writeFile(const QStringList &lines);
    QByteArray image();
    QString counters(); // programs and erases the chip has taken

    PowerBoard *m_board = nullptr;
    QTemporaryDir *m_work = nullptr;
    QString m_out;
    QString m_err;
};

void tst_fpgaTools::init()
{
    m_board = new PowerBoard;
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_work = new QTemporaryDir;
    QVERIFY(m_work->isValid());
}

void tst_fpgaTools::cleanup()
{
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    delete m_board;
    m_board = nullptr;
    delete m_work;
    m_work = nullptr;
    QVERIFY2(clean, qPrintable(error));
}

int tst_fpgaTools::hwmaint(const QStringList &arguments, const QString &program)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BOARD_ROOT", m_board->root());
    tool.setProcessEnvironment(env);
    tool.setWorkingDirectory(m_work->path());
    tool.start(program.isEmpty() ? QString(HWMAINT_EXE) : program, arguments);
    if (!tool.waitForFinished(ToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        qWarning("hwmaint did not finish");
        return -1;
    }
    m_out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    m_err = QString::fromLocal8Bit(tool.readAllStandardError());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

QString tst_fpgaTools::writeFile(const QStringList &lines)
{
    const QString path = m_work->path() + "/image.mcs";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write((lines.join("\r\n") + "\r\n").toLatin1());
    return path;
}

QByteArray tst_fpgaTools::image()
{
    const QString path = m_work->path() + "/flash.img";
    if (!m_board->command("flash image " + path).startsWith("OK"))
        return {};
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString tst_fpgaTools::counters()
{
    const QStringList fields = m_board->command("flash").split(' ');
    return fields.size() == 7 ? fields.at(4) + ' ' + fields.at(5) : QString();
}

void tst_fpgaTools::updateAndVerify()
{
    QCOMPARE(m_board->command("flash fill 0"), QString("OK"));
    const QByteArray data = pattern(0x21000, 1);
    const QString file = writeFile(dataLines(data, 0) << EndRecord);
    QCOMPARE(hwmaint({ "-c", "fpgaupdate", "-m", file }), 0);
    QCOMPARE(m_err, QString());
    QVERIFY(m_out.startsWith("executing erase"));
    QVERIFY(m_out.contains("complete!\nexecuting page program.Extended Linear Address: 0x0\n"
                           "msc:  0x0 | "
        + QString::fromLatin1(data.left(16).toHex(' ')) + " \n"));
    QVERIFY(m_out.contains("msc:  0x20ff0 | "));
    QVERIFY(m_out.contains(".Extended Linear Address: 0x20000\n"));
    QVERIFY(m_out.endsWith("End of File Recoard\ncomplete!\n"));
    // No progress dots with -m; the chip, busy at the first status reading after each
    // program, shows a poll dot there.
    QVERIFY(!m_out.contains(".."));
    QCOMPARE(
        m_out.count("\n.msc:  "), data.size() / 16 - 3); // not after the first or an upper address

    const QByteArray flash = image();
    QCOMPARE(flash.size(), FlashSize);
    QVERIFY(flash.left(data.size()) == data);
    QCOMPARE(flash.mid(data.size()).count(char(0xFF)), FlashSize - data.size());

    QCOMPARE(hwmaint({ "-c", "fpgaverify", file }), 0);
    QCOMPARE(m_err, QString());
    // 0x2100 data records: a dot before records 1, 201, ... 8401.
    QCOMPARE(m_out, QString(43, '.') + "complete!\n");
    QCOMPARE(counters(), QString("%1 1").arg(data.size() / 16));
}

void tst_fpgaTools::blockErase()
{
    QCOMPARE(m_board->command("flash fill 0"), QString("OK"));
    const QByteArray zero = pattern(0x100, 2);
    const QByteArray two = pattern(0x100, 3);
    // Block 0 is not named before its data; block 2 is named twice, the second time after its
    // data (which must survive).
    const QString file = writeFile(QStringList()
        << dataLines(zero, 0x0, false) << dataLines(two, 0x20000) << upper(2) << EndRecord);
    QCOMPARE(hwmaint({ "-c", "fpgaupdate", "-b", file }), 0);
    QCOMPARE(m_err, QString());
    QVERIFY(!m_out.contains("executing erase"));
    const QByteArray flash = image();
    QVERIFY(flash.left(0x100) == zero);
    QCOMPARE(flash.mid(0x100, 0xFF00), QByteArray(0xFF00, char(0xFF)));
    QCOMPARE(flash.mid(0x10000, 0x10000), QByteArray(0x10000, '\0'));
    QVERIFY(flash.mid(0x20000, 0x100) == two);
    QCOMPARE(flash.mid(0x20100, 0xFF00), QByteArray(0xFF00, char(0xFF)));
    QCOMPARE(flash.mid(0x30000), QByteArray(FlashSize - 0x30000, '\0'));
    QCOMPARE(counters(), QString("32 2"));

    // A file that names block 0 first erases it once, before its data, and says so with -m.
    QCOMPARE(
        hwmaint({ "-c", "fpgaupdate", "-b", "-m", writeFile(dataLines(zero, 0) << EndRecord) }), 0);
    QCOMPARE(m_out.count("Extended Linear Address: 0x0\n"), 1);
    QCOMPARE(counters(), QString("48 3"));
}

void tst_fpgaTools::lsbFirst()
{
    const QString file = writeFile({ record(0, 0x10, QByteArray::fromHex("01f0")), EndRecord });
    QCOMPARE(hwmaint({ "-c", "fpgaupdate", "-l", file }), 0);
    QCOMPARE(image().mid(0x10, 2).toHex(), QByteArray("800f"));
    QCOMPARE(hwmaint({ "-c", "fpgaverify", "--lsbfirst", file }), 0);
    QCOMPARE(hwmaint({ "-c", "fpgaverify", "-m", file }), 1);
    QCOMPARE(m_out, QString("msc:  0x10 | 01 f0 \nEnd of File Recoard\ncomplete!\n"));
    QCOMPARE(m_err, QString("read: 0x10 | 80 0f \nverify data failed.\n"));
}

void tst_fpgaTools::recordsAcrossPages()
{
    // A 32-byte record from 0xF0 spans two pages; the last record ends at the flash's end.
    const QByteArray a = pattern(32, 4);
    const QByteArray b = pattern(16, 5);
    const QString file =
        writeFile({ record(0, 0xF0, a), upper(0x1F), record(0, 0xFFF0, b), EndRecord });
    QCOMPARE(hwmaint({ "-c", "fpgaupdate", file }), 0);
    QCOMPARE(m_err, QString());
    const QByteArray flash = image();
    QVERIFY(flash.mid(0xF0, 32) == a);
    QVERIFY(flash.right(16) == b);
    QCOMPARE(counters(), QString("3 1"));
}

void tst_fpgaTools::badFilesLeaveTheFlashAlone_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("message");
    const QStringList good = dataLines(pattern(64, 6), 0);
    QStringList corrupt = good;
    corrupt[2].replace(corrupt[2].size() - 2, 2, "00");
    QTest::newRow("checksum") << (QStringList(corrupt) << EndRecord)
                              << QString("Checksum error\n%1: line 3 rejected");
    QTest::newRow("record type 3")
        << (QStringList(good) << record(3, 0, QByteArray(4, 0)) << EndRecord)
        << QString("Invalid Record type\n%1: line 6 rejected");
    QTest::newRow("no end record") << good << QString("Missing End of File Record\n%1: rejected");
    QTest::newRow("beyond the flash")
        << (QStringList(good) << upper(0x20) << record(0, 0, QByteArray(1, 0)) << EndRecord)
        << QString("Record beyond the flash size (2097152 bytes).\n%1: line 7 rejected");
    QTest::newRow("overlap") << (QStringList(good)
        << record(0, 0x3F, QByteArray(2, 0)) << EndRecord)
                             << QString("Overlapping records\n%1: line 6 rejected");
    QTest::newRow("empty file") << QStringList()
                                << QString("Missing End of File Record\n%1: rejected");
}

void tst_fpgaTools::badFilesLeaveTheFlashAlone()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, message);
    QCOMPARE(m_board->command("flash fill 5a"), QString("OK"));
    const QString file = writeFile(lines);
    for (const char *command : { "fpgaupdate", "fpgaverify" }) {
        QCOMPARE(hwmaint({ "-c", command, file }), 2);
        QVERIFY2(m_err.startsWith(message.arg(file)), qPrintable(m_err));
        QCOMPARE(m_out, QString());
    }
    QCOMPARE(hwmaint({ "-c", "fpgaupdate", "-b", file }), 2);
    QCOMPARE(counters(), QString("0 0"));
    QCOMPARE(image(), QByteArray(FlashSize, 0x5A));
}

void tst_fpgaTools::stuckBusyStopsTheUpdate()
{
    const QString file = writeFile(dataLines(pattern(64, 7), 0) << EndRecord);
    QCOMPARE(m_board->command("flash busy 0"), QString("OK"));
    QCOMPARE(hwmaint({ "-c", "fpgaupdate", file }), 0);
    QCOMPARE(m_out, QString("executing erase") + "complete!\nexecuting page program..complete!\n");

    QCOMPARE(m_board->command("flash stuck program"), QString("OK"));
    QCOMPARE(hwmaint({ "-c", "fpgaupdate", file }), 2);
    // The first record's program never finishes: readings 0 and 2000 print a dot.
    QCOMPARE(m_out, QString("executing erasecomplete!\nexecuting page program...\n"));
    QCOMPARE(m_err,
        QString("Flash Time Out. (page program)\n%1: update stopped; the flash holds part of the "
                "file.\n")
            .arg(file));
}

void tst_fpgaTools::readBackDiffers()
{
    QCOMPARE(m_board->command("flash biterror 21 80"), QString("OK"));
    const QByteArray data(48, '\0');
    const QString file = writeFile(dataLines(data, 0) << EndRecord);
    QCOMPARE(hwmaint({ "-c", "fpgaupdate", file }), 1);
    QCOMPARE(m_err,
        QString("read: 0x20 | 00 80 %1\nverify data failed.\n").arg(QString("00 ").repeated(14)));
    QVERIFY(m_out.endsWith("complete!\n"));
    QCOMPARE(hwmaint({ "-c", "fpgaverify", file }), 1);
    QCOMPARE(m_err.count("verify data failed."), 1);
}

void tst_fpgaTools::flashOperations_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("rdid") << QStringList { "-o", "rdid" } << 0
                          << QString("Identification: 0xc22015\n") << QString();
    QTest::newRow("res") << QStringList { "--operate", "res" } << 0
                         << QString("Electric Identification: 0x14\n") << QString();
    QTest::newRow("ce") << QStringList { "-o", "ce" } << 0 << QString("executing erase.complete!\n")
                        << QString();
    QTest::newRow("xyz") << QStringList { "-o", "xyz" } << 2 << QString()
                         << QString("Unknown flash operation \"xyz\"; use -o rdid|res|ce.\n");
    QTest::newRow("no operation") << QStringList() << 2 << QString()
                                  << QString("Unknown flash operation \"\"; use -o rdid|res|ce.\n");
}

void tst_fpgaTools::flashOperations()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QCOMPARE(hwmaint(QStringList { "-c", "flash" } + arguments), exit);
    QCOMPARE(m_out, out);
    QCOMPARE(m_err, err);
    // The access line is off again afterwards.
    QFile line(m_board->root() + "/sys/class/gpio/gpio114/value");
    if (line.open(QIODevice::ReadOnly))
        QCOMPARE(line.readAll().trimmed(), QByteArray("0"));
}

void tst_fpgaTools::dispatcher_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("nothing") << QStringList() << 0 << QString() << QString();
    QTest::newRow("-h") << QStringList { "-h" } << 0 << QString() << QString();
    QTest::newRow("-c without a value") << QStringList { "-c" } << 0 << QString() << QString();
    QTest::newRow("iocboot -h")
        << QStringList { "-c", "iocboot", "-h" } << 0
        << QString("Start the IOC boot mode by choosing the normal flash memory or the NXP ISP "
                   "mode.")
        << QString();
    QTest::newRow("fpgaupdate --help") << QStringList { "--command", "fpgaupdate", "--help" } << 0
                                       << QString("block erase mode.") << QString();
    QTest::newRow("flash --help") << QStringList { "-c", "flash", "--help" } << 0
                                  << QString("-o, --operate <rdid|res|ce>") << QString();
    QTest::newRow("--version") << QStringList { "-c", "fpgaverify", "--version" } << 0
                               << QString("ZORVANE IOC Maintenance Tools v0.07.0021\n")
                               << QString();
    QTest::newRow("flash -x") << QStringList { "-c", "flash", "-x" } << 1 << QString()
                              << QString("ZORVANE IOC Maintenance Tools: Unknown option 'x'.\n");
    QTest::newRow("unknown command") << QStringList { "-c", "other" } << 1 << QString()
                                     << QString("hwmaint: unknown command \"other\"");
    QTest::newRow("no file") << QStringList { "-c", "fpgaverify" } << 2 << QString()
                             << QString("Connot open file for reading: no file given\n");
    QTest::newRow("missing file") << QStringList {
        "-c", "fpgaupdate", "nothere.mcs"
    } << 2 << QString() << QString("Connot open file for reading: No such file or directory\n");
}

void tst_fpgaTools::dispatcher()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QCOMPARE(hwmaint(arguments), exit);
    if (out.isEmpty())
        QCOMPARE(m_out, out);
    else
        QVERIFY2(m_out.contains(out), qPrintable(m_out));
    if (err.isEmpty())
        QCOMPARE(m_err, err);
    else
        QVERIFY2(m_err.startsWith(err), qPrintable(m_err));
    QCOMPARE(counters(), QString("0 0"));
}

// A command link, started by its bare name through the search path or by a path to it.
void tst_fpgaTools::commandLinks()
{
    QVERIFY(QFile::link(HWMAINT_EXE, m_work->path() + "/flash"));
    QVERIFY(QFile::link(HWMAINT_EXE, m_work->path() + "/iocboot"));
    QCOMPARE(hwmaint({ "-c", "exec -a flash \"$0\" -o rdid", HWMAINT_EXE }, "/bin/bash"), 0);
    QCOMPARE(m_out, QString("Identification: 0xc22015\n"));
    QCOMPARE(hwmaint({ "-o", "rdid" }, m_work->path() + "/flash"), 0);
    QCOMPARE(m_out, QString("Identification: 0xc22015\n"));
    QCOMPARE(hwmaint({ "--version" }, m_work->path() + "/iocboot"), 0);
    QCOMPARE(m_out, QString("ZORVANE IOC Maintenance Tools v0.07.0021\n"));
    QCOMPARE(
        hwmaint({ "-c", "exec -a hwmaint \"$0\" -c flash -o res", HWMAINT_EXE }, "/bin/bash"), 0);
    QCOMPARE(m_out, QString("Electric Identification: 0x14\n"));
}

QTEST_GUILESS_MAIN(tst_fpgaTools)
#include "tst_fpgaTools.moc"
