#include "ProgramStepsFixture.h"
#include "engine/EngineLock.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <limits>
#include <vector>

using ioc::ProgramStep;
using Mode = KeywordBridge_CcCrCvCpArb;

namespace {

struct StepDeleter
{
    void operator()(ProgramStep *step) const { delete step; }
};
using StepPtr = std::unique_ptr<ProgramStep, StepDeleter>;

// The words of a step that a copy must carry.
QVector<quint64> contents(const ProgramStep *step)
{
    return { step->time(),
        step->operate(),
        step->dc(),
        step->slewRate(),
        step->cvLimit(),
        step->cp(),
        step->uvp() };
}

QImage resourceImage(const char *name)
{
    return QPixmap(QStringLiteral(":/resources/image/") + QLatin1String(name)).toImage();
}

} // namespace

// The step table model over one program of the board's model, in the GUI thread, with the item
// model tester watching every change.
class tst_ProgramStepsModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void newModelShowsHeadersOnly();
    void insertCopiesTheStepInFront();
    void insertAndRemoveRefusals_data();
    void insertAndRemoveRefusals();
    void fullPoolRefusesWithMemoryErrorAndChangesNothing();
    void removeRenumbersTheRest();
    void levelIsRoundedAndClamped_data();
    void levelIsRoundedAndClamped();
    void slewRateOnlyInCc();
    void rampsFollowTheLevels();
    void triggerWaitCombinations_data();
    void triggerWaitCombinations();
    void decorations();
    void editRole();
    void protectionLevelsAndSignals();
    void stepsProtectionsInCc();
    void stepsProtectionsInCrFollowStepZero();
    void laststepSettings();
    void destroyedTreeEmptiesTheTable();
    void readerInAnotherThreadSeesWholePrograms();

private:
    ProgramStepsFixture f;
};

void tst_ProgramStepsModel::init()
{
    QVERIFY(f.setUp());
    f.open(Mode::CC);
}

void tst_ProgramStepsModel::cleanup()
{
    f.tearDown();
}

void tst_ProgramStepsModel::newModelShowsHeadersOnly()
{
    ProgramStepsModel model(f.m_info.get());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 8);
    QCOMPARE(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Load"));
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
        QString::fromUtf8("SR[A/μs]"));
    QCOMPARE(
        model.headerData(7, Qt::Horizontal, Qt::DisplayRole).toString(), QString::fromUtf8("→"));
    QCOMPARE(model.headerData(9, Qt::Vertical, Qt::DisplayRole).toInt(), 10);
    QCOMPARE(model.headerData(9, Qt::Horizontal, Qt::DisplayRole).toInt(), 10);
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!model.setHeaderData(0, Qt::Horizontal, "x", Qt::DisplayRole));
    QCOMPARE(model.setRow(0), 0);
    QCOMPARE(model.level(), 0.0);
    QVERIFY(!model.insertRows(-1, 1)); // no program
    QCOMPARE(model.save("/etc/instr/programs/cc/none"), false);
}

void tst_ProgramStepsModel::insertCopiesTheStepInFront()
{
    // An empty program takes a default step at row -1: load on, the slowest slew rate of the
    // range (0.01 A/us).
    QVERIFY(f.m_model->insertRows(-1, 1));
    QCOMPARE(f.m_model->rowCount(), 1);
    QCOMPARE(f.m_model->setRow(0), 1);
    QVERIFY(f.m_model->output());
    QCOMPARE(f.m_model->slewrate(), 0.01);
    QCOMPARE(f.step(0)->slewRate(), 10000u);

    f.open(Mode::CC);
    QVERIFY(f.addSteps(3, { 1.0, 2.0, 3.0 }));
    f.m_model->setRow(0);
    f.m_model->setDwell(0.25);
    const QVector<quint64> first = contents(f.step(0));

    QVERIFY(f.m_model->insertRows(0, 1));
    QCOMPARE(f.m_model->rowCount(), 4);
    QCOMPARE(f.m_tree->count(), 4);
    QCOMPARE(contents(f.step(0)), first);
    QCOMPARE(contents(f.step(1)), first);
    QCOMPARE(f.step(2)->dc(), 2000000u);
    QCOMPARE(f.step(3)->dc(), 3000000u);

    // The program object's resize: copies of the last step in front of it.
    QCOMPARE(f.m_model->insertSteps(3, 2), 0);
    QCOMPARE(f.m_model->rowCount(), 6);
    for (unsigned n = 3; n < 6; ++n)
        QCOMPARE(f.step(n)->dc(), 3000000u);
}

void tst_ProgramStepsModel::insertAndRemoveRefusals_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");

    QTest::newRow("insert at the row count") << 3 << true << 3 << 1;
    QTest::newRow("insert into an empty program at row 0") << 0 << true << 0 << 1;
    QTest::newRow("insert no row") << 3 << true << 0 << 0;
    QTest::newRow("insert past 10000 steps") << 3 << true << 0 << 9998;
    QTest::newRow("remove the only step") << 1 << false << 0 << 1;
    QTest::newRow("remove every step") << 3 << false << 0 << 3;
    QTest::newRow("remove past the end") << 3 << false << 2 << 2;
    QTest::newRow("remove a negative row") << 3 << false << -1 << 1;
    QTest::newRow("remove at the row count") << 3 << false << 3 << 1;
}

void tst_ProgramStepsModel::insertAndRemoveRefusals()
{
    QFETCH(int, steps);
    QFETCH(bool, insert);
    QFETCH(int, row);
    QFETCH(int, count);

    if (steps > 0)
        QVERIFY(f.addSteps(steps));
    const int freeSlots = ProgramStep::freeSlots();
    QSignalSpy inserted(f.m_model.get(), &QAbstractItemModel::rowsAboutToBeInserted);
    QSignalSpy removed(f.m_model.get(), &QAbstractItemModel::rowsAboutToBeRemoved);
    if (insert)
        QVERIFY(!f.m_model->insertRows(row, count));
    else
        QVERIFY(!f.m_model->removeRows(row, count));
    QCOMPARE(f.m_model->rowCount(), steps);
    QCOMPARE(f.m_tree->count(), steps);
    QCOMPARE(ProgramStep::freeSlots(), freeSlots);
    QCOMPARE(inserted.count() + removed.count(), 0);
}

void tst_ProgramStepsModel::fullPoolRefusesWithMemoryErrorAndChangesNothing()
{
    QVERIFY(f.addSteps(2, { 1.0, 2.0 }));
    std::vector<StepPtr> fillers;
    while (ProgramStep::freeSlots() > 1)
        fillers.emplace_back(new ProgramStep(0));

    QSignalSpy inserted(f.m_model.get(), &QAbstractItemModel::rowsAboutToBeInserted);
    QCOMPARE(f.m_model->insertSteps(0, 2), ProgramStepsModel::MemoryError);
    QVERIFY(!f.m_model->insertRows(1, 2));
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(f.m_model->rowCount(), 2);
    QCOMPARE(f.m_tree->getSetpsList(), (QList<unsigned> { 0, 1 }));
    QCOMPARE(f.step(1)->dc(), 2000000u);
    QCOMPARE(ProgramStep::freeSlots(), 1);

    // The one slot left is enough for one step.
    QCOMPARE(f.m_model->insertSteps(1, 1), 0);
    QCOMPARE(f.m_model->rowCount(), 3);
}

void tst_ProgramStepsModel::removeRenumbersTheRest()
{
    QVERIFY(f.addSteps(5, { 1.0, 2.0, 3.0, 4.0, 5.0 }));
    const int freeSlots = ProgramStep::freeSlots();
    QVERIFY(f.m_model->removeRows(1, 2));
    QCOMPARE(f.m_model->rowCount(), 3);
    QCOMPARE(f.m_tree->getSetpsList(), (QList<unsigned> { 0, 1, 2 }));
    QCOMPARE(ProgramStep::freeSlots(), freeSlots + 2);
    QVector<double> levels;
    for (unsigned row = 0; row < 3; ++row) {
        QCOMPARE(f.m_model->setRow(row), 1);
        levels << f.m_model->level();
    }
    QCOMPARE(levels, (QVector<double> { 1.0, 4.0, 5.0 }));
    // The removed rows take the cursor with them.
    QCOMPARE(f.m_model->setRow(3), 0);
    QCOMPARE(f.m_model->dwell(), 0.0);
}

void tst_ProgramStepsModel::levelIsRoundedAndClamped_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("level");
    QTest::addColumn<quint32>("dc");
    QTest::addColumn<quint32>("cp");
    QTest::addColumn<QString>("text");

    QTest::newRow("CC") << int(Mode::CC) << 1.5 << 1.5 << 1500000u << 0u << "1.5000";
    QTest::newRow("CC rounds to the count")
        << int(Mode::CC) << 1.2345676 << 1.234568 << 1234568u << 0u << "1.2346";
    QTest::newRow("CC above the range")
        << int(Mode::CC) << 99.0 << 30.0 << 30000000u << 0u << "30.0000";
    QTest::newRow("CC below the range") << int(Mode::CC) << -1.0 << 0.0 << 0u << 0u << "0.0000";
    QTest::newRow("CR") << int(Mode::CR) << 2.5 << 2.5 << 2500000u << 0u << "2.5000";
    QTest::newRow("CV above the range")
        << int(Mode::CV) << 151.0 << 150.0 << 150000000u << 0u << "150.000";
    QTest::newRow("CP in the CP word")
        << int(Mode::CP) << 75.0 << 75.0 << 0u << 75000000u << "75.000";
    QTest::newRow("ARB has no level") << int(Mode::ARB) << 5.0 << 0.0 << 0u << 0u << "0.0";
}

void tst_ProgramStepsModel::levelIsRoundedAndClamped()
{
    QFETCH(int, mode);
    QFETCH(double, value);
    QFETCH(double, level);
    QFETCH(quint32, dc);
    QFETCH(quint32, cp);
    QFETCH(QString, text);

    f.open(vek::SourceMode(mode));
    QVERIFY(f.addSteps(1));
    QCOMPARE(f.m_model->setRow(0), 1);
    QSignalSpy changed(f.m_model.get(), &QAbstractItemModel::dataChanged);
    f.m_model->setLevel(value);
    QCOMPARE(f.m_model->level(), level);
    QCOMPARE(f.step(0)->dc(), dc);
    QCOMPARE(f.step(0)->cp(), cp);
    QCOMPARE(f.m_model->levelToString(), text);
    QCOMPARE(f.m_model->data(f.m_model->index(0, 0)).toString(), text);
    QCOMPARE(f.m_model->data(f.m_model->index(0, 0), Qt::EditRole).toDouble(), level);
    if (mode != Mode::ARB) {
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), f.m_model->index(0, 0));
        QCOMPARE(changed[0][1].toModelIndex(), f.m_model->index(0, 0));
    }

    // Not a number changes nothing.
    f.m_model->setLevel(std::numeric_limits<double>::quiet_NaN());
    QCOMPARE(f.m_model->level(), level);
}

void tst_ProgramStepsModel::slewRateOnlyInCc()
{
    QVERIFY(f.addSteps(1));
    f.m_model->setRow(0);
    f.m_model->setSlewrate(0.5);
    QCOMPARE(f.m_model->slewrate(), 0.5);
    QCOMPARE(f.step(0)->slewRate(), 500000u);
    QCOMPARE(f.m_model->slewrateToString(), QString("0.50000"));
    f.m_model->setSlewrate(7.0); // above the range: its maximum
    QCOMPARE(f.m_model->slewrate(), 1.0);

    f.open(Mode::CR);
    QVERIFY(f.addSteps(1));
    f.m_model->setRow(0);
    const quint32 before = f.step(0)->slewRate();
    QSignalSpy changed(f.m_model.get(), &QAbstractItemModel::dataChanged);
    f.m_model->setSlewrate(0.5);
    QCOMPARE(f.step(0)->slewRate(), before);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(f.m_model->slewrate(), 0.0);
    QCOMPARE(f.m_model->slewrateToString(), QString("0.0"));
}

void tst_ProgramStepsModel::rampsFollowTheLevels()
{
    QVERIFY(f.addSteps(3, { 1.0, 3.0, 2.0 }));
    f.m_model->setRow(1);
    f.m_model->setDwell(0.001); // 1000 us
    f.m_model->setRamp(true);
    QVERIFY(f.m_model->ramp());
    // 1 A to 3 A in 1000 us: 2000 words per microsecond, rising.
    QCOMPARE(f.step(1)->rampStart(), 1000000u);
    QCOMPARE(f.step(1)->rampIncrement(), 2000u);

    // A new level before it moves the ramp's start; its own level moves the target.
    f.m_model->setRow(0);
    f.m_model->setLevel(3.5);
    QCOMPARE(f.step(1)->rampStart(), 3500000u);
    QCOMPARE(f.step(1)->rampIncrement(), 0x80000000u | 500u);
    f.m_model->setRow(1);
    f.m_model->setDwell(0.0005);
    QCOMPARE(f.step(1)->rampIncrement(), 0x80000000u | 1000u);

    // The load column shows the ramp.
    QCOMPARE(f.m_model->data(f.m_model->index(1, 3), Qt::DecorationRole).value<QPixmap>().toImage(),
        resourceImage("LoadRamp.png"));
    f.m_model->setRamp(false);
    QVERIFY(!f.step(1)->isRamp());
}

void tst_ProgramStepsModel::triggerWaitCombinations_data()
{
    QTest::addColumn<quint32>("before");
    QTest::addColumn<QString>("call");
    QTest::addColumn<quint32>("after");

    const quint32 msync = ProgramStep::WaitMSync;
    const quint32 digital2 = ProgramStep::WaitDigital2;
    const quint32 bus = ProgramStep::WaitBus;
    const quint32 trigIn = ProgramStep::WaitTriggerIn;
    const quint32 cutoff = ProgramStep::WaitCutoff;
    QTest::newRow("bus clears msync and digital2") << (msync | digital2) << "bus" << bus;
    QTest::newRow("msync clears bus") << bus << "msync" << msync;
    QTest::newRow("digital2 clears bus") << bus << "digital2" << digital2;
    QTest::newRow("msync with digital2") << digital2 << "msync" << (msync | digital2);
    QTest::newRow("after-step waits combine")
        << (bus | trigIn) << "cutoff" << (bus | trigIn | cutoff);
    QTest::newRow("msync off") << (msync | digital2) << "-msync" << digital2;
    QTest::newRow("bus off") << (bus | cutoff) << "-bus" << cutoff;
}

void tst_ProgramStepsModel::triggerWaitCombinations()
{
    QFETCH(quint32, before);
    QFETCH(QString, call);
    QFETCH(quint32, after);

    QVERIFY(f.addSteps(1));
    f.m_model->setRow(0);
    f.m_model->setTriggerWait(ProgramStep::TrigWait(before));
    const bool on = !call.startsWith('-');
    const QString name = on ? call : call.mid(1);
    if (name == "bus")
        f.m_model->setTriggerWaitBus(on);
    else if (name == "msync")
        f.m_model->setTriggerWaitMsync(on);
    else if (name == "digital2")
        f.m_model->setTriggerWaitDigital2(on);
    else if (name == "cutoff")
        f.m_model->setTriggerWaitCutoff(on);
    QCOMPARE(quint32(f.m_model->triggerWait()), after);
    QCOMPARE(f.m_model->triggerWaitBus(), bool(after & ProgramStep::WaitBus));
    QCOMPARE(f.m_model->triggerWaitMsync(), bool(after & ProgramStep::WaitMSync));
    QCOMPARE(f.m_model->triggerWaitDigital2(), bool(after & ProgramStep::WaitDigital2));
    QCOMPARE(f.m_model->triggerWaitTrigIn(), bool(after & ProgramStep::WaitTriggerIn));
    QCOMPARE(f.m_model->triggerWaitCutoff(), bool(after & ProgramStep::WaitCutoff));
    // Only the wait bits moved: load on and the pulse width stay.
    QCOMPARE(f.step(0)->operate() & ~ProgramStep::TrigWaitMask, 0x10010u);
}

void tst_ProgramStepsModel::decorations()
{
    QVERIFY(f.addSteps(1));
    const QModelIndex load = f.m_model->index(0, 3);
    const auto icon = [this](int column) {
        return f.m_model->data(f.m_model->index(0, column), Qt::DecorationRole).value<QPixmap>();
    };
    QCOMPARE(icon(3).toImage(), resourceImage("LoadStep.png"));
    QCOMPARE(icon(7).toImage(), resourceImage("Ext000.png"));
    QVERIFY(icon(6).isNull());
    QVERIFY(icon(4).isNull());

    f.m_model->setRow(0);
    f.m_model->setTriggerWait(ProgramStep::WaitMSync | ProgramStep::WaitDigital2
        | ProgramStep::WaitTriggerIn | ProgramStep::WaitCutoff);
    f.m_model->setTriggerGenerateTALink(true);
    f.m_model->setTriggerGenerateTrigOut(true);
    f.m_model->setTriggerGenerateDigital0(true);
    f.m_model->setTriggerGenerateDigital2(true);
    QVERIFY(f.m_model->triggerGenerateDigital0() && !f.m_model->triggerGenerateDigital1());
    QCOMPARE(icon(4).toImage(), resourceImage("TrigM2.png"));
    QCOMPARE(icon(5).toImage(), resourceImage("TrigIC.png"));
    QCOMPARE(icon(6).toImage(), resourceImage("TrigTO.png"));
    QCOMPARE(icon(7).toImage(), resourceImage("Ext101.png"));

    f.m_model->setTriggerGenerate(ProgramStep::GenerateDigital1);
    QCOMPARE(icon(6).toImage(), QImage());
    QCOMPARE(icon(7).toImage(), resourceImage("Ext010.png"));

    f.m_model->setOutput(false);
    QVERIFY(!f.m_model->data(load, Qt::DecorationRole).isValid());
    QVERIFY(!f.m_model->data(f.m_model->index(0, 3), Qt::DisplayRole).isValid());
    QVERIFY(!f.m_model->data(f.m_model->index(1, 0), Qt::DisplayRole).isValid());

    QCOMPARE(f.m_model->flags(f.m_model->index(0, 2)) & Qt::ItemIsEditable, Qt::ItemIsEditable);
    QCOMPARE(f.m_model->flags(f.m_model->index(0, 3)) & Qt::ItemIsEditable, Qt::NoItemFlags);
}

void tst_ProgramStepsModel::editRole()
{
    QVERIFY(f.addSteps(2));
    QVERIFY(f.m_model->setData(f.m_model->index(1, 0), 2.5, Qt::EditRole));
    QVERIFY(f.m_model->setData(f.m_model->index(1, 1), "0.25", Qt::EditRole));
    QVERIFY(f.m_model->setData(f.m_model->index(1, 2), 1.5, Qt::EditRole));
    QVERIFY(f.m_model->setData(f.m_model->index(1, 3), false, Qt::EditRole));
    QCOMPARE(f.step(1)->dc(), 2500000u);
    QCOMPARE(f.step(1)->slewRate(), 250000u);
    QCOMPARE(f.step(1)->time(), quint64(1500000));
    QVERIFY(!f.step(1)->isLoad());
    QCOMPARE(f.m_model->data(f.m_model->index(1, 2), Qt::DisplayRole).toDouble(), 1.5);

    // Not a number, another role or no such row: false, nothing changes.
    QVERIFY(!f.m_model->setData(f.m_model->index(1, 0), "abc", Qt::EditRole));
    QVERIFY(!f.m_model->setData(f.m_model->index(1, 0), 1.0, Qt::DisplayRole));
    QVERIFY(!f.m_model->setData(f.m_model->index(2, 0), 1.0, Qt::EditRole));
    QCOMPARE(f.step(1)->dc(), 2500000u);
    QVERIFY(f.m_model->setData(f.m_model->index(1, 5), 1.0, Qt::EditRole));

    // A view reading another row between setRow() and a setter does not redirect the setter.
    QCOMPARE(f.m_model->setRow(0), 1);
    QVERIFY(f.m_model->data(f.m_model->index(1, 0), Qt::DisplayRole).isValid());
    f.m_model->setLevel(4.0);
    QCOMPARE(f.step(0)->dc(), 4000000u);
    QCOMPARE(f.step(1)->dc(), 2500000u);
}

void tst_ProgramStepsModel::protectionLevelsAndSignals()
{
    QSignalSpy ocp(f.m_model.get(), &ProgramStepsModel::progCurrentProtectChanged);
    QSignalSpy uvp(f.m_model.get(), &ProgramStepsModel::progVoltageProtectChanged);
    QSignalSpy cv(f.m_model.get(), &ProgramStepsModel::progVoltageChanged);
    QSignalSpy trip(f.m_model.get(), &ProgramStepsModel::progCurrentProtectTripStateChanged);

    // A new program's OCP: the largest count, limited to the widest entry (33 A).
    f.m_model->setCurrentProtectionLevel(2147483647);
    QCOMPARE(f.m_model->realCurrentProtectionLevel(), 33.0);
    f.m_model->setRealCurrentProtectionLevel(20.0);
    f.m_model->setRealCurrentProtectionLevel(20.0);
    QCOMPARE(ocp.count(), 1);
    QCOMPARE(ocp[0][0].toDouble(), 20.0);
    QCOMPARE(f.m_model->realCurrentProtectionLevel(), 20.0);
    f.m_model->setRealCurrentProtectionLevel(std::numeric_limits<double>::infinity());
    QCOMPARE(f.m_model->realCurrentProtectionLevel(), 20.0);

    f.m_model->setCurrentProtectionTripState(true);
    f.m_model->setCurrentProtectionTripState(true);
    QCOMPARE(trip.count(), 1);
    QVERIFY(f.m_model->currentProtectionTripState());

    // The UVP level is also the CV-option level; UVP off announces the lowest double.
    f.m_model->setRealVoltageProtectionLevel(12.0);
    QCOMPARE(uvp.count(), 1);
    QCOMPARE(uvp[0][0].toDouble(), std::numeric_limits<double>::lowest());
    QCOMPARE(f.m_model->realVoltageLevel(), 12.0);
    f.m_model->setVoltageProtectionState(true);
    QCOMPARE(uvp.count(), 2);
    QCOMPARE(uvp[1][0].toDouble(), 12.0);
    f.m_model->setVoltageProtectionState(false);
    QCOMPARE(uvp.count(), 3);
    QCOMPARE(uvp[2][0].toDouble(), -1.7976931348623157e308);
    QVERIFY(!f.m_model->voltageProtectionState());
    f.m_model->setRealVoltageLevel(7.0);
    QCOMPARE(cv.count(), 1);
    QCOMPARE(f.m_model->realVoltageLevel(), 7.0);
    QCOMPARE(f.m_model->realVoltageProtectionLevel(), 12.0);

    // Loop count: announced first, 0 endless.
    QSignalSpy loop(f.m_model.get(), &ProgramStepsModel::loopCountChanged);
    f.m_model->setLoop(0);
    QCOMPARE(f.m_tree->head()->loop(), ProgramStepsModel::EndlessLoop);
    QCOMPARE(f.m_model->loop(), 0u);
    f.m_model->setLoop(5);
    QCOMPARE(f.m_model->loop(), 5u);
    QCOMPARE(loop.count(), 2);
}

void tst_ProgramStepsModel::stepsProtectionsInCc()
{
    QVERIFY(f.addSteps(2));
    f.m_model->setRow(0);
    f.m_model->setSlewrate(0.5);
    f.m_model->setRealCurrentProtectionLevel(20.0);
    f.m_model->setRealPowerProtectionLevel(100.0);
    f.m_model->setRealVoltageProtectionLevel(10.0);
    f.m_model->setVoltageProtectionState(true);
    f.m_model->setPowerProtectionTripState(true);

    f.m_model->setStepsProtections();
    // CC: the slew-rate words keep the slew rates; OPP and UVP (with the limit action) go in.
    QCOMPARE(f.step(0)->slewRate(), 500000u);
    QCOMPARE(f.step(1)->slewRate(), 10000u);
    for (unsigned n = 0; n < 2; ++n) {
        QCOMPARE(f.step(n)->cp(), 100000000u);
        QVERIFY(f.step(n)->opTripAction());
        QCOMPARE(f.step(n)->uvp(), 10000000u);
        QCOMPARE(f.step(n)->cvLimit(), 10000000u);
        QVERIFY(f.step(n)->addCV());
        QVERIFY(!f.step(n)->uvpState());
    }
    // The last-step node takes all three groups.
    const ProgramStep *last = f.m_tree->lastStep();
    QCOMPARE(last->ccLimit(), 20000000u);
    QCOMPARE(last->cp(), 100000000u);
    QCOMPARE(last->uvp(), 10000000u);
    QVERIFY(last->addCV());
}

void tst_ProgramStepsModel::stepsProtectionsInCrFollowStepZero()
{
    f.open(Mode::CR);
    QVERIFY(f.addSteps(2));
    f.m_model->setRealCurrentProtectionLevel(5.0);
    f.m_model->setCurrentProtectionTripState(true);
    f.m_model->setStepsProtections();
    QCOMPARE(f.step(1)->ccLimit(), 5000000u);
    QVERIFY(f.step(1)->ocTripAction());

    // Step 0 holds the program's OCP already: a step edited since keeps its own words.
    f.step(1)->setCcLimit(1);
    f.m_model->setStepsProtections();
    QCOMPARE(f.step(1)->ccLimit(), 1u);

    // ARB writes nothing at all.
    f.open(Mode::ARB);
    QVERIFY(f.addSteps(1));
    f.m_model->setRealPowerProtectionLevel(100.0);
    f.m_model->setStepsProtections();
    QCOMPARE(f.step(0)->cp(), 0u);
    QCOMPARE(f.m_tree->lastStep()->cp(), 0u);
}

void tst_ProgramStepsModel::laststepSettings()
{
    QSignalSpy level(f.m_model.get(), &ProgramStepsModel::laststepLevelChanged);
    QSignalSpy slew(f.m_model.get(), &ProgramStepsModel::laststepSlewrateChanged);
    QSignalSpy state(f.m_model.get(), &ProgramStepsModel::laststepStateChanged);

    f.m_model->setLaststepLevel(45.0); // above the 30 A range
    QCOMPARE(level.count(), 1);
    QCOMPARE(level[0][0].toDouble(), 45.0);
    QCOMPARE(f.m_model->laststepLevel(), 30.0);
    QCOMPARE(f.m_tree->lastStep()->dc(), 30000000u);
    f.m_model->setLaststepSlewrate(0.2);
    QCOMPARE(f.m_tree->lastStep()->slewRate(), 200000u);
    QCOMPARE(f.m_model->laststepSlewrate(), 0.2);
    f.m_model->setLaststepState(true);
    f.m_model->setLaststepState(true);
    QCOMPARE(state.count(), 2);

    f.open(Mode::CP);
    f.m_model->setLaststepLevel(50.0);
    QCOMPARE(f.m_tree->lastStep()->cp(), 50000000u);
    QCOMPARE(f.m_tree->lastStep()->dc(), 0u);
    f.m_model->setLaststepSlewrate(0.5);
    QCOMPARE(slew.count(), 1);
    QCOMPARE(f.m_model->laststepSlewrate(), 0.2);

    f.open(Mode::ARB);
    f.m_model->setLaststepLevel(1.0);
    QCOMPARE(level.count(), 2);
    QCOMPARE(f.m_model->laststepLevel(), 50.0);
}

void tst_ProgramStepsModel::destroyedTreeEmptiesTheTable()
{
    QVERIFY(f.addSteps(3));
    QCOMPARE(f.m_model->setRow(1), 1);
    QSignalSpy reset(f.m_model.get(), &QAbstractItemModel::modelReset);
    f.m_tree.reset();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(f.m_model->rowCount(), 0);
    QCOMPARE(f.m_model->programObject(), nullptr);
    QCOMPARE(f.m_model->level(), 0.0);
    QCOMPARE(f.m_model->convertAddress2Step(0x400000), 0u);

    // A sub-program call and the controller's node address of a step.
    f.open(Mode::CC);
    QVERIFY(f.addSteps(2));
    ioc::AvlTree sub;
    QCOMPARE(f.m_model->setRow(1), 1);
    QVERIFY(f.m_model->setSubProgram(&sub));
    QCOMPARE(f.m_model->setRow(1), 2);
    QCOMPARE(f.m_model->convertAddress2Step(f.step(1)->nodeAddress()), 2u);
    QCOMPARE(f.m_model->convertProgramStep2Step(f.step(0)->nodeAddress()), f.step(0));
    QVERIFY(f.m_model->setSubProgram(nullptr));
    QCOMPARE(f.m_model->setRow(1), 1);
}

void tst_ProgramStepsModel::readerInAnotherThreadSeesWholePrograms()
{
    // The program object's queries run in the parser thread under the engine mutex while the
    // panel inserts and removes rows: every row below the row count has its step.
    QVERIFY(f.addSteps(20));
    std::atomic<bool> stop { false };
    std::atomic<int> reads { 0 };
    std::atomic<int> missing { 0 };
    ProgramStepsModel *model = f.m_model.get();
    std::unique_ptr<QThread> reader(QThread::create([&] {
        while (!stop) {
            vek::EngineLocker lock(&vek::engineMutex());
            const int rows = model->rowCount();
            for (int row = 0; row < rows; ++row) {
                if (model->setRow(unsigned(row)) != 1 || model->dwell() <= 0.0)
                    ++missing;
            }
            ++reads;
        }
    }));
    reader->start();
    for (int i = 0; i < 200; ++i) {
        QVERIFY(f.m_model->insertRows(i % 20, 3));
        QVERIFY(f.m_model->removeRows((i * 7) % 20, 3));
    }
    QTRY_VERIFY_WITH_TIMEOUT(reads > 10, 10000);
    stop = true;
    reader->wait();
    QCOMPARE(missing.load(), 0);
    QCOMPARE(f.m_model->rowCount(), 20);
    QCOMPARE(f.m_tree->getSetpsList().size(), 20);
    QCOMPARE(f.m_tree->getSetpsList().last(), 19u);
}

QTEST_MAIN(tst_ProgramStepsModel)
#include "tst_ProgramStepsModel.moc"
