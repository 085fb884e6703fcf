#include "sim/RegisterMemory.h"

namespace sim {

QVector<quint32> RegisterMemory::writtenRun(quint32 address) const
{
    QVector<quint32> words;
    for (auto it = m_words.constFind(address); it != m_words.constEnd();
         it = m_words.constFind(address)) {
        words << it.value();
        address += 4;
    }
    return words;
}

quint32 RegisterMemory::word(quint32 address) const
{
    const auto it = m_words.constFind(address);
    if (it != m_words.constEnd())
        return it.value();
    switch (address) {
    case ModeWord:
        return 0x01000001;
    case TriggerGroup:
        return 0x101;
    case TriggerGroup + 12: // acquisition trigger count
        return 1;
    case TriggerGroup + 16: // acquisition timer, controller counts
    case TriggerGroup + 20: // sense aperture, controller counts
        return 12500;
    default:
        return 0;
    }
}

} // namespace sim
