#include "engine/ProgramStepsModel.h"

#include "engine/EngineLock.h"
#include "engine/Source.h"
#include "engine/ioc/AvlTree.h"
#include "engine/ioc/IoControl.h"
#include "instrument/ModelInformation.h"
#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"
#include "resources/PanelResources.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QPixmap>
#include <QThread>

#include <cmath>
#include <limits>

const QString progFile = QStringLiteral("program");
const QString lastStepFile = QStringLiteral("laststep");

namespace {

using ioc::ProgramStep;
using vek::EngineLocker;
using vek::engineMutex;
using Mode = KeywordBridge_CcCrCvCpArb;

// Keys of the widest entries of the protection maps (high current, high voltage, both high).
constexpr int WidestCurrentKey = 2;
constexpr int WidestPowerKey = 5;
constexpr int WidestVoltageKey = 1;

constexpr quint32 LoadBit = 0x10000;
constexpr quint32 OcTripBit = 0x100000;
constexpr quint32 OpTripBit = 0x200000;
constexpr quint32 UvpBit = 0x400000;
constexpr quint32 AddCvBit = 0x800000;
constexpr quint32 WaitBeforeMask = 0xE0000000; // MSYNC, DIGITAL2, BUS
constexpr quint32 WaitAfterMask = 0x8800; // TRIGIN, CUTOFF
constexpr quint32 GenerateMask = 0x10004000; // TALINK, TRIGOUT
constexpr quint32 DigitalMask = 0x7000000; // DIGITAL0 .. DIGITAL2

// One step of a program file of the present format, as stored.
struct Record1001
{
    qint64 time = 0; // us
    qint32 operate = 0;
    double level = 0.0; // the mode's unit
    double slew = 0.0; // A/us
};

// File layout sizes in bytes.
constexpr int Record1001Bytes = 28;
constexpr int Record1000Bytes = 76;
constexpr int Discarded1000Words = 11;
constexpr int LaststepSkippedBytes = 4 * 8 + 3 + 8; // four doubles, three bools, one int64
// More than the largest valid file of either version, so that a surplus still shows.
constexpr qint64 ReadLimit = 1 << 20;

ProgramStepsModel::ErrorSink s_errorSink; // set once at start-up, before threads

void report(int code, const QString &detail)
{
    if (s_errorSink)
        s_errorSink(code, detail);
}

QString filePath(const QString &directory, const QString &tag)
{
    return directory + QLatin1Char('/') + tag + QStringLiteral(".data");
}

// Up to ReadLimit bytes of a board file; false when it cannot be opened.
bool readFile(const QString &boardPath, QByteArray *bytes)
{
    QFile file(platform::BoardPath::map(boardPath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.read(qBound(qint64(0), file.size(), ReadLimit));
    return true;
}

void prepare(QDataStream &stream)
{
    stream.setVersion(QDataStream::Qt_5_4);
    stream.setByteOrder(QDataStream::BigEndian);
}

// x in counts of bound: rounded half away from zero and clamped to its limits. False for a
// value that is not finite.
bool clampedCounts(const BoundValue &bound, double x, qint32 *counts)
{
    return bound.toCounts(x, counts, true) == 0;
}

quint32 registerWord(const BoundValue &bound, qint32 counts)
{
    return quint32(bound.toRegister(qBound(bound.m_minCount, counts, bound.m_maxCount)));
}

// Real value to counts of bound without clamping to its limits, only to 32 bits. False for a
// value that is not finite.
bool realToCounts(const BoundValue &bound, double x, qint32 *counts)
{
    if (!std::isfinite(x))
        return false;
    const double scaled = std::round(x * BoundValue::exactPow10(bound.m_power));
    constexpr double low = std::numeric_limits<qint32>::min();
    constexpr double high = std::numeric_limits<qint32>::max();
    *counts = qint32(qBound(low, scaled, high));
    return true;
}

// A raw word within the register values of bound's limits.
quint32 clampWord(const BoundValue &bound, quint32 word)
{
    const quint32 low = registerWord(bound, bound.m_minCount);
    const quint32 high = registerWord(bound, bound.m_maxCount);
    return qBound(low, word, high);
}

// The number of whole records of recordBytes in available bytes, at most MaxSteps; *problem
// says what is wrong with the rest.
int wholeRecords(qint64 available, int recordBytes, QString *problem)
{
    const qint64 count = available / recordBytes;
    if (count > ProgramStepsModel::MaxSteps) {
        *problem = QStringLiteral("more than %1 steps; the first %1 were loaded")
                       .arg(ProgramStepsModel::MaxSteps);
        return ProgramStepsModel::MaxSteps;
    }
    if (available % recordBytes != 0)
        *problem = QStringLiteral("the last step is cut short and was dropped");
    return int(count);
}

QString damagedStep(int row)
{
    return QStringLiteral("step %1 is damaged; it and the steps after it were dropped")
        .arg(row + 1);
}

// count records; reading stops before the first damaged one, which *problem names.
QVector<Record1001> readRecords1001(QDataStream &in, int count, QString *problem)
{
    QVector<Record1001> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        Record1001 r;
        in >> r.time >> r.operate >> r.level >> r.slew;
        if (r.time < 0 || !std::isfinite(r.level) || !std::isfinite(r.slew)) {
            *problem = damagedStep(i);
            break;
        }
        records.append(r);
    }
    return records;
}

QString formatted(const BoundValue &bound, double value)
{
    const double factor = bound.m_prefixFactor != 0.0 ? bound.m_prefixFactor : 1.0;
    return QString::number(value / factor, 'f', qMax(bound.m_decimals, 0)) + bound.m_siPrefix;
}

// Holds the engine mutex and, inside it, the writer link's shadow-register mutex: the steps of
// a tree handed to the writer change only under both.
class StepLocker
{
public:
    StepLocker()
        : m_engine(&engineMutex())
        , m_shadow(&ioc::IoControl::shadowMutex())
    { }

private:
    EngineLocker m_engine;
    QMutexLocker m_shadow;
};

} // namespace

struct ProgramStepsModel::Icons
{
    QPixmap ramp; // load on, ramped
    QPixmap step; // load on, stepped
    QMap<unsigned, QPixmap> wait; // keyed by wait bits
    QMap<unsigned, QPixmap> generate; // keyed by generate bits
    QPixmap noDigital; // no digital output
};

QDataStream &operator>>(QDataStream &in, ioc::ProgramStep *step)
{
    qint64 time = 0;
    qint32 operate = 0;
    qint32 dc = 0;
    qint32 slew = 0;
    qint32 cvLimit = 0;
    qint32 cp = 0;
    qint32 loop = 0;
    in >> time >> operate >> dc >> slew >> cvLimit >> cp;
    in.skipRawData(Discarded1000Words * 4);
    in >> loop;
    if (in.status() != QDataStream::Ok)
        return in;
    if (time < 0 || loop < 0 || loop > ProgramStepsModel::MaxLoop) {
        in.setStatus(QDataStream::ReadCorruptData);
        return in;
    }
    step->setTime(quint64(time));
    step->setOperate(quint32(operate));
    step->setDc(quint32(dc));
    step->setSlewRate(quint32(slew));
    step->setCvLimit(quint32(cvLimit));
    step->setCp(quint32(cp));
    step->setLoop(quint32(loop));
    return in;
}

void ProgramStepsModel::setErrorSink(ErrorSink sink)
{
    s_errorSink = std::move(sink);
}

ProgramStepsModel::ProgramStepsModel(const ModelInformation *info, QObject *parent)
    : QAbstractTableModel(parent)
    , m_info(info)
{
    PanelResources::init();
}

ProgramStepsModel::~ProgramStepsModel()
{
    disconnect(m_treeConnection);
}

// --- Bound values ---

const BoundValue *ProgramStepsModel::levelBound() const
{
    return m_info->levelBound(m_mode, m_currentRange, m_voltageRange, m_powerRange);
}

const BoundValue &ProgramStepsModel::slewRateBound() const
{
    return ModelInformation::rangeValue(m_info->slewRateMap(), m_currentRange);
}

const BoundValue &ProgramStepsModel::ocpBound() const
{
    return ModelInformation::rangeValue(m_info->ocpMap(), m_currentRange);
}

const BoundValue &ProgramStepsModel::oppBound() const
{
    return ModelInformation::rangeValue(m_info->oppMap(), m_powerRange);
}

const BoundValue &ProgramStepsModel::uvpBound() const
{
    return ModelInformation::rangeValue(m_info->uvpMap(), m_voltageRange);
}

const BoundValue &ProgramStepsModel::voltageBound() const
{
    return ModelInformation::rangeValue(m_info->voltageMap(), m_voltageRange);
}

// --- Table model ---

int ProgramStepsModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    EngineLocker lock(&engineMutex());
    return m_rowCount;
}

int ProgramStepsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProgramStepsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= ColumnCount)
        return QVariant();
    EngineLocker lock(&engineMutex());
    // Views read any row at any time: the cursor of the step setters is left where it is.
    const ProgramStep *step = stepAt(index.row());
    if (!step)
        return QVariant();
    const int column = index.column();

    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const bool display = role == Qt::DisplayRole;
        switch (column) {
        case LevelColumn:
            return display ? QVariant(levelTextOf(step)) : QVariant(levelOf(step));
        case SlewRateColumn:
            return display ? QVariant(slewrateTextOf(step)) : QVariant(slewrateOf(step));
        case DwellColumn:
            return step->realTime();
        default:
            return QVariant();
        }
    }
    if (role != Qt::DecorationRole || column < LoadColumn)
        return QVariant();
    const QCoreApplication *app = QCoreApplication::instance();
    if (!qobject_cast<const QGuiApplication *>(app) || app->thread() != QThread::currentThread())
        return QVariant();
    const Icons &icon = icons();
    const quint32 operate = step->operate();
    switch (column) {
    case LoadColumn:
        if (!step->isLoad())
            return QVariant();
        return step->isRamp() ? icon.ramp : icon.step;
    case WaitBeforeColumn:
        return icon.wait.value(operate & WaitBeforeMask);
    case WaitAfterColumn:
        return icon.wait.value(operate & WaitAfterMask);
    case GenerateColumn:
        return icon.generate.value(operate & GenerateMask);
    default:
        return icon.generate.value(operate & DigitalMask, icon.noDigital);
    }
}

bool ProgramStepsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() >= ColumnCount || role != Qt::EditRole)
        return false;
    const int row = index.row();
    {
        EngineLocker lock(&engineMutex());
        m_currentStep = stepAt(row);
        if (!m_currentStep)
            return false;
    }
    const int column = index.column();
    if (column > LoadColumn)
        return true;
    if (column == LoadColumn) {
        setOutputAt(row, value.toBool());
        return true;
    }
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return false;
    if (column == LevelColumn)
        setLevelAt(row, number);
    else if (column == SlewRateColumn)
        setSlewrateAt(row, number);
    else
        setDwellAt(row, number);
    return true;
}

QVariant ProgramStepsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        switch (section) {
        case LevelColumn:
            return tr("Level");
        case SlewRateColumn:
            return tr("SR[A/μs]");
        case DwellColumn:
            return tr("Dwell[s]");
        case LoadColumn:
            return tr("Load");
        case WaitBeforeColumn:
            return tr("Wait(pre)");
        case WaitAfterColumn:
            return tr("(post)");
        case GenerateColumn:
            return tr("Generate");
        case DigitalColumn:
            return tr("→");
        default:
            break;
        }
    }
    return section + 1;
}

bool ProgramStepsModel::setHeaderData(int, Qt::Orientation, const QVariant &, int)
{
    return false;
}

Qt::ItemFlags ProgramStepsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid())
        return flags;
    flags |= Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() <= DwellColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ProgramStepsModel::insertRows(int row, int count, const QModelIndex &parent)
{
    return !parent.isValid() && insertSteps(row, count) == 0;
}

bool ProgramStepsModel::removeRows(int row, int count, const QModelIndex &parent)
{
    return !parent.isValid() && removeSteps(row, count);
}

ProgramStepsModel::SCPIERR_T ProgramStepsModel::insertSteps(int row, int count)
{
    const int first = qMax(row, 0);
    QVector<ProgramStep *> steps;
    {
        EngineLocker lock(&engineMutex());
        if (!m_tree || count < 1 || row >= m_rowCount || count > MaxSteps - m_rowCount)
            return vek::Error::DataOutOfRange;
        if (!m_tree->isValid() || !allocateSteps(first, count, &steps))
            return MemoryError;
    }

    // Every step is allocated: once announced, the insertion cannot fail.
    beginInsertRows(QModelIndex(), first, first + count - 1);
    {
        StepLocker lock;
        if (m_tree) {
            const ProgramStep *original = m_tree->search(unsigned(first));
            m_tree->renumber(first, count);
            for (ProgramStep *step : qAsConst(steps)) {
                m_tree->insertStep(step);
                if (original)
                    *step = *original;
                else
                    applyDefaults(step);
            }
            m_rowCount += count;
        } else {
            qDeleteAll(steps);
        }
    }
    endInsertRows();
    return 0;
}

bool ProgramStepsModel::removeSteps(int row, int count)
{
    {
        EngineLocker lock(&engineMutex());
        if (!m_tree || row < 0 || count < 1 || row >= m_rowCount || m_rowCount < 2
            || count > m_rowCount - row || count >= m_rowCount)
            return false;
    }

    beginRemoveRows(QModelIndex(), row, row + count - 1);
    {
        StepLocker lock;
        // A removal may move a step's payload into another slot: no step pointer survives it.
        m_currentStep = nullptr;
        if (m_tree) {
            for (int i = 0; i < count; ++i) {
                if (m_tree->remove(unsigned(row + i)))
                    --m_rowCount;
            }
            m_tree->renumber(row + count, -count);
        }
    }
    endRemoveRows();
    return true;
}

bool ProgramStepsModel::allocateSteps(int first, int count, QVector<ProgramStep *> *steps)
{
    steps->reserve(count);
    for (int i = 0; i < count; ++i) {
        ProgramStep *step = new ProgramStep(unsigned(first + i));
        if (!step) {
            qDeleteAll(*steps);
            steps->clear();
            return false;
        }
        steps->append(step);
    }
    return true;
}

ProgramStep *ProgramStepsModel::stepAt(int row) const
{
    if (!m_tree || row < 0 || row >= m_rowCount)
        return nullptr;
    return m_tree->search(unsigned(row));
}

// --- Cursor and step queries ---

int ProgramStepsModel::setRow(unsigned row)
{
    EngineLocker lock(&engineMutex());
    m_currentStep = row < unsigned(m_rowCount) ? stepAt(int(row)) : nullptr;
    if (!m_currentStep)
        return 0;
    return m_currentStep->isSubProgram() ? 2 : 1;
}

quint32 ProgramStepsModel::levelWord(const ProgramStep *step) const
{
    return m_mode == Mode::CP ? step->cp() : step->dc();
}

double ProgramStepsModel::level() const
{
    EngineLocker lock(&engineMutex());
    return levelOf(m_currentStep);
}

double ProgramStepsModel::levelOf(const ProgramStep *step) const
{
    const BoundValue *bound = levelBound();
    if (!step || !bound)
        return 0.0;
    return bound->toRealValueEx(levelWord(step));
}

double ProgramStepsModel::slewrate() const
{
    EngineLocker lock(&engineMutex());
    return slewrateOf(m_currentStep);
}

double ProgramStepsModel::slewrateOf(const ProgramStep *step) const
{
    if (!step || m_mode != Mode::CC)
        return 0.0;
    return slewRateBound().toRealValueEx(step->slewRate());
}

double ProgramStepsModel::dwell() const
{
    EngineLocker lock(&engineMutex());
    return m_currentStep ? m_currentStep->realTime() : 0.0;
}

bool ProgramStepsModel::ramp() const
{
    EngineLocker lock(&engineMutex());
    return m_currentStep && m_currentStep->isRamp();
}

bool ProgramStepsModel::output() const
{
    EngineLocker lock(&engineMutex());
    return m_currentStep && m_currentStep->isLoad();
}

ProgramStep::TrigWait ProgramStepsModel::triggerWait() const
{
    EngineLocker lock(&engineMutex());
    return m_currentStep ? m_currentStep->triggerWait() : ProgramStep::TrigWait();
}

ProgramStep::TrigGenerate ProgramStepsModel::triggerGenerate() const
{
    EngineLocker lock(&engineMutex());
    return m_currentStep ? m_currentStep->triggerGenerate() : ProgramStep::TrigGenerate();
}

QString ProgramStepsModel::levelToString() const
{
    EngineLocker lock(&engineMutex());
    return levelTextOf(m_currentStep);
}

QString ProgramStepsModel::levelTextOf(const ProgramStep *step) const
{
    const BoundValue *bound = levelBound();
    if (!bound)
        return QStringLiteral("0.0");
    return formatted(*bound, levelOf(step));
}

QString ProgramStepsModel::slewrateToString() const
{
    EngineLocker lock(&engineMutex());
    return slewrateTextOf(m_currentStep);
}

QString ProgramStepsModel::slewrateTextOf(const ProgramStep *step) const
{
    if (m_mode != Mode::CC)
        return QStringLiteral("0.0");
    return formatted(slewRateBound(), slewrateOf(step));
}

// --- Step setters ---

void ProgramStepsModel::changeStep(
    int row, int firstColumn, int lastColumn, const std::function<void(ProgramStep *)> &change)
{
    {
        StepLocker lock;
        if (row != CurrentRow)
            m_currentStep = stepAt(row);
        if (!m_currentStep)
            return;
        change(m_currentStep);
        row = int(m_currentStep->stepNumber());
    }
    emit dataChanged(index(row, firstColumn), index(row, lastColumn), {});
}

void ProgramStepsModel::writeLevel(ProgramStep *step, double value)
{
    const BoundValue *bound = levelBound();
    qint32 counts = 0;
    if (!bound || !clampedCounts(*bound, value, &counts))
        return;
    const quint32 word = registerWord(*bound, counts);
    if (m_mode == Mode::CP)
        step->setCp(word);
    else
        step->setDc(word);
    applyRamp(step, step->isRamp());
    // The next step ramps from this level.
    if (ProgramStep *next = stepAt(int(step->stepNumber()) + 1))
        applyRamp(next, next->isRamp());
}

void ProgramStepsModel::writeSlewrate(ProgramStep *step, double ampsPerUs)
{
    qint32 counts = 0;
    if (m_mode != Mode::CC || !clampedCounts(slewRateBound(), ampsPerUs, &counts))
        return;
    step->setSlewRate(registerWord(slewRateBound(), counts));
}

void ProgramStepsModel::applyRamp(ProgramStep *step, bool on)
{
    const unsigned number = step->stepNumber();
    const ProgramStep *previous = on && number > 0 ? stepAt(int(number) - 1) : nullptr;
    const quint32 start = previous ? levelWord(previous) : 0;
    step->setRamp(on, start, levelWord(step), m_mode == Mode::CP);
}

void ProgramStepsModel::setLevel(double value)
{
    setLevelAt(CurrentRow, value);
}

void ProgramStepsModel::setLevelAt(int row, double value)
{
    changeStep(row, LevelColumn, LevelColumn, [this, value](ProgramStep *step) {
        writeLevel(step, value);
    });
}

void ProgramStepsModel::setSlewrate(double ampsPerUs)
{
    setSlewrateAt(CurrentRow, ampsPerUs);
}

void ProgramStepsModel::setSlewrateAt(int row, double ampsPerUs)
{
    {
        EngineLocker lock(&engineMutex());
        if (m_mode != Mode::CC)
            return;
    }
    changeStep(row, SlewRateColumn, SlewRateColumn, [this, ampsPerUs](ProgramStep *step) {
        writeSlewrate(step, ampsPerUs);
    });
}

void ProgramStepsModel::setDwell(double seconds)
{
    setDwellAt(CurrentRow, seconds);
}

void ProgramStepsModel::setDwellAt(int row, double seconds)
{
    changeStep(row, DwellColumn, DwellColumn, [this, seconds](ProgramStep *step) {
        step->setRealTime(seconds);
        applyRamp(step, step->isRamp());
    });
}

void ProgramStepsModel::setOutput(bool on)
{
    setOutputAt(CurrentRow, on);
}

void ProgramStepsModel::setOutputAt(int row, bool on)
{
    changeStep(row, LoadColumn, LoadColumn, [on](ProgramStep *step) {
        step->setLoad(on);
    });
}

void ProgramStepsModel::setRamp(bool on)
{
    changeStep(CurrentRow, LoadColumn, LoadColumn, [this, on](ProgramStep *step) {
        applyRamp(step, on);
    });
}

void ProgramStepsModel::setTriggerWait(ProgramStep::TrigWait flags)
{
    changeStep(CurrentRow, WaitBeforeColumn, WaitAfterColumn, [flags](ProgramStep *step) {
        step->setTriggerWait(flags);
    });
}

void ProgramStepsModel::setTriggerGenerate(ProgramStep::TrigGenerate flags)
{
    changeStep(CurrentRow, GenerateColumn, DigitalColumn, [flags](ProgramStep *step) {
        step->setTriggerGenerate(flags);
    });
}

void ProgramStepsModel::setWaitBit(ProgramStep::TrigWaitFlag flag, bool on)
{
    // Before the step MSYNC and DIGITAL2 combine with each other, never with BUS.
    const bool before = flag & WaitBeforeMask;
    ProgramStep::TrigWait excluded;
    if (on && flag == ProgramStep::WaitBus)
        excluded = ProgramStep::WaitMSync | ProgramStep::WaitDigital2;
    else if (on && before)
        excluded = ProgramStep::WaitBus;
    const int column = before ? WaitBeforeColumn : WaitAfterColumn;
    changeStep(CurrentRow, column, column, [flag, on, excluded](ProgramStep *step) {
        step->setTriggerWait((step->triggerWait() & ~excluded).setFlag(flag, on));
    });
}

void ProgramStepsModel::setGenerateBit(ProgramStep::TrigGenerateFlag flag, bool on)
{
    const int column = flag & DigitalMask ? DigitalColumn : GenerateColumn;
    changeStep(CurrentRow, column, column, [flag, on](ProgramStep *step) {
        step->setTriggerGenerate(step->triggerGenerate().setFlag(flag, on));
    });
}

bool ProgramStepsModel::setSubProgram(const ioc::AvlTree *tree)
{
    StepLocker lock;
    if (!m_currentStep)
        return false;
    if (tree)
        m_currentStep->setSubProgram(tree);
    else
        m_currentStep->setOriginalStep();
    return true;
}

// --- Program settings ---

unsigned ProgramStepsModel::loop() const
{
    EngineLocker lock(&engineMutex());
    if (!m_tree || !m_tree->head())
        return 1;
    const quint32 count = m_tree->head()->loop();
    return count == EndlessLoop ? 0 : count;
}

void ProgramStepsModel::setLoop(unsigned loop)
{
    emit loopCountChanged(loop);
    StepLocker lock;
    if (m_tree && m_tree->head())
        m_tree->head()->setLoop(loop == 0 ? EndlessLoop : loop);
}

void ProgramStepsModel::storeProtection(const QMap<int, BoundValue> &map,
    int widestKey,
    int key,
    int counts,
    qint32 *count,
    quint32 *word)
{
    const BoundValue &widest = ModelInformation::rangeValue(map, widestKey);
    const BoundValue &here = ModelInformation::rangeValue(map, key);
    *count = qBound(widest.m_minCount, qint32(counts), widest.m_maxCount);
    *word = registerWord(here, *count);
}

void ProgramStepsModel::setCurrentProtectionLevel(int counts)
{
    EngineLocker lock(&engineMutex());
    storeProtection(
        m_info->ocpMap(), WidestCurrentKey, m_currentRange, counts, &m_ocpCount, &m_ocpValue);
}

void ProgramStepsModel::setPowerProtectionLevel(int counts)
{
    EngineLocker lock(&engineMutex());
    storeProtection(
        m_info->oppMap(), WidestPowerKey, m_powerRange, counts, &m_oppCount, &m_oppValue);
}

void ProgramStepsModel::setVoltageProtectionLevel(int counts)
{
    EngineLocker lock(&engineMutex());
    storeProtection(
        m_info->uvpMap(), WidestVoltageKey, m_voltageRange, counts, &m_uvpCount, &m_uvpValue);
}

void ProgramStepsModel::setVoltageLevel(int counts)
{
    EngineLocker lock(&engineMutex());
    const BoundValue &bound = voltageBound();
    m_cvLevelCount = qBound(bound.m_minCount, qint32(counts), bound.m_maxCount);
    m_cvLevelValue = registerWord(bound, m_cvLevelCount);
}

bool ProgramStepsModel::storeRealLevel(const BoundValue &bound,
    double value,
    qint32 ProgramStepsModel::*stored,
    void (ProgramStepsModel::*setter)(int),
    qint32 *counts)
{
    qint32 n = 0;
    if (!realToCounts(bound, value, &n))
        return false;
    const qint32 before = this->*stored;
    (this->*setter)(n);
    if (counts)
        *counts = n;
    return n != before;
}

void ProgramStepsModel::setRealCurrentProtectionLevel(double amps)
{
    bool changed = false;
    {
        EngineLocker lock(&engineMutex());
        changed = storeRealLevel(ocpBound(),
            amps,
            &ProgramStepsModel::m_ocpCount,
            &ProgramStepsModel::setCurrentProtectionLevel);
    }
    if (changed)
        emit progCurrentProtectChanged(amps);
}

void ProgramStepsModel::setRealPowerProtectionLevel(double watts)
{
    bool changed = false;
    {
        EngineLocker lock(&engineMutex());
        changed = storeRealLevel(oppBound(),
            watts,
            &ProgramStepsModel::m_oppCount,
            &ProgramStepsModel::setPowerProtectionLevel);
    }
    if (changed)
        emit progPowerProtectChanged(watts);
}

void ProgramStepsModel::setRealVoltageProtectionLevel(double volts)
{
    bool changed = false;
    double announced = std::numeric_limits<double>::lowest();
    {
        EngineLocker lock(&engineMutex());
        qint32 counts = 0;
        changed = storeRealLevel(uvpBound(),
            volts,
            &ProgramStepsModel::m_uvpCount,
            &ProgramStepsModel::setVoltageProtectionLevel,
            &counts);
        // The UVP level is the CV-option level too.
        if (std::isfinite(volts))
            setVoltageLevel(counts);
        if (m_uvpState)
            announced = volts;
    }
    if (changed)
        emit progVoltageProtectChanged(announced);
}

void ProgramStepsModel::setRealVoltageLevel(double volts)
{
    bool changed = false;
    {
        EngineLocker lock(&engineMutex());
        changed = storeRealLevel(voltageBound(),
            volts,
            &ProgramStepsModel::m_cvLevelCount,
            &ProgramStepsModel::setVoltageLevel);
    }
    if (changed)
        emit progVoltageChanged(volts);
}

double ProgramStepsModel::realCurrentProtectionLevel() const
{
    EngineLocker lock(&engineMutex());
    return ocpBound().fromCounts(m_ocpCount);
}

double ProgramStepsModel::realPowerProtectionLevel() const
{
    EngineLocker lock(&engineMutex());
    return oppBound().fromCounts(m_oppCount);
}

double ProgramStepsModel::realVoltageProtectionLevel() const
{
    EngineLocker lock(&engineMutex());
    return uvpBound().fromCounts(m_uvpCount);
}

double ProgramStepsModel::realVoltageLevel() const
{
    EngineLocker lock(&engineMutex());
    return voltageBound().fromCounts(m_cvLevelCount);
}

bool ProgramStepsModel::storeFlag(bool ProgramStepsModel::*field, bool value)
{
    EngineLocker lock(&engineMutex());
    if (this->*field == value)
        return false;
    this->*field = value;
    return true;
}

bool ProgramStepsModel::flag(bool ProgramStepsModel::*field) const
{
    EngineLocker lock(&engineMutex());
    return this->*field;
}

void ProgramStepsModel::setCurrentProtectionTripState(bool trip)
{
    if (storeFlag(&ProgramStepsModel::m_ocpTrip, trip))
        emit progCurrentProtectTripStateChanged(trip);
}

void ProgramStepsModel::setPowerProtectionTripState(bool trip)
{
    if (storeFlag(&ProgramStepsModel::m_oppTrip, trip))
        emit progPowerProtectTripStateChanged(trip);
}

void ProgramStepsModel::setVoltageProtectionTripState(bool trip)
{
    if (storeFlag(&ProgramStepsModel::m_uvpTrip, trip))
        emit progVoltageProtectTripStateChanged(trip);
}

bool ProgramStepsModel::currentProtectionTripState() const
{
    return flag(&ProgramStepsModel::m_ocpTrip);
}

bool ProgramStepsModel::powerProtectionTripState() const
{
    return flag(&ProgramStepsModel::m_oppTrip);
}

bool ProgramStepsModel::voltageProtectionTripState() const
{
    return flag(&ProgramStepsModel::m_uvpTrip);
}

void ProgramStepsModel::setVoltageProtectionState(bool on)
{
    double announced = 0.0;
    {
        EngineLocker lock(&engineMutex());
        if (m_uvpState == on)
            return;
        m_uvpState = on;
        announced = on ? realVoltageProtectionLevel() : std::numeric_limits<double>::lowest();
    }
    emit progVoltageProtectChanged(announced);
}

bool ProgramStepsModel::voltageProtectionState() const
{
    return flag(&ProgramStepsModel::m_uvpState);
}

// --- Last step ---

void ProgramStepsModel::setLaststepState(bool on)
{
    storeFlag(&ProgramStepsModel::m_laststepState, on);
    emit laststepStateChanged(on);
}

void ProgramStepsModel::setLaststepOutput(bool on)
{
    storeFlag(&ProgramStepsModel::m_laststepOutput, on);
    emit laststepOutputChanged(on);
}

void ProgramStepsModel::setLaststepLevel(double value)
{
    {
        StepLocker lock;
        const BoundValue *bound = levelBound();
        qint32 counts = 0;
        if (!bound || !clampedCounts(*bound, value, &counts))
            return;
        if (ProgramStep *node = m_tree ? m_tree->lastStep() : nullptr) {
            const quint32 word = registerWord(*bound, counts);
            if (m_mode == Mode::CP)
                node->setCp(word);
            else
                node->setDc(word);
        }
        m_laststepLevel = bound->fromCounts(counts);
    }
    emit laststepLevelChanged(value);
}

void ProgramStepsModel::setLaststepSlewrate(double ampsPerUs)
{
    {
        StepLocker lock;
        qint32 counts = 0;
        if (m_mode != Mode::CC || !clampedCounts(slewRateBound(), ampsPerUs, &counts))
            return;
        if (ProgramStep *node = m_tree ? m_tree->lastStep() : nullptr)
            node->setSlewRate(registerWord(slewRateBound(), counts));
        m_laststepSlewrate = slewRateBound().fromCounts(counts);
    }
    emit laststepSlewrateChanged(ampsPerUs);
}

bool ProgramStepsModel::laststepState() const
{
    return flag(&ProgramStepsModel::m_laststepState);
}

bool ProgramStepsModel::laststepOutput() const
{
    return flag(&ProgramStepsModel::m_laststepOutput);
}

double ProgramStepsModel::laststepLevel() const
{
    EngineLocker lock(&engineMutex());
    return m_laststepLevel;
}

double ProgramStepsModel::laststepSlewrate() const
{
    EngineLocker lock(&engineMutex());
    return m_laststepSlewrate;
}

// --- Selection and run support ---

void ProgramStepsModel::setProgramObject(ioc::AvlTree *tree)
{
    beginResetModel();
    {
        EngineLocker lock(&engineMutex());
        disconnect(m_treeConnection);
        m_tree = tree;
        m_currentStep = nullptr;
        m_rowCount = tree ? tree->count() : 0;
        if (tree) {
            m_mode = vek::Source::m_functionMode.load();
            m_currentRange = vek::Source::getCurrentRange();
            m_voltageRange = vek::Source::m_voltRange.load();
            m_powerRange = vek::Source::getPowerRange();
            m_treeConnection =
                connect(tree, &QObject::destroyed, this, &ProgramStepsModel::onTreeDestroyed);
        }
    }
    endResetModel();
    if (tree)
        emit loopCountChanged(loop());
}

void ProgramStepsModel::onTreeDestroyed()
{
    beginResetModel();
    {
        EngineLocker lock(&engineMutex());
        m_tree = nullptr;
        m_currentStep = nullptr;
        m_rowCount = 0;
    }
    endResetModel();
}

ioc::AvlTree *ProgramStepsModel::programObject() const
{
    EngineLocker lock(&engineMutex());
    return m_tree;
}

unsigned ProgramStepsModel::convertAddress2Step(quint32 address) const
{
    const ProgramStep *step = convertProgramStep2Step(address);
    return step ? step->stepNumber() + 1 : 0;
}

ProgramStep *ProgramStepsModel::convertProgramStep2Step(quint32 address) const
{
    EngineLocker lock(&engineMutex());
    return m_tree ? ProgramStep::programStepInfo(address) : nullptr;
}

ProgramStep *ProgramStepsModel::defaultProgramStep() const
{
    ProgramStep *step = new ProgramStep(0);
    if (step) {
        EngineLocker lock(&engineMutex());
        applyDefaults(step);
    }
    return step;
}

void ProgramStepsModel::applyDefaults(ProgramStep *step) const
{
    quint32 slew = 0;
    if (m_mode == Mode::CC) {
        const BoundValue &bound = slewRateBound();
        const double word = bound.m_min * BoundValue::exactPow10(bound.m_power) * bound.m_factor;
        slew = quint32(qBound(0.0, std::round(word), double(0xFFFFFFFFu)));
    }
    step->setSlewRate(slew);
    step->setLoad(true);
}

ProgramStepsModel::ProtectionGroups ProgramStepsModel::protectionGroups(
    const ProgramStep *first) const
{
    ProtectionGroups groups;
    switch (m_mode) {
    case Mode::CC:
        groups = { true, false, true };
        break;
    case Mode::CR:
        groups = { true, true, true };
        break;
    case Mode::CV:
        groups = { true, true, false };
        break;
    case Mode::CP:
        groups = { false, true, true };
        break;
    default:
        return {};
    }
    // A group goes to the steps only when step 0 does not hold it already.
    const quint32 operate = first->operate();
    groups.opp =
        groups.opp && (first->cp() != m_oppValue || bool(operate & OpTripBit) != m_oppTrip);
    groups.ocp =
        groups.ocp && (first->ccLimit() != m_ocpValue || bool(operate & OcTripBit) != m_ocpTrip);
    groups.uvp = groups.uvp
        && (first->uvp() != m_uvpValue || bool(operate & (UvpBit | AddCvBit)) != m_uvpState
            || bool(operate & AddCvBit) == m_uvpTrip);
    return groups;
}

void ProgramStepsModel::writeProtections(ProgramStep *step, ProtectionGroups groups) const
{
    if (groups.opp) {
        step->setCp(m_oppValue);
        step->setOpTripAction(m_oppTrip);
    }
    if (groups.ocp) {
        step->setCcLimit(m_ocpValue);
        step->setOcTripAction(m_ocpTrip);
    }
    // An enabled UVP trips, or limits the voltage by an added CV loop at the CV-limit level.
    if (groups.uvp) {
        step->setCvLimit(m_cvLevelValue);
        step->setUvp(m_uvpValue);
        step->setUvpState(m_uvpState && m_uvpTrip);
        step->setAddCV(m_uvpState && !m_uvpTrip);
    }
}

void ProgramStepsModel::setStepsProtections()
{
    StepLocker lock;
    const ProgramStep *first = stepAt(0);
    if (!first || m_mode == Mode::ARB)
        return;
    const ProtectionGroups groups = protectionGroups(first);
    for (int row = 0; row < m_rowCount; ++row) {
        ProgramStep *step = stepAt(row);
        if (step && !step->isSubProgram())
            writeProtections(step, groups);
    }
    // A run reads the final settings back from the node where it stops.
    if (ProgramStep *node = m_tree->lastStep())
        writeProtections(node, { true, true, true });
}

// --- Program files ---

bool ProgramStepsModel::programFileData(QByteArray *data)
{
    QBuffer buffer(data);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    prepare(out);

    const quint32 headLoop = m_tree->head()->loop();
    out << progFile << FileVersion << qint16(m_mode)
        << qint32(headLoop == EndlessLoop ? 0 : headLoop) << (m_uvpTrip ? 1.0 : 0.0)
        << realCurrentProtectionLevel() << realPowerProtectionLevel()
        << realVoltageProtectionLevel() << m_ocpTrip << m_oppTrip << m_uvpState;
    for (int row = 0; row < m_rowCount; ++row) {
        m_currentStep = stepAt(row);
        if (!m_currentStep)
            return false;
        out << qint64(m_currentStep->time()) << qint32(m_currentStep->operate())
            << levelOf(m_currentStep) << slewrateOf(m_currentStep);
    }
    m_currentStep = stepAt(0);
    return true;
}

QByteArray ProgramStepsModel::laststepFileData() const
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    prepare(out);

    EngineLocker lock(&engineMutex());
    out << lastStepFile << FileVersion << qint16(m_mode) << qint32(m_laststepState ? 1 : 0);
    for (int i = 0; i < 4; ++i)
        out << 0.0;
    out << false << false << false << qint64(0);
    out << qint32(m_laststepOutput ? LoadBit : 0) << m_laststepLevel << m_laststepSlewrate;
    return data;
}

bool ProgramStepsModel::writeFile(
    const QString &path, const QString &tag, const QByteArray &data, QString reason)
{
    const QString file = filePath(path, tag);
    int result = SystemError;
    if (reason.isEmpty())
        result = platform::AtomicFile::write(platform::BoardPath::map(file), data, &reason);
    if (result != 0)
        report(result, QStringLiteral("Cannot write %1: %2").arg(file, reason));
    return result == 0;
}

bool ProgramStepsModel::save(const QString &path)
{
    QByteArray data;
    QString reason;
    {
        EngineLocker lock(&engineMutex());
        if (!m_tree || !m_tree->isValid())
            reason = QStringLiteral("no program is open");
        else if (!programFileData(&data))
            reason = QStringLiteral("a step of the program is missing");
    }
    return writeFile(path, progFile, data, reason);
}

bool ProgramStepsModel::saveLaststep(const QString &path)
{
    return writeFile(path, lastStepFile, laststepFileData());
}

bool ProgramStepsModel::load(const QString &path)
{
    {
        EngineLocker lock(&engineMutex());
        if (!m_tree || m_tree->count() != 0)
            return false;
    }
    const QString file = filePath(path, progFile);
    QByteArray bytes;
    if (!readFile(file, &bytes))
        return false;

    beginResetModel();
    const LoadProblem problem = loadProgram(bytes);
    endResetModel();
    if (problem.code != 0)
        report(problem.code, file + QStringLiteral(": ") + problem.text);
    return true;
}

ProgramStepsModel::LoadProblem ProgramStepsModel::loadProgram(const QByteArray &bytes)
{
    QDataStream in(bytes);
    prepare(in);
    QString tag;
    qint16 version = 0;
    qint16 mode = 0;
    in >> tag >> version >> mode;
    if (in.status() != QDataStream::Ok)
        return { CorruptData, QStringLiteral("the header is damaged or cut short") };
    if (!tag.contains(progFile))
        return { CorruptData, QStringLiteral("not a program file") };
    {
        EngineLocker lock(&engineMutex());
        if (mode != qint16(m_mode))
            return { CorruptData, QStringLiteral("written in another function mode") };
    }
    if (version == FileVersion)
        return loadSteps1001(in, bytes.size());
    if (version == OldFileVersion)
        return loadSteps1000(in, bytes.size());
    return { CorruptData, QStringLiteral("unknown format version %1").arg(version) };
}

ProgramStepsModel::LoadProblem ProgramStepsModel::loadSteps1001(QDataStream &in, qint64 size)
{
    Settings1001 settings;
    in >> settings.loop >> settings.uvpAction >> settings.ocp >> settings.opp >> settings.uvp
        >> settings.ocpTrip >> settings.oppTrip >> settings.uvpOn;
    if (in.status() != QDataStream::Ok)
        return { CorruptData, QStringLiteral("the header is damaged or cut short") };
    if (settings.loop < 0 || settings.loop > MaxLoop)
        return { CorruptData, QStringLiteral("loop count %1 is out of range").arg(settings.loop) };
    if (!std::isfinite(settings.uvpAction) || !std::isfinite(settings.ocp)
        || !std::isfinite(settings.opp) || !std::isfinite(settings.uvp))
        return { CorruptData, QStringLiteral("a protection setting is not a number") };

    LoadProblem problem;
    const QVector<Record1001> records = readRecords1001(
        in, wholeRecords(size - in.device()->pos(), Record1001Bytes, &problem.text), &problem.text);
    if (!problem.text.isEmpty())
        problem.code = CorruptData;

    QVector<ProgramStep *> steps;
    {
        EngineLocker lock(&engineMutex());
        if (!m_tree || !m_tree->isValid() || !allocateSteps(0, records.size(), &steps))
            return { MemoryError, QStringLiteral("step memory is full; nothing was loaded") };
    }
    applySettings(settings);

    StepLocker lock;
    if (!m_tree) {
        qDeleteAll(steps);
        return problem;
    }
    for (int i = 0; i < records.size(); ++i) {
        ProgramStep *step = steps[i];
        m_tree->insertStep(step);
        ++m_rowCount;
        step->setTime(quint64(records[i].time));
        step->setOperate(quint32(records[i].operate));
        writeLevel(step, records[i].level);
        writeSlewrate(step, records[i].slew);
    }
    m_currentStep = stepAt(0);
    return problem;
}

void ProgramStepsModel::applySettings(const Settings1001 &settings)
{
    setLoop(unsigned(settings.loop));
    setRealCurrentProtectionLevel(settings.ocp);
    setRealPowerProtectionLevel(settings.opp);
    setRealVoltageProtectionLevel(settings.uvp);
    setCurrentProtectionTripState(settings.ocpTrip);
    setPowerProtectionTripState(settings.oppTrip);
    setVoltageProtectionTripState(settings.uvpAction != 0.0);
    setVoltageProtectionState(settings.uvpOn);
}

ProgramStepsModel::LoadProblem ProgramStepsModel::loadSteps1000(QDataStream &in, qint64 size)
{
    qint32 loopValue = 0;
    in >> loopValue;
    if (in.status() != QDataStream::Ok)
        return { CorruptData, QStringLiteral("the header is damaged or cut short") };
    // The head's loop word was stored as it was, endless mark included.
    if ((loopValue < 0 || loopValue > MaxLoop) && quint32(loopValue) != EndlessLoop)
        return { CorruptData, QStringLiteral("loop count %1 is out of range").arg(loopValue) };

    LoadProblem problem;
    const int count = wholeRecords(size - in.device()->pos(), Record1000Bytes, &problem.text);
    StepLocker lock;
    QVector<ProgramStep *> steps;
    if (!m_tree || !m_tree->isValid() || !allocateSteps(0, count, &steps))
        return { MemoryError, QStringLiteral("step memory is full; nothing was loaded") };
    m_tree->head()->setLoop(quint32(loopValue));
    int taken = 0;
    for (; taken < count; ++taken) {
        ProgramStep *step = steps[taken];
        in >> step;
        if (in.status() != QDataStream::Ok) {
            problem.text = damagedStep(taken);
            break;
        }
        clampRawWords(step);
        m_tree->insertStep(step);
        ++m_rowCount;
        applyRamp(step, step->isRamp());
    }
    qDeleteAll(steps.mid(taken));
    if (!problem.text.isEmpty())
        problem.code = CorruptData;
    m_currentStep = stepAt(0);
    return problem;
}

void ProgramStepsModel::clampRawWords(ProgramStep *step) const
{
    // The DC word carries the level in CC, CR and CV; the CP word in CP mode. Outside their
    // own mode the slew-rate and CP words carry the OCP and OPP limits.
    const BoundValue &current = ModelInformation::rangeValue(m_info->currentMap(), m_currentRange);
    const BoundValue *level = levelBound();
    const bool cp = m_mode == Mode::CP;
    step->setDc(clampWord(level && !cp ? *level : current, step->dc()));
    step->setSlewRate(
        clampWord(m_mode == Mode::CC ? slewRateBound() : ocpBound(), step->slewRate()));
    step->setCvLimit(clampWord(voltageBound(), step->cvLimit()));
    step->setCp(clampWord(cp ? *level : oppBound(), step->cp()));
}

bool ProgramStepsModel::loadLaststep(const QString &path)
{
    {
        EngineLocker lock(&engineMutex());
        m_laststepState = false;
        m_laststepOutput = false;
        m_laststepLevel = 0.0;
        m_laststepSlewrate = 0.02;
    }
    const QString file = filePath(path, lastStepFile);
    QByteArray bytes;
    if (!readFile(file, &bytes))
        return false;

    QDataStream in(bytes);
    prepare(in);
    QString tag;
    qint16 version = 0;
    qint16 mode = 0;
    qint32 enabled = 0;
    qint32 operate = 0;
    double level = 0.0;
    double slew = 0.0;
    in >> tag >> version >> mode >> enabled;
    in.skipRawData(LaststepSkippedBytes);
    in >> operate >> level >> slew;

    QString problem;
    if (!tag.contains(lastStepFile))
        problem = QStringLiteral("not a last-step file");
    else if (in.status() != QDataStream::Ok)
        problem = QStringLiteral("the file is cut short");
    else if (!std::isfinite(level) || !std::isfinite(slew))
        problem = QStringLiteral("a level is not a number");
    {
        EngineLocker lock(&engineMutex());
        if (problem.isEmpty() && mode != qint16(m_mode))
            problem = QStringLiteral("written in another function mode");
    }
    if (!problem.isEmpty()) {
        report(CorruptData, file + QStringLiteral(": ") + problem);
        return true;
    }

    {
        EngineLocker lock(&engineMutex());
        m_laststepState = enabled != 0;
        m_laststepLevel = level;
        m_laststepSlewrate = slew;
    }
    setLaststepOutput(operate & LoadBit);
    setLaststepLevel(level);
    setLaststepSlewrate(slew);
    return true;
}

// --- Icons ---

const ProgramStepsModel::Icons &ProgramStepsModel::icons() const
{
    if (m_icons)
        return *m_icons;
    m_icons = std::make_unique<Icons>();
    Icons &icons = *m_icons;
    const auto icon = [](const char *name) {
        return QPixmap(QStringLiteral(":/resources/image/") + QLatin1String(name));
    };
    icons.ramp = icon("LoadRamp.png");
    icons.step = icon("LoadStep.png");
    icons.wait = {
        { 0, QPixmap() },
        { ProgramStep::WaitBus, icon("TrigB.png") },
        { ProgramStep::WaitDigital2, icon("Trig2.png") },
        { ProgramStep::WaitMSync, icon("TrigM.png") },
        { ProgramStep::WaitMSync | ProgramStep::WaitDigital2, icon("TrigM2.png") },
        { ProgramStep::WaitTriggerIn, icon("TrigIN.png") },
        { ProgramStep::WaitCutoff, icon("TrigC.png") },
        { ProgramStep::WaitTriggerIn | ProgramStep::WaitCutoff, icon("TrigIC.png") },
    };
    icons.generate = {
        { ProgramStep::GenerateTriggerOut, icon("TrigO.png") },
        { ProgramStep::GenerateTALink, icon("TrigT.png") },
        { ProgramStep::GenerateTALink | ProgramStep::GenerateTriggerOut, icon("TrigTO.png") },
    };
    // Bits 24 .. 26 are DIGITAL0 .. DIGITAL2; the file names show them DIGITAL2 first.
    static const char *const digital[] = { "Ext001.png",
        "Ext010.png",
        "Ext011.png",
        "Ext100.png",
        "Ext101.png",
        "Ext110.png",
        "Ext111.png" };
    for (unsigned value = 1; value <= 7; ++value)
        icons.generate.insert(value << 24, icon(digital[value - 1]));
    icons.noDigital = icon("Ext000.png");
    return icons;
}
