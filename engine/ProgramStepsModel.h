#pragma once

#include "engine/EngineTypes.h"
#include "engine/ioc/ProgramStep.h"

#include <QAbstractTableModel>
#include <QMap>
#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class BoundValue;
class ModelInformation;
class QDataStream;

namespace ioc {
class AvlTree;
}

// Tags of the two files of a stored program: each file is named <tag>.data in the program's
// directory and carries its tag as its header.
extern const QString progFile; // "program"
extern const QString lastStepFile; // "laststep"

// Reads one step record of the old program file format (version 1000, 76 bytes) into step: dwell
// time, operate word, DC level, slew-rate/CC-limit, CV-limit and CP words as stored, eleven words
// that are skipped, and the step's own loop count. A negative time or a loop count outside
// 0 .. 100000 leaves the step as it was and marks the stream ReadCorruptData.
QDataStream &operator>>(QDataStream &in, ioc::ProgramStep *step);

// The steps of the selected program as an eight-column table, one row per step, plus what belongs
// to the program as a whole (loop count, CV-option level, OCP/OPP/UVP levels and actions) and its
// last-step settings. Converts between real values in the mode's unit and the controller's step
// words through the setting maps of the model information, writes the program's protections into
// the steps before a run, and reads and writes the program files:
//
//   program.data, QDataStream version 16, big-endian; format 1001 written, 1000 read
//     offset      type           field
//     0           uint32+UTF-16  header "program" (byte count 14)
//     18          int16          format version
//     20          int16          mode: 0 CC, 1 CR, 2 CV, 3 CP
//     22          int32          loop count: 0 endless, 1 .. 100000
//     26          double         UVP action: 0.0 limit, 1.0 trip
//     34, 42, 50  double         OCP level A, OPP level W, UVP level V
//     58, 59, 60  bool           OCP trip, OPP trip, UVP on
//     61 + 28 i   step i         int64 dwell us, int32 operate word, double level, double A/us
//   format 1000: the head's loop word as held, then 76-byte steps of raw register words
//   laststep.data (91 bytes): header "laststep", int16 1001, int16 mode, int32 enabled,
//     4 x double 0, 3 x bool false, int64 0, int32 0x10000 for load on, double level, double A/us
//
// Levels are stored as real values and re-quantised against the present ranges on reading; a file
// is taken only in the mode it was written in.
//
// The model never owns a step tree; the programs model hands it the selected program's tree.
// Threads and locking: it lives in the GUI thread, where every operation that changes rows or
// steps is called. The program object's direct queries call setRow() and the step queries from
// the parser thread. Every operation takes the engine mutex (vek::engineMutex()), and steps change
// under the writer link's shadow-register mutex inside it; signals are emitted with neither held.
// The current step (cursor) is shared: a caller that moves it with setRow() and then uses it holds
// the engine mutex across both.
class ProgramStepsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using SCPIERR_T = vek::SCPIERR_T;

    enum Column {
        LevelColumn,
        SlewRateColumn,
        DwellColumn,
        LoadColumn,
        WaitBeforeColumn,
        WaitAfterColumn,
        GenerateColumn,
        DigitalColumn,
        ColumnCount
    };

    static constexpr int MaxSteps = 10000;
    static constexpr int MaxLoop = 100000;
    // The head node's loop count of an endless program.
    static constexpr quint32 EndlessLoop = 0x80000000;
    static constexpr qint16 FileVersion = 1001;
    static constexpr qint16 OldFileVersion = 1000;
    // SCPI errors of the model: pool exhausted, a damaged program file, a file not written.
    static constexpr SCPIERR_T MemoryError = -311;
    static constexpr SCPIERR_T CorruptData = -230;
    static constexpr SCPIERR_T SystemError = -310;

    // Receives the errors of the files (SCPI error number and detail); set once at start-up,
    // the default drops them.
    using ErrorSink = std::function<void(int code, const QString &detail)>;
    static void setErrorSink(ErrorSink sink);

    // info must outlive the model.
    explicit ProgramStepsModel(const ModelInformation *info, QObject *parent = nullptr);
    ~ProgramStepsModel() override;

    // --- Table model ---
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // Reads the row's step without moving the current step, so that a repaint between setRow()
    // and a step setter cannot redirect the setter. Decoration icons need a QGuiApplication and
    // its thread; elsewhere the decoration role is empty.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Edit role, columns 0 to 3; a value that is not a number changes nothing and gives false.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation, const QVariant &, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // insertSteps() and removeSteps() for a table (invalid) parent.
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    // Inserts count copies of the step at max(row, 0) in front of it; into an empty program
    // (row -1) default steps. 0; -222 when row is not below the row count or the program would
    // grow past MaxSteps; -311 when the step pool cannot hold them. A refusal changes nothing.
    SCPIERR_T insertSteps(int row, int count);
    // Removes rows row .. row + count - 1 and renumbers the rest; false (nothing changed) when the
    // range is not inside the program or would leave it without a step.
    bool removeSteps(int row, int count);

    // --- Cursor and step queries (on the current step; 0, false or empty without one) ---
    // 2 for a sub-program call step, 1 for another step, 0 (and no current step) past the end.
    int setRow(unsigned row);
    double level() const; // the mode's unit; 0.0 in ARB
    double slewrate() const; // A/us in CC, else 0.0
    double dwell() const; // s
    bool ramp() const;
    bool output() const;
    ioc::ProgramStep::TrigWait triggerWait() const;
    ioc::ProgramStep::TrigGenerate triggerGenerate() const;
    bool triggerWaitMsync() const { return triggerWait() & ioc::ProgramStep::WaitMSync; }
    bool triggerWaitDigital2() const { return triggerWait() & ioc::ProgramStep::WaitDigital2; }
    bool triggerWaitBus() const { return triggerWait() & ioc::ProgramStep::WaitBus; }
    bool triggerWaitTrigIn() const { return triggerWait() & ioc::ProgramStep::WaitTriggerIn; }
    bool triggerWaitCutoff() const { return triggerWait() & ioc::ProgramStep::WaitCutoff; }
    bool triggerGenerateTALink() const
    {
        return triggerGenerate() & ioc::ProgramStep::GenerateTALink;
    }
    bool triggerGenerateTrigOut() const
    {
        return triggerGenerate() & ioc::ProgramStep::GenerateTriggerOut;
    }
    bool triggerGenerateDigital0() const
    {
        return triggerGenerate() & ioc::ProgramStep::GenerateDigital0;
    }
    bool triggerGenerateDigital1() const
    {
        return triggerGenerate() & ioc::ProgramStep::GenerateDigital1;
    }
    bool triggerGenerateDigital2() const
    {
        return triggerGenerate() & ioc::ProgramStep::GenerateDigital2;
    }
    // The value in the range's SI prefix with its decimals, followed by the prefix.
    QString levelToString() const;
    QString slewrateToString() const;

    // --- Step setters (on the current step; each announces its cells) ---
    // Rounded to counts of the present range and clamped to it; ramps of this and the next step
    // follow. Nothing in ARB; a value that is not finite changes nothing.
    void setLevel(double value);
    // CC only; elsewhere nothing.
    void setSlewrate(double ampsPerUs);
    // 1 us resolution, at least 5 us; values not above 0 are ignored.
    void setDwell(double seconds);
    void setOutput(bool on);
    void setRamp(bool on);
    void setTriggerWait(ioc::ProgramStep::TrigWait flags);
    // MSYNC and DIGITAL2 combine with each other, never with BUS.
    void setTriggerWaitMsync(bool on) { setWaitBit(ioc::ProgramStep::WaitMSync, on); }
    void setTriggerWaitDigital2(bool on) { setWaitBit(ioc::ProgramStep::WaitDigital2, on); }
    void setTriggerWaitBus(bool on) { setWaitBit(ioc::ProgramStep::WaitBus, on); }
    void setTriggerWaitTrigIn(bool on) { setWaitBit(ioc::ProgramStep::WaitTriggerIn, on); }
    void setTriggerWaitCutoff(bool on) { setWaitBit(ioc::ProgramStep::WaitCutoff, on); }
    void setTriggerGenerate(ioc::ProgramStep::TrigGenerate flags);
    void setTriggerGenerateTALink(bool on) { setGenerateBit(ioc::ProgramStep::GenerateTALink, on); }
    void setTriggerGenerateTrigOut(bool on)
    {
        setGenerateBit(ioc::ProgramStep::GenerateTriggerOut, on);
    }
    void setTriggerGenerateDigital0(bool on)
    {
        setGenerateBit(ioc::ProgramStep::GenerateDigital0, on);
    }
    void setTriggerGenerateDigital1(bool on)
    {
        setGenerateBit(ioc::ProgramStep::GenerateDigital1, on);
    }
    void setTriggerGenerateDigital2(bool on)
    {
        setGenerateBit(ioc::ProgramStep::GenerateDigital2, on);
    }
    // With a tree the step calls that program; without one it is an ordinary step again.
    // False without a current step.
    bool setSubProgram(const ioc::AvlTree *tree);

    // --- Program settings ---
    // The head node's loop count, 0 for endless (1 without a program).
    unsigned loop() const;
    // Emits loopCountChanged(loop), then stores it (0 endless). Callers keep it <= MaxLoop.
    void setLoop(unsigned loop);
    // Levels in counts of their maps. Each protection level is kept twice: as a count clamped
    // to the widest entry of its map (read back, files) and as a step word clamped to the entry
    // of the present range (sent to the controller).
    void setCurrentProtectionLevel(int counts);
    void setPowerProtectionLevel(int counts);
    void setVoltageProtectionLevel(int counts);
    // The CV-option level, clamped to the present voltage range.
    void setVoltageLevel(int counts);
    // The same from real values; each emits its level signal with the value given when the
    // counts change. The UVP level also becomes the CV-option level. Non-finite values are
    // ignored.
    void setRealCurrentProtectionLevel(double amps);
    void setRealPowerProtectionLevel(double watts);
    void setRealVoltageProtectionLevel(double volts);
    void setRealVoltageLevel(double volts);
    double realCurrentProtectionLevel() const;
    double realPowerProtectionLevel() const;
    double realVoltageProtectionLevel() const;
    double realVoltageLevel() const;
    // Actions: true trip, false limit; stored and announced when they change.
    void setCurrentProtectionTripState(bool trip);
    void setPowerProtectionTripState(bool trip);
    void setVoltageProtectionTripState(bool trip);
    bool currentProtectionTripState() const;
    bool powerProtectionTripState() const;
    bool voltageProtectionTripState() const;
    // UVP on or off; announced with the UVP level, or the lowest double when off.
    void setVoltageProtectionState(bool on);
    bool voltageProtectionState() const;

    // --- Last step (the settings held after the program ends) ---
    void setLaststepState(bool on);
    void setLaststepOutput(bool on);
    // Into the tree's last-step node, rounded and clamped like a step level; nothing in ARB.
    void setLaststepLevel(double value);
    // CC only.
    void setLaststepSlewrate(double ampsPerUs);
    bool laststepState() const;
    bool laststepOutput() const;
    double laststepLevel() const;
    double laststepSlewrate() const;

    // --- Selection and run support ---
    // Takes the selected program's tree (null: none) with the present mode and ranges, which it
    // keeps until the next call. The row count becomes the tree's step count; there is no
    // current step. A tree destroyed while taken empties the table.
    void setProgramObject(ioc::AvlTree *tree);
    ioc::AvlTree *programObject() const;
    // The number + 1 of the step at a controller node address; 0 without a program or for a
    // free slot.
    unsigned convertAddress2Step(quint32 address) const;
    ioc::ProgramStep *convertProgramStep2Step(quint32 address) const;
    // A new step numbered 0 with the defaults of the present mode (load on; in CC the slew rate
    // at the range's minimum), owned by the caller; null when the step pool is full.
    ioc::ProgramStep *defaultProgramStep() const;
    // Writes the program's OPP, OCP and UVP into the steps before a run, for the groups the
    // mode uses and only where step 0 differs; always into the last-step node.
    void setStepsProtections();

    // --- Program files (path: the program's directory, a board path) ---
    // Writes program.data from the program settings and every step, atomically. False (and the
    // old file kept) when it cannot be written; the failure is also reported.
    bool save(const QString &path);
    bool saveLaststep(const QString &path);
    // Fills the present (empty) tree from program.data. False when there is no empty tree or
    // the file cannot be opened. A file of another tag or mode, or one that is damaged, gives
    // true with what could be taken, and is reported: a record cut short is dropped, at most
    // MaxSteps steps are read, a loop count outside 0 .. MaxLoop refuses the file; a full step
    // pool loads no step (-311).
    bool load(const QString &path);
    // Resets the last-step settings, then takes them from laststep.data. False when it cannot
    // be opened.
    bool loadLaststep(const QString &path);

Q_SIGNALS:
    void loopCountChanged(unsigned count);
    void progVoltageChanged(double level);
    void progCurrentProtectChanged(double level);
    void progCurrentProtectTripStateChanged(bool trip);
    void progPowerProtectChanged(double level);
    void progPowerProtectTripStateChanged(bool trip);
    void progVoltageProtectChanged(double level);
    void progVoltageProtectTripStateChanged(bool trip);
    void laststepStateChanged(bool stat);
    void laststepOutputChanged(bool on);
    void laststepLevelChanged(double level);
    void laststepSlewrateChanged(double level);

private:
    // What went wrong while reading a program file: an SCPI error number and its detail.
    struct LoadProblem
    {
        SCPIERR_T code = 0;
        QString text;
    };
    // The program settings of a program file, as stored.
    struct Settings1001
    {
        qint32 loop = 1; // 0 endless
        double uvpAction = 0.0; // 0.0 limit, else trip
        double ocp = 0.0; // A
        double opp = 0.0; // W
        double uvp = 0.0; // V
        bool ocpTrip = false;
        bool oppTrip = false;
        bool uvpOn = false;
    };
    // The protection groups setStepsProtections() writes.
    struct ProtectionGroups
    {
        bool opp = false;
        bool ocp = false;
        bool uvp = false;
    };
    static constexpr int CurrentRow = -1;
    // The icons of the decoration role. A pixmap, even an empty one, must not exist without a
    // QGuiApplication, so they are made on first use.
    struct Icons;

    // Bound values of the ranges taken with the tree.
    const BoundValue *levelBound() const; // null in ARB
    const BoundValue &slewRateBound() const;
    const BoundValue &ocpBound() const;
    const BoundValue &oppBound() const;
    const BoundValue &uvpBound() const;
    const BoundValue &voltageBound() const;

    // Helpers below run with the engine mutex held, and those that change steps with the
    // shadow-register mutex too.
    ioc::ProgramStep *stepAt(int row) const;
    quint32 levelWord(const ioc::ProgramStep *step) const;
    // The queries for any step (null: 0.0 or its text).
    double levelOf(const ioc::ProgramStep *step) const;
    double slewrateOf(const ioc::ProgramStep *step) const;
    QString levelTextOf(const ioc::ProgramStep *step) const;
    QString slewrateTextOf(const ioc::ProgramStep *step) const;
    void writeLevel(ioc::ProgramStep *step, double value);
    void writeSlewrate(ioc::ProgramStep *step, double ampsPerUs);
    // The step's ramp from the level of the step before it.
    void applyRamp(ioc::ProgramStep *step, bool on);
    void applyDefaults(ioc::ProgramStep *step) const;
    // Raw words of an old file within the present ranges.
    void clampRawWords(ioc::ProgramStep *step) const;
    // The groups the mode uses that step 0 does not hold already.
    ProtectionGroups protectionGroups(const ioc::ProgramStep *first) const;
    void writeProtections(ioc::ProgramStep *step, ProtectionGroups groups) const;
    // A real value in counts of bound (*counts) through a count setter; whether they differ
    // from the count stored before. A value that is not finite changes nothing.
    bool storeRealLevel(const BoundValue &bound,
        double value,
        qint32 ProgramStepsModel::*stored,
        void (ProgramStepsModel::*setter)(int),
        qint32 *counts = nullptr);
    // Locked store and read of a flag; whether it changed.
    bool storeFlag(bool ProgramStepsModel::*field, bool value);
    bool flag(bool ProgramStepsModel::*field) const;
    void storeProtection(const QMap<int, BoundValue> &map,
        int widestKey,
        int key,
        int counts,
        qint32 *count,
        quint32 *word);
    bool programFileData(QByteArray *data);
    QByteArray laststepFileData() const;
    LoadProblem loadProgram(const QByteArray &bytes);
    LoadProblem loadSteps1001(QDataStream &in, qint64 size);
    LoadProblem loadSteps1000(QDataStream &in, qint64 size);
    // Through the setters, which announce what changes; with no lock held.
    void applySettings(const Settings1001 &settings);

    // Takes both mutexes, makes the row's step (CurrentRow: the current step) current, changes
    // it and, after releasing them, announces the cells. Nothing without such a step.
    void changeStep(int row,
        int firstColumn,
        int lastColumn,
        const std::function<void(ioc::ProgramStep *)> &change);
    void setLevelAt(int row, double value);
    void setSlewrateAt(int row, double ampsPerUs);
    void setDwellAt(int row, double seconds);
    void setOutputAt(int row, bool on);
    // One wait or generate bit of the current step, announced in its column.
    void setWaitBit(ioc::ProgramStep::TrigWaitFlag flag, bool on);
    void setGenerateBit(ioc::ProgramStep::TrigGenerateFlag flag, bool on);
    // Allocates steps numbered first .. first + count - 1, all or none.
    static bool allocateSteps(int first, int count, QVector<ioc::ProgramStep *> *steps);
    // A failed write (a non-empty reason, or one from the atomic write) is reported.
    static bool writeFile(const QString &path,
        const QString &tag,
        const QByteArray &data,
        QString reason = QString());
    void onTreeDestroyed();
    // The icons, loaded on first use.
    const Icons &icons() const;

    const ModelInformation *const m_info;

    // Guarded by vek::engineMutex(), as every member below.
    QPointer<ioc::AvlTree> m_tree;
    QMetaObject::Connection m_treeConnection;
    int m_rowCount = 0;
    int m_mode = 0; // function mode when the tree was set: 0 CC, 1 CR, 2 CV, 3 CP, 4 ARB
    int m_currentRange = 0;
    int m_voltageRange = 0;
    int m_powerRange = 0;
    qint32 m_cvLevelCount = 0; // counts of the voltage map
    qint32 m_ocpCount = 2147483647; // counts of the OCP map, widest entry
    qint32 m_oppCount = 2147483647;
    qint32 m_uvpCount = 0;
    quint32 m_cvLevelValue = 0; // step words of the present range
    quint32 m_oppValue = 0;
    quint32 m_ocpValue = 0;
    quint32 m_uvpValue = 0;
    bool m_oppTrip = false;
    bool m_ocpTrip = false;
    bool m_uvpTrip = false;
    bool m_uvpState = false;
    bool m_laststepState = false;
    bool m_laststepOutput = false;
    double m_laststepLevel = 0.0; // the mode's unit, as last set
    double m_laststepSlewrate = 0.02; // A/us, as last set
    mutable ioc::ProgramStep *m_currentStep = nullptr;

    // Made on first use in the GUI thread.
    mutable std::unique_ptr<Icons> m_icons;
};
