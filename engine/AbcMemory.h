#pragma once

#include "engine/ArbitraryModel.h"
#include "engine/EngineTypes.h"

#include <QList>

#include <QMutex>
#include <QString>
#include <QVector>

namespace vek {

class Basic;

// One A/B/C preset: the level of each mode per range (A, S, W per current range low, medium,
// high; V per voltage range low, high). Storing copies the live level of the present mode and
// range (CC and CR also the CV level of the present voltage range); recalling applies it again.
// In ARB mode a preset holds the arbitrary table's points; without a table handed down (arb
// null) store and recall in ARB mode are -200.
struct ABC_MEMORY
{
    double cc_high = 0.0;
    double cc_medium = 0.0;
    double cc_low = 0.0;
    double cr_high = 0.0;
    double cr_medium = 0.0;
    double cr_low = 0.0;
    double cp_high = 0.0;
    double cp_medium = 0.0;
    double cp_low = 0.0;
    double cv_high = 0.0;
    double cv_low = 0.0;
    QList<ARBITRARY_DATA> arbitraryPoints;

    // 0, or -200 in ARB mode without a table.
    SCPIERR_T store(const Basic &basic, const ArbitraryModel *arb = nullptr);
    // 104 while a program runs, waits or is suspended (nothing applied); else the setters'
    // result (CC, CR: the mode level's error first, the voltage level applied either way).
    // ARB: the table's refusal (nothing sent), else it is sent; the points are pinned as the
    // table pins them.
    SCPIERR_T recall(Basic &basic, ArbitraryModel *arb = nullptr);
    // The present mode's level with its unit ("1.5A"); empty in ARB mode.
    QString preview() const;

    bool operator==(const ABC_MEMORY &o) const;
    bool operator!=(const ABC_MEMORY &o) const { return !(*this == o); }
};

// The three presets A, B, C (indexes 0 to 2) of the engine. The parser thread (MEMory commands)
// and the GUI thread (preset panel, setups) use them at once: every access takes the lock, which
// is never held while an engine setter runs.
class AbcMemories
{
public:
    static constexpr int Count = 3;

    AbcMemories();

    // The arbitrary table that ARB presets store and recall; it must outlive this object.
    void setArbitraryModel(ArbitraryModel *arb) { m_arb = arb; }

    // -222 for an index outside 0 to 2; otherwise as ABC_MEMORY.
    SCPIERR_T store(int index, const Basic &basic);
    SCPIERR_T recall(int index, Basic &basic);
    QString preview(int index) const;
    // Every level of all three presets to 0 (*RST).
    void reset();
    ABC_MEMORY at(int index) const;
    QVector<ABC_MEMORY> all() const;
    // A setup recall; ignored unless it holds exactly three presets.
    void replace(const QVector<ABC_MEMORY> &presets);

private:
    mutable QMutex m_mutex; // guards m_presets
    QVector<ABC_MEMORY> m_presets;
    ArbitraryModel *m_arb = nullptr; // set once at start-up
};

} // namespace vek
