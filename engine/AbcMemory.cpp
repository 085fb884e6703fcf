#include "engine/AbcMemory.h"

#include "engine/Basic.h"

namespace vek {

namespace {

enum Mode { CC = 0, CR = 1, CV = 2, CP = 3 };

double *voltageLevel(ABC_MEMORY &m)
{
    return int(Source::m_voltRange.load()) == 0 ? &m.cv_low : &m.cv_high;
}

// The present mode's level by the effective current range (0 low, 1 medium, 2 high) or, in CV
// mode, the voltage range; null in ARB mode or outside those ranges.
double *modeLevel(ABC_MEMORY &m, int mode)
{
    if (mode == CV)
        return voltageLevel(m);
    double *const byRange[3][3] = {
        { &m.cc_low, &m.cc_medium, &m.cc_high },
        { &m.cr_low, &m.cr_medium, &m.cr_high },
        { &m.cp_low, &m.cp_medium, &m.cp_high },
    };
    const int row = mode == CC ? 0 : mode == CR ? 1 : mode == CP ? 2 : -1;
    const int range = int(Source::getCurrentRange());
    if (row < 0 || range < 0 || range > 2)
        return nullptr;
    return byRange[row][range];
}

const double *modeLevel(const ABC_MEMORY &m, int mode)
{
    return modeLevel(const_cast<ABC_MEMORY &>(m), mode);
}

bool isArb(int mode)
{
    return mode > CP;
}

bool samePoints(const QList<ARBITRARY_DATA> &a, const QList<ARBITRARY_DATA> &b)
{
    if (a.size() != b.size())
        return false;
    for (int k = 0; k < a.size(); ++k) {
        if (a[k].voltage != b[k].voltage || a[k].current != b[k].current)
            return false;
    }
    return true;
}

} // namespace

SCPIERR_T ABC_MEMORY::store(const Basic &basic, const ArbitraryModel *arb)
{
    const int mode = int(Source::m_functionMode.load());
    if (isArb(mode)) {
        if (!arb)
            return Error::ExecutionError;
        arbitraryPoints = arb->getData();
        return 0;
    }
    if (double *level = modeLevel(*this, mode)) {
        switch (mode) {
        case CC:
            *level = basic.getRealCurrentLevel();
            break;
        case CR:
            *level = basic.getRealConductanceLevel();
            break;
        case CV:
            *level = basic.getRealVoltageLevel();
            break;
        case CP:
            *level = basic.getRealPowerLevel();
            break;
        }
    }
    if (mode == CC || mode == CR)
        *voltageLevel(*this) = basic.getRealVoltageLevel();
    return 0;
}

SCPIERR_T ABC_MEMORY::recall(Basic &basic, ArbitraryModel *arb)
{
    if (Source::programRunning())
        return Error::ProgramRunning;
    const int mode = int(Source::m_functionMode.load());
    if (isArb(mode)) {
        if (!arb)
            return Error::ExecutionError;
        const SCPIERR_T result = arb->setTable(arbitraryPoints);
        return result ? result : arb->transmit(UpdateIfChanged);
    }
    const double *level = modeLevel(*this, mode);
    SCPIERR_T result = 0;
    if (level) {
        switch (mode) {
        case CC:
            result = basic.setRealCurrentLevel(*level, UpdateIfChanged);
            break;
        case CR:
            result = basic.setRealConductanceLevel(*level, UpdateIfChanged);
            break;
        case CV:
            return basic.setRealVoltageLevel(*level, UpdateIfChanged);
        case CP:
            return basic.setRealPowerLevel(*level, UpdateIfChanged);
        }
    }
    const SCPIERR_T voltage = basic.setRealVoltageLevel(*voltageLevel(*this), UpdateIfChanged);
    return result ? result : voltage;
}

QString ABC_MEMORY::preview() const
{
    static const char *const units[] = { "A", "S", "V", "W" };
    const int mode = int(Source::m_functionMode.load());
    const double *level = modeLevel(*this, mode);
    if (!level)
        return QString();
    return QString::number(*level, 'g', 6) + QLatin1String(units[mode]);
}

bool ABC_MEMORY::operator==(const ABC_MEMORY &o) const
{
    return cc_high == o.cc_high && cc_medium == o.cc_medium && cc_low == o.cc_low
        && cr_high == o.cr_high && cr_medium == o.cr_medium && cr_low == o.cr_low
        && cp_high == o.cp_high && cp_medium == o.cp_medium && cp_low == o.cp_low
        && cv_high == o.cv_high && cv_low == o.cv_low
        && samePoints(arbitraryPoints, o.arbitraryPoints);
}

AbcMemories::AbcMemories()
    : m_presets(Count)
{ }

SCPIERR_T AbcMemories::store(int index, const Basic &basic)
{
    if (index < 0 || index >= Count)
        return Error::DataOutOfRange;
    // The levels are read with no lock of ours held; only the copy back is locked.
    ABC_MEMORY preset = at(index);
    const SCPIERR_T result = preset.store(basic, m_arb);
    if (result == 0) {
        QMutexLocker lock(&m_mutex);
        m_presets[index] = preset;
    }
    return result;
}

SCPIERR_T AbcMemories::recall(int index, Basic &basic)
{
    if (index < 0 || index >= Count)
        return Error::DataOutOfRange;
    ABC_MEMORY preset = at(index);
    const SCPIERR_T result = preset.recall(basic, m_arb);
    if (result == 0) {
        // The table pinned the preset's first and last point.
        QMutexLocker lock(&m_mutex);
        m_presets[index].arbitraryPoints = preset.arbitraryPoints;
    }
    return result;
}

QString AbcMemories::preview(int index) const
{
    if (index < 0 || index >= Count)
        return QString();
    return at(index).preview();
}

void AbcMemories::reset()
{
    QMutexLocker lock(&m_mutex);
    for (ABC_MEMORY &preset : m_presets)
        preset = ABC_MEMORY();
}

ABC_MEMORY AbcMemories::at(int index) const
{
    QMutexLocker lock(&m_mutex);
    return m_presets.value(index);
}

QVector<ABC_MEMORY> AbcMemories::all() const
{
    QMutexLocker lock(&m_mutex);
    return m_presets;
}

void AbcMemories::replace(const QVector<ABC_MEMORY> &presets)
{
    if (presets.size() != Count)
        return;
    QMutexLocker lock(&m_mutex);
    m_presets = presets;
}

} // namespace vek
