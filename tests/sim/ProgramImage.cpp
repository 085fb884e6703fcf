#include "tests/sim/ProgramImage.h"

#include "sim/RegisterMemory.h"

quint32 ProgramImage::program(
    quint32 first, quint32 loops, const QVector<Step> &steps, const Step &last)
{
    const quint32 tail = first;
    const quint32 lastSlot = first + 1;
    const quint32 head = first + 2;
    const quint32 root = subtree(first + 3, 0, steps.size() - 1, steps);
    nodeRecord(head, loops, root, None, None);
    nodeRecord(tail, 1, node(lastSlot), None, None);
    data(lastSlot, last);
    nodeRecord(lastSlot, 1, 64 * lastSlot, None, None);
    return node(head);
}

quint32 ProgramImage::subtree(quint32 firstSlot, int from, int to, const QVector<Step> &steps)
{
    if (from > to)
        return None;
    const int mid = (from + to + 1) / 2;
    const quint32 slot = firstSlot + quint32(mid);
    const quint32 left = subtree(firstSlot, from, mid - 1, steps);
    const quint32 right = subtree(firstSlot, mid + 1, to, steps);
    const Step &s = steps.at(mid);
    if (s.call == 0)
        data(slot, s);
    nodeRecord(slot, s.loops, s.call != 0 ? s.call : 64 * slot, left, right);
    return node(slot);
}

void ProgramImage::data(quint32 slot, const Step &s)
{
    QVector<quint32> words(16, 0);
    words[0] = quint32(s.dwellUs & 0xFFFFFFFF);
    words[1] = quint32(s.dwellUs >> 32);
    words[2] = s.operate;
    words[3] = s.dcLevel;
    words[4] = 0xFFFFFFFF;
    words[6] = s.cpLevel;
    words[8] = s.rampIncrement;
    unit(64 * slot, words);
}

void ProgramImage::nodeRecord(
    quint32 slot, quint32 loops, quint32 data, quint32 left, quint32 right)
{
    unit(node(slot), { loops, 0, 0, 0, data, left, right, 0 });
}

void ProgramImage::root(quint32 head, quint32 command)
{
    unit(0x50000000, { head, command });
}

void ProgramImage::unit(quint32 address, const QVector<quint32> &words)
{
    m_message << address << quint32(words.size()) << words;
}

void ProgramImage::writeTo(sim::RegisterMemory &memory) const
{
    for (int i = 0; i + 2 <= m_message.size();) {
        const quint32 address = m_message.at(i);
        const int count = int(m_message.at(i + 1));
        for (int j = 0; j < count; ++j)
            memory.setWord(address + 4 * quint32(j), m_message.at(i + 2 + j));
        i += 2 + count;
    }
}
