#pragma once

#include <QHash>
#include <QVector>
#include <QtGlobal>

namespace sim {

// Every word the program has written, by byte address (consecutive words 4 apart). Words never
// written read as their power-on value: the trigger group and the mode word have non-zero ones,
// everything else is 0.
class RegisterMemory
{
public:
    static constexpr quint32 ProgramGroup = 0x50000000;
    static constexpr quint32 CommandRegister = 0x50000004;
    static constexpr quint32 TriggerGroup = 0x50000008;
    static constexpr quint32 SineGroup = 0x50000020;
    static constexpr quint32 CutOffGroup = 0x50000040;
    static constexpr quint32 ModeWord = 0x60000000;
    static constexpr quint32 CalibrationCommand = 0x60000008;
    static constexpr quint32 AlarmCommand = 0x6000000C;
    static constexpr quint32 CalibrationBase = 0x70000000;
    static constexpr quint32 NodeBase = 0x400000;

    static constexpr quint32 ArbTable = 0x30000000; // entry k at + 4k

    quint32 word(quint32 address) const;
    // The words written from address on, up to the first one never written.
    QVector<quint32> writtenRun(quint32 address) const;
    void setWord(quint32 address, quint32 value) { m_words.insert(address, value); }
    void clear() { m_words.clear(); }

    quint32 modeWord() const { return word(ModeWord); }
    quint32 programRoot() const { return word(ProgramGroup); }
    // Trigger group word i (0 trigger word .. 5 sense aperture).
    quint32 trigger(int i) const { return word(TriggerGroup + 4 * quint32(i)); }

private:
    QHash<quint32, quint32> m_words;
};

} // namespace sim
