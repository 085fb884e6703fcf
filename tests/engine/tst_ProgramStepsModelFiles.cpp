#include "ProgramStepsFixture.h"
#include "platform/AtomicFile.h"

#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <limits>
#include <vector>

using ioc::ProgramStep;
using Mode = KeywordBridge_CcCrCvCpArb;

namespace {

const QString dir = QStringLiteral("/etc/instr/programs/cc/Alpha");
const QString programPath = dir + "/program.data";
const QString laststepPath = dir + "/laststep.data";

// A file written field by field in the layout of the program files: big-endian integers and
// IEEE doubles, strings as a byte count and UTF-16 code units.
class Bytes
{
public:
    Bytes &text(const QString &s)
    {
        u32(quint32(s.size() * 2));
        for (QChar c : s)
            put<quint16>(c.unicode());
        return *this;
    }
    Bytes &i16(qint16 v) { return put(v); }
    Bytes &i32(qint32 v) { return put(v); }
    Bytes &u32(quint32 v) { return put(v); }
    Bytes &i64(qint64 v) { return put(v); }
    Bytes &f64(double v)
    {
        quint64 bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return put(bits);
    }
    Bytes &flag(bool v)
    {
        m_data.append(char(v ? 1 : 0));
        return *this;
    }
    // The program file's header of format 1001.
    Bytes &header(qint16 mode,
        qint32 loop,
        double uvpAction,
        double ocp,
        double opp,
        double uvp,
        bool ocpTrip,
        bool oppTrip,
        bool uvpOn)
    {
        return text("program")
            .i16(1001)
            .i16(mode)
            .i32(loop)
            .f64(uvpAction)
            .f64(ocp)
            .f64(opp)
            .f64(uvp)
            .flag(ocpTrip)
            .flag(oppTrip)
            .flag(uvpOn);
    }
    Bytes &step(qint64 us, quint32 operate, double level, double slew)
    {
        return i64(us).u32(operate).f64(level).f64(slew);
    }
    QByteArray data() const { return m_data; }

private:
    template <typename T> Bytes &put(T v)
    {
        char raw[sizeof(T)];
        qToBigEndian(v, raw);
        m_data.append(raw, sizeof(T));
        return *this;
    }
    QByteArray m_data;
};

// The CC program of two steps that the golden tests read and write.
QByteArray goldenProgram()
{
    return Bytes()
        .header(0, 7, 1.0, 20.0, 100.0, 10.0, true, false, true)
        .step(250000, 0x10010, 1.5, 0.5)
        .step(1000, 0x20034010, 3.0, 0.25) // load, ramp, trigger out, BUS wait
        .data();
}

// A last-step file; the fields that are ignored on reading hold something else than written.
QByteArray laststepBytes(qint16 mode, qint32 enabled, quint32 operate, double level, double slew)
{
    return Bytes()
        .text("laststep")
        .i16(1001)
        .i16(mode)
        .i32(enabled)
        .f64(9)
        .f64(9)
        .f64(9)
        .f64(9)
        .flag(true)
        .flag(true)
        .flag(true)
        .i64(-1)
        .u32(operate)
        .f64(level)
        .f64(slew)
        .data();
}

} // namespace

// The program files of one program directory on a private board root, read and written by the
// step table model of the board's model; files are authored here from their layout.
class tst_ProgramStepsModelFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void goldenFileReadsFieldByField();
    void saveWritesTheLayout();
    void sizeFollowsTheStepCount_data();
    void sizeFollowsTheStepCount();
    void loopCountRoundTrips_data();
    void loopCountRoundTrips();
    void operateWordsRoundTripBitForBit();
    void levelsAreRequantisedOnReading();
    void fileOfAnotherModeGivesNoSteps();
    void damagedFiles_data();
    void damagedFiles();
    void oversizedFileStopsAtTheStepLimit();
    void fullPoolLoadsNothing();
    void oldFormatIsClampedToTheRanges();
    void failedWriteKeepsTheOldFile();
    void laststepFile();
    void laststepFileOutsideCc();

private:
    bool writeFile(const QString &path, const QByteArray &data)
    {
        return f.m_root->write(path, data);
    }
    QByteArray readFile(const QString &path) const { return f.m_root->read(path); }
    // Opens an empty program in mode and loads the program file from dir.
    bool reopen(vek::SourceMode mode)
    {
        f.open(mode);
        return f.m_model->load(dir);
    }

    ProgramStepsFixture f;
};

void tst_ProgramStepsModelFiles::init()
{
    QVERIFY(f.setUp());
    QVERIFY(QDir().mkpath(f.m_root->path(dir)));
    f.open(Mode::CC);
}

void tst_ProgramStepsModelFiles::cleanup()
{
    platform::AtomicFile::setRenameFunction({});
    f.tearDown();
}

void tst_ProgramStepsModelFiles::goldenFileReadsFieldByField()
{
    QVERIFY(writeFile(programPath, goldenProgram()));
    QSignalSpy loop(f.m_model.get(), &ProgramStepsModel::loopCountChanged);
    QSignalSpy reset(f.m_model.get(), &QAbstractItemModel::modelReset);
    QVERIFY(f.m_model->load(dir));
    QCOMPARE(f.m_errors.size(), 0);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(loop.count(), 1);

    QCOMPARE(f.m_model->rowCount(), 2);
    QCOMPARE(f.m_model->loop(), 7u);
    QCOMPARE(f.m_model->realCurrentProtectionLevel(), 20.0);
    QCOMPARE(f.m_model->realPowerProtectionLevel(), 100.0);
    QCOMPARE(f.m_model->realVoltageProtectionLevel(), 10.0);
    QCOMPARE(f.m_model->realVoltageLevel(), 10.0); // the CV-option level follows the UVP level
    QVERIFY(f.m_model->currentProtectionTripState());
    QVERIFY(!f.m_model->powerProtectionTripState());
    QVERIFY(f.m_model->voltageProtectionTripState());
    QVERIFY(f.m_model->voltageProtectionState());

    const ProgramStep *first = f.step(0);
    QCOMPARE(first->time(), quint64(250000));
    QCOMPARE(first->operate(), 0x10010u);
    QCOMPARE(first->dc(), 1500000u);
    QCOMPARE(first->slewRate(), 500000u);
    const ProgramStep *second = f.step(1);
    QCOMPARE(second->time(), quint64(1000));
    QCOMPARE(second->operate(), 0x20034010u);
    QCOMPARE(second->dc(), 3000000u);
    QCOMPARE(second->slewRate(), 250000u);
    // Ramps are computed again: 1.5 A up to 3 A over 1000 us.
    QCOMPARE(second->rampStart(), 1500000u);
    QCOMPARE(second->rampIncrement(), 1500u);
    // Row 0 is current after loading.
    QCOMPARE(f.m_model->dwell(), 0.25);
}

void tst_ProgramStepsModelFiles::saveWritesTheLayout()
{
    QVERIFY(f.addSteps(2, { 1.5, 3.0 }));
    f.m_model->setLoop(7);
    f.m_model->setRealCurrentProtectionLevel(20.0);
    f.m_model->setRealPowerProtectionLevel(100.0);
    f.m_model->setRealVoltageProtectionLevel(10.0);
    f.m_model->setCurrentProtectionTripState(true);
    f.m_model->setVoltageProtectionTripState(true);
    f.m_model->setVoltageProtectionState(true);
    f.m_model->setRow(0);
    f.m_model->setDwell(0.25);
    f.m_model->setSlewrate(0.5);
    f.m_model->setRow(1);
    f.m_model->setDwell(0.001);
    f.m_model->setSlewrate(0.25);
    f.m_model->setTriggerGenerateTrigOut(true);
    f.m_model->setTriggerWaitBus(true);
    f.m_model->setRamp(true);

    QVERIFY(f.m_model->save(dir));
    QCOMPARE(readFile(programPath), goldenProgram());

    f.m_model->setLaststepState(true);
    f.m_model->setLaststepOutput(true);
    f.m_model->setLaststepLevel(2.5);
    f.m_model->setLaststepSlewrate(0.125);
    QVERIFY(f.m_model->saveLaststep(dir));
    const QByteArray laststep = Bytes()
                                    .text("laststep")
                                    .i16(1001)
                                    .i16(0)
                                    .i32(1)
                                    .f64(0)
                                    .f64(0)
                                    .f64(0)
                                    .f64(0)
                                    .flag(false)
                                    .flag(false)
                                    .flag(false)
                                    .i64(0)
                                    .i32(0x10000)
                                    .f64(2.5)
                                    .f64(0.125)
                                    .data();
    QCOMPARE(laststep.size(), 91);
    QCOMPARE(readFile(laststepPath), laststep);
    QCOMPARE(f.m_errors.size(), 0);
}

void tst_ProgramStepsModelFiles::sizeFollowsTheStepCount_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("steps");

    QTest::newRow("CC, one step") << int(Mode::CC) << 1;
    QTest::newRow("CC, 40 steps") << int(Mode::CC) << 40;
    QTest::newRow("CR, 3 steps") << int(Mode::CR) << 3;
    QTest::newRow("CP, 2 steps") << int(Mode::CP) << 2;
}

void tst_ProgramStepsModelFiles::sizeFollowsTheStepCount()
{
    QFETCH(int, mode);
    QFETCH(int, steps);

    f.open(vek::SourceMode(mode));
    QVERIFY(f.addSteps(steps, { 1.0 }));
    f.m_model->setRow(0);
    f.m_model->setSlewrate(0.5);
    QVERIFY(f.m_model->save(dir));
    QVERIFY(f.m_model->saveLaststep(dir));
    const QByteArray program = readFile(programPath);
    QCOMPARE(program.size(), 61 + 28 * steps);
    QCOMPARE(readFile(laststepPath).size(), 91);
    QCOMPARE(qFromBigEndian<qint16>(program.constData() + 20), qint16(mode));

    // The slew rate of a step (bytes 20 .. 27 of its record) is 0.0 in every mode but CC.
    double slew = 0.0;
    const quint64 bits = qFromBigEndian<quint64>(program.constData() + 61 + 20);
    std::memcpy(&slew, &bits, sizeof slew);
    QCOMPARE(slew, mode == Mode::CC ? 0.5 : 0.0);
}

void tst_ProgramStepsModelFiles::loopCountRoundTrips_data()
{
    QTest::addColumn<unsigned>("loop");
    QTest::addColumn<qint32>("stored");

    QTest::newRow("endless") << 0u << 0;
    QTest::newRow("once") << 1u << 1;
    QTest::newRow("five") << 5u << 5;
    QTest::newRow("most") << 100000u << 100000;
}

void tst_ProgramStepsModelFiles::loopCountRoundTrips()
{
    QFETCH(unsigned, loop);
    QFETCH(qint32, stored);

    QVERIFY(f.addSteps(1));
    f.m_model->setLoop(loop);
    QVERIFY(f.m_model->save(dir));
    QCOMPARE(qFromBigEndian<qint32>(readFile(programPath).constData() + 22), stored);
    QVERIFY(reopen(Mode::CC));
    QCOMPARE(f.m_model->loop(), loop);
    QCOMPARE(f.m_tree->head()->loop(), loop == 0 ? ProgramStepsModel::EndlessLoop : loop);
}

void tst_ProgramStepsModelFiles::operateWordsRoundTripBitForBit()
{
    const QVector<quint32> words {
        0x10, 0x0, 0xFFFFFFFF, 0x80000000, 0x5A5AA5A5, 0x1F004000, 0xE0008800, 0x00F3FFFF
    };
    QVERIFY(f.addSteps(words.size()));
    for (int i = 0; i < words.size(); ++i)
        f.step(unsigned(i))->setOperate(words[i]);
    QVERIFY(f.m_model->save(dir));
    QVERIFY(reopen(Mode::CC));
    QCOMPARE(f.m_model->rowCount(), words.size());
    for (int i = 0; i < words.size(); ++i)
        QCOMPARE(f.step(unsigned(i))->operate(), words[i]);
}

void tst_ProgramStepsModelFiles::levelsAreRequantisedOnReading()
{
    // Above the high range (30 A, 1 A/us), below 0, and between two counts.
    QVERIFY(writeFile(programPath,
        Bytes()
            .header(0, 1, 0.0, 99.0, 1000.0, 500.0, false, false, false)
            .step(50, 0x10010, 99.0, 7.0)
            .step(50, 0x10010, -3.0, 0.0)
            .step(50, 0x10010, 1.23456789, 0.123456789)
            .data()));
    QVERIFY(f.m_model->load(dir));
    QCOMPARE(f.m_model->rowCount(), 3);
    QCOMPARE(f.step(0)->dc(), 30000000u);
    QCOMPARE(f.step(0)->slewRate(), 1000000u);
    QCOMPARE(f.step(1)->dc(), 0u);
    QCOMPARE(f.step(1)->slewRate(), 10000u); // the slowest slew rate of the range
    QCOMPARE(f.step(2)->dc(), 1234568u);
    QCOMPARE(f.step(2)->slewRate(), 123457u);
    QCOMPARE(f.m_model->realCurrentProtectionLevel(), 33.0);
    QCOMPARE(f.m_model->realPowerProtectionLevel(), 165.0);
    QCOMPARE(f.m_model->realVoltageProtectionLevel(), 150.0);
    QCOMPARE(f.m_errors.size(), 0);

    // In the low current range the same file reads against 0.3 A.
    vek::Source::m_currRange = KeywordBridge_LowMedHigh::LOW;
    QVERIFY(reopen(Mode::CC));
    QCOMPARE(f.step(0)->dc(), 300000u);
    QCOMPARE(f.step(2)->dc(), 300000u);
}

void tst_ProgramStepsModelFiles::fileOfAnotherModeGivesNoSteps()
{
    QVERIFY(writeFile(programPath, goldenProgram()));
    QVERIFY(reopen(Mode::CR));
    QCOMPARE(f.m_model->rowCount(), 0);
    QCOMPARE(f.m_tree->count(), 0);
    QCOMPARE(f.m_model->loop(), 1u);
    QCOMPARE(f.m_errors.size(), 1);
    QCOMPARE(f.m_errors[0].first, -230);
    QVERIFY(f.m_errors[0].second.contains("another function mode"));

    // A missing file is no error of the file: false, and nothing is reported.
    f.m_errors.clear();
    QVERIFY(QFile::remove(f.m_root->path(programPath)));
    QVERIFY(!reopen(Mode::CC));
    QCOMPARE(f.m_model->rowCount(), 0);
    QCOMPARE(f.m_errors.size(), 0);
}

void tst_ProgramStepsModelFiles::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("steps");
    QTest::addColumn<unsigned>("loop");

    const QByteArray golden = goldenProgram();
    QTest::newRow("cut inside the second step") << golden.left(61 + 28 + 10) << 1 << 7u;
    QTest::newRow("cut after the first step's time") << golden.left(61 + 8) << 0 << 7u;
    QTest::newRow("cut inside the header") << golden.left(40) << 0 << 1u;
    QTest::newRow("empty") << QByteArray() << 0 << 1u;
    QTest::newRow("loop count above 100000")
        << Bytes().header(0, 100001, 0, 1, 1, 1, 0, 0, 0).step(50, 0x10, 1, 1).data() << 0 << 1u;
    QTest::newRow("negative loop count")
        << Bytes().header(0, -1, 0, 1, 1, 1, 0, 0, 0).step(50, 0x10, 1, 1).data() << 0 << 1u;
    QTest::newRow("protection level not a number")
        << Bytes().header(0, 3, 0, std::numeric_limits<double>::quiet_NaN(), 1, 1, 0, 0, 0).data()
        << 0 << 1u;
    QTest::newRow("second step level not a number")
        << Bytes()
               .header(0, 3, 0, 1, 1, 1, 0, 0, 0)
               .step(50, 0x10, 1, 1)
               .step(50, 0x10, std::numeric_limits<double>::infinity(), 1)
               .step(50, 0x10, 1, 1)
               .data()
        << 1 << 3u;
    QTest::newRow("negative dwell time")
        << Bytes().header(0, 3, 0, 1, 1, 1, 0, 0, 0).step(-5, 0x10, 1, 1).data() << 0 << 3u;
    QTest::newRow("unknown version")
        << Bytes().text("program").i16(1002).i16(0).i32(3).data() << 0 << 1u;
    QTest::newRow("another tag") << Bytes().text("laststep").i16(1001).i16(0).i32(3).data() << 0
                                 << 1u;
    QTest::newRow("odd header length") << QByteArray("\0\0\0\x0Dprogram", 11) << 0 << 1u;
}

void tst_ProgramStepsModelFiles::damagedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(int, steps);
    QFETCH(unsigned, loop);

    QVERIFY(writeFile(programPath, file));
    const double ocp = f.m_model->realCurrentProtectionLevel();
    QVERIFY(f.m_model->load(dir));
    QCOMPARE(f.m_model->rowCount(), steps);
    QCOMPARE(f.m_tree->count(), steps);
    QCOMPARE(f.m_model->loop(), loop);
    if (loop == 1u)
        QCOMPARE(f.m_model->realCurrentProtectionLevel(), ocp); // the header was not taken
    // The steps that were taken are whole: never a step of zeros from a cut record.
    for (unsigned n = 0; n < unsigned(steps); ++n)
        QVERIFY(f.step(n)->time() >= 50);
    QCOMPARE(f.m_errors.size(), 1);
    QCOMPARE(f.m_errors[0].first, -230);
    QVERIFY2(f.m_errors[0].second.startsWith(programPath), qPrintable(f.m_errors[0].second));
}

void tst_ProgramStepsModelFiles::oversizedFileStopsAtTheStepLimit()
{
    Bytes file;
    file.header(0, 1, 0, 1, 1, 1, false, false, false);
    for (int i = 0; i < 50000; ++i)
        file.step(50 + i, 0x10010, 1.0, 0.5);
    QVERIFY(writeFile(programPath, file.data()));
    const int freeSlots = ProgramStep::freeSlots();
    QVERIFY(f.m_model->load(dir));
    QCOMPARE(f.m_model->rowCount(), 10000);
    QCOMPARE(ProgramStep::freeSlots(), freeSlots - 10000);
    QCOMPARE(f.step(9999)->time(), quint64(50 + 9999));
    QCOMPARE(f.m_errors.size(), 1);
    QCOMPARE(f.m_errors[0].first, -230);
    QVERIFY(f.m_errors[0].second.contains("more than 10000 steps"));
    // A full program takes no further step.
    QCOMPARE(f.m_model->insertSteps(0, 1), -222);
}

void tst_ProgramStepsModelFiles::fullPoolLoadsNothing()
{
    QVERIFY(writeFile(programPath, goldenProgram()));
    struct StepDeleter
    {
        void operator()(ProgramStep *step) const { delete step; }
    };
    std::vector<std::unique_ptr<ProgramStep, StepDeleter>> fillers;
    while (ProgramStep::freeSlots() > 1)
        fillers.emplace_back(new ProgramStep(0));

    QVERIFY(f.m_model->load(dir));
    QCOMPARE(f.m_model->rowCount(), 0);
    QCOMPARE(f.m_tree->count(), 0);
    QCOMPARE(f.m_model->loop(), 1u); // the header was not taken either
    QCOMPARE(ProgramStep::freeSlots(), 1);
    QCOMPARE(f.m_errors.size(), 1);
    QCOMPARE(f.m_errors[0].first, -311);
}

void tst_ProgramStepsModelFiles::oldFormatIsClampedToTheRanges()
{
    // Format 1000: the head's loop word as stored (endless), then 76-byte records of raw words.
    Bytes file;
    file.text("program").i16(1000).i16(0).u32(0x80000000);
    const auto record = [&file](qint64 us,
                            quint32 operate,
                            quint32 dc,
                            quint32 slew,
                            quint32 cvLimit,
                            quint32 cp,
                            qint32 loop) {
        file.i64(us).u32(operate).u32(dc).u32(slew).u32(cvLimit).u32(cp);
        for (int i = 0; i < 11; ++i)
            file.u32(0xDEADBEEF);
        file.i32(loop);
    };
    record(2000, 0x10010, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0xFFFFFFFF, 3);
    record(1000, 0x30010, 1000000, 500000, 5000000, 7000000, 0); // a ramp from 30 A to 1 A
    record(-1, 0x10010, 1, 1, 1, 1, 1); // damaged: dropped
    QVERIFY(writeFile(programPath, file.data()));

    QVERIFY(f.m_model->load(dir));
    QCOMPARE(f.m_model->rowCount(), 2);
    QCOMPARE(f.m_model->loop(), 0u);
    const ProgramStep *first = f.step(0);
    QCOMPARE(first->time(), quint64(2000));
    QCOMPARE(first->dc(), 30000000u);
    QCOMPARE(first->slewRate(), 10000u);
    QCOMPARE(first->cvLimit(), 150000000u);
    QCOMPARE(first->cp(), 165000000u); // OPP's widest limit in CC
    QCOMPARE(first->loop(), 3u);
    const ProgramStep *second = f.step(1);
    QCOMPARE(second->dc(), 1000000u);
    QCOMPARE(second->slewRate(), 500000u);
    QCOMPARE(second->loop(), 1u);
    QCOMPARE(second->rampStart(), 30000000u);
    QCOMPARE(second->rampIncrement(), 0x80000000u | 29000u);
    QCOMPARE(f.m_errors.size(), 1);
    QVERIFY(f.m_errors[0].second.contains("step 3 is damaged"));
}

void tst_ProgramStepsModelFiles::failedWriteKeepsTheOldFile()
{
    QVERIFY(writeFile(programPath, goldenProgram()));
    QVERIFY(f.addSteps(3));
    platform::AtomicFile::setRenameFunction([](const QString &, const QString &) {
        return false;
    });
    QVERIFY(!f.m_model->save(dir));
    QVERIFY(!f.m_model->saveLaststep(dir));
    QCOMPARE(readFile(programPath), goldenProgram());
    QCOMPARE(readFile(laststepPath), QByteArray("<missing>"));
    QCOMPARE(f.m_errors.size(), 2);
    QCOMPARE(f.m_errors[0].first, -310);
    QVERIFY(f.m_errors[0].second.startsWith("Cannot write " + programPath));
    // No temporary file is left behind.
    QCOMPARE(QDir(f.m_root->path(dir)).entryList(QDir::Files), QStringList { "program.data" });

    // A directory that does not exist.
    platform::AtomicFile::setRenameFunction({});
    QVERIFY(!f.m_model->save("/etc/instr/programs/cc/Missing"));
    QCOMPARE(f.m_errors.size(), 3);
}

void tst_ProgramStepsModelFiles::laststepFile()
{
    QSignalSpy output(f.m_model.get(), &ProgramStepsModel::laststepOutputChanged);
    QSignalSpy level(f.m_model.get(), &ProgramStepsModel::laststepLevelChanged);
    const auto file = laststepBytes;
    QVERIFY(writeFile(laststepPath, file(0, 7, 0x10000, 45.0, 0.3)));
    QVERIFY(f.m_model->loadLaststep(dir));
    QVERIFY(f.m_model->laststepState());
    QVERIFY(f.m_model->laststepOutput());
    QCOMPARE(output.count(), 1);
    QCOMPARE(level.count(), 1);
    QCOMPARE(f.m_model->laststepLevel(), 30.0); // re-quantised to the 30 A range
    QCOMPARE(f.m_tree->lastStep()->dc(), 30000000u);
    QCOMPARE(f.m_model->laststepSlewrate(), 0.3);
    QCOMPARE(f.m_tree->lastStep()->slewRate(), 300000u);

    // Damaged, of another mode or missing: the reset values stand.
    const QVector<QByteArray> bad { file(0, 1, 0x10000, 1.0, 0.5).left(90),
        file(1, 1, 0x10000, 1.0, 0.5),
        file(0, 1, 0x10000, std::numeric_limits<double>::quiet_NaN(), 0.5) };
    for (const QByteArray &content : bad) {
        QVERIFY(writeFile(laststepPath, content));
        QVERIFY(f.m_model->loadLaststep(dir));
        QVERIFY(!f.m_model->laststepState());
        QVERIFY(!f.m_model->laststepOutput());
        QCOMPARE(f.m_model->laststepLevel(), 0.0);
        QCOMPARE(f.m_model->laststepSlewrate(), 0.02);
    }
    QCOMPARE(f.m_errors.size(), bad.size());
    QVERIFY(QFile::remove(f.m_root->path(laststepPath)));
    QVERIFY(!f.m_model->loadLaststep(dir));
    QCOMPARE(f.m_errors.size(), bad.size());
}

void tst_ProgramStepsModelFiles::laststepFileOutsideCc()
{
    // In CR the slew rate stays as read, in ARB the level too; only CR's level is re-quantised.
    f.open(Mode::CR);
    QVERIFY(writeFile(laststepPath, laststepBytes(1, 1, 0, 25.0, 0.7)));
    QVERIFY(f.m_model->loadLaststep(dir));
    QVERIFY(f.m_model->laststepState());
    QCOMPARE(f.m_model->laststepLevel(), 20.0);
    QCOMPARE(f.m_tree->lastStep()->dc(), 20000000u);
    QCOMPARE(f.m_model->laststepSlewrate(), 0.7);
    QCOMPARE(f.m_tree->lastStep()->slewRate(), 0xFFFFFFFFu);

    f.open(Mode::ARB);
    QVERIFY(writeFile(laststepPath, laststepBytes(4, 0, 0x10000, 25.0, 0.7)));
    QVERIFY(f.m_model->loadLaststep(dir));
    QCOMPARE(f.m_model->laststepLevel(), 25.0);
    QCOMPARE(f.m_tree->lastStep()->dc(), 0u);
    QVERIFY(f.m_model->laststepOutput());
}

QTEST_MAIN(tst_ProgramStepsModelFiles)
#include "tst_ProgramStepsModelFiles.moc"
