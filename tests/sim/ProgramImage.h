#pragma once

#include <QVector>
#include <QtGlobal>

namespace sim {
class RegisterMemory;
}

// Step records written by hand from the record layouts, for the simulated board's tests: a
// 16-word step data record at 64 · slot and an 8-word node record at 0x400000 + 32 · slot.
// Deliberately independent of the program's own step encoder, so that each checks the other.
class ProgramImage
{
public:
    struct Step
    {
        quint64 dwellUs = 50;
        quint32 operate = 0x10010; // load on, trigger-output pulse width 10
        quint32 dcLevel = 0;
        quint32 loops = 1;
        quint32 call = 0; // head node of a called program; 0: an ordinary step
        quint32 rampIncrement = 0;
        quint32 cpLevel = 0;
    };

    static constexpr quint32 None = 0xFFFFFFFF;
    static quint32 node(quint32 slot) { return 0x400000 + 32 * slot; }

    // A program laid out as the engine allocates it: tail, last step and head in slots first,
    // first + 1 and first + 2, the steps in the slots after them as a balanced tree in key
    // order. Returns the head's node address.
    quint32 program(quint32 first, quint32 loops, const QVector<Step> &steps, const Step &last);
    // Step data record of a slot (used to change levels of a written program).
    void data(quint32 slot, const Step &step);
    // The program root and a command word in the program group.
    void root(quint32 head, quint32 command = 0);
    void unit(quint32 address, const QVector<quint32> &words);

    // All units so far as one message, and the same written straight into register memory.
    const QVector<quint32> &message() const { return m_message; }
    void writeTo(sim::RegisterMemory &memory) const;
    void clear() { m_message.clear(); }

private:
    quint32 subtree(quint32 firstSlot, int from, int to, const QVector<Step> &steps);
    void nodeRecord(quint32 slot, quint32 loops, quint32 data, quint32 left, quint32 right);

    QVector<quint32> m_message;
};
