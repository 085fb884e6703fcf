#pragma once

#include "engine/ioc/IocProtocol.h"

#include <QFlags>
#include <QVector>

#include <cstddef>

namespace ioc {

class AvlTree;

// One write unit of the register protocol: a controller address and the data words written there.
struct StepRecord
{
    quint32 address = 0;
    QVector<quint32> words;
};

// One program step, and at the same time one node of the step tree as the I/O controller holds
// it. Steps live only in a fixed pool of PoolSize slots; the slot fixes the two controller
// addresses: the 16-word data record at 64 * slot and the 8-word node record at
// 0x400000 + 32 * slot. `new ProgramStep(n)` returns null when the pool is full.
// No lock of its own: a step of a tree handed to the writer link is changed only while holding
// the link's shadow-register mutex. The pool's slot bookkeeping has its own lock.
class ProgramStep final
{
public:
    static constexpr int PoolSize = 20000;
    static constexpr quint32 NodeBase = Address::StepNode;
    static constexpr quint32 DataRecordBytes = 64;
    static constexpr quint32 NodeRecordBytes = 32;
    static constexpr int DataRecordWords = Words::StepData;
    static constexpr int NodeRecordWords = Words::StepNode;
    static constexpr quint32 NoChild = 0xFFFFFFFF;
    static constexpr quint64 MinTime = 5;
    static constexpr quint64 MaxTime = (quint64(1) << 48) - 1;

    // Operate-word bits that make a step wait. Cut-off shares bit 11 with the pulse-width code.
    enum TrigWaitFlag : quint32 {
        WaitCutoff = 0x800,
        WaitTriggerIn = 0x8000,
        WaitBus = 0x20000000,
        WaitDigital2 = 0x40000000,
        WaitMSync = 0x80000000,
    };
    Q_DECLARE_FLAGS(TrigWait, TrigWaitFlag)
    static constexpr quint32 TrigWaitMask = 0xE0008800;

    // Operate-word bits that make a step generate a trigger. Bit 27 belongs to the mask only.
    enum TrigGenerateFlag : quint32 {
        GenerateTriggerOut = 0x4000,
        GenerateDigital0 = 0x1000000,
        GenerateDigital1 = 0x2000000,
        GenerateDigital2 = 0x4000000,
        GenerateTALink = 0x10000000,
    };
    Q_DECLARE_FLAGS(TrigGenerate, TrigGenerateFlag)
    static constexpr quint32 TrigGenerateMask = 0x1F004000;

    // Pool allocation: the first free slot after the one taken last, wrapping round the pool.
    // Returns null when every slot is taken; the new-expression then constructs nothing.
    static void *operator new(std::size_t size) noexcept;
    static void operator delete(void *p) noexcept;
    static void *operator new[](std::size_t) = delete;
    static void operator delete[](void *) = delete;

    // The step whose node record is at a controller address; null outside the node area or
    // for a free slot.
    static ProgramStep *programStepInfo(quint32 nodeAddress);
    static int freeSlots();

    // Pulse-width code of the operate word (bits 0-13): a three-digit mantissa of BCD digits
    // and its decade; digits are truncated. Widths above 1,000,000 (or below 0) encode as 0.
    static quint32 setCommTriggerOutPulseWidth(long width);
    static long getCommTriggerOutPulseWidth(quint32 operate);

    // The records laid out as one driver message: [address, count, words...] per record.
    static QVector<quint32> messageWords(const QVector<StepRecord> &records);

    explicit ProgramStep(unsigned stepNumber);
    ~ProgramStep() = default;
    ProgramStep(const ProgramStep &) = delete;
    // Copies the settings (dwell, operate word, levels, limits, ramp) and the loop count and
    // marks both records; number, children and addresses stay.
    ProgramStep &operator=(const ProgramStep &other);

    unsigned stepNumber() const { return m_stepNumber; }
    // 0 left subtree higher, 1 even, 2 right subtree higher.
    int balance() const { return m_balance; }
    int slot() const { return int((m_nodeAddress - NodeBase) / NodeRecordBytes); }
    quint32 nodeAddress() const { return m_nodeAddress; }
    quint32 dataAddress() const { return m_dataAddress; }
    ProgramStep *leftChild() const { return m_left; }
    ProgramStep *rightChild() const { return m_right; }
    quint32 leftChildAddress() const { return m_leftAddress; }
    quint32 rightChildAddress() const { return m_rightAddress; }

    // Setters mark the data record only when the stored value changes, unless noted.
    quint64 time() const { return m_time; }
    void setTime(quint64 microseconds);
    double realTime() const { return double(m_time) / 1e6; }
    // Ignored unless seconds > 0.
    void setRealTime(double seconds);

    quint32 operate() const { return m_operate; }
    void setOperate(quint32 word);
    bool isLoad() const { return m_operate & LoadBit; }
    // Marks the data record even when the bit does not change.
    void setLoad(bool on);
    bool isARB() const { return m_operate & ArbBit; }
    void setARB(bool on);
    bool isOutputShort() const { return m_operate & ShortBit; }
    void setOutputShort(bool on);
    bool ocTripAction() const { return m_operate & OcTripBit; }
    void setOcTripAction(bool trip);
    bool opTripAction() const { return m_operate & OpTripBit; }
    void setOpTripAction(bool trip);
    bool uvpState() const { return m_operate & UvpBit; }
    void setUvpState(bool on);
    bool addCV() const { return m_operate & AddCvBit; }
    void setAddCV(bool on);
    TrigWait triggerWait() const { return TrigWait(m_operate & TrigWaitMask); }
    void setTriggerWait(TrigWait flags);
    TrigGenerate triggerGenerate() const { return TrigGenerate(m_operate & TrigGenerateMask); }
    void setTriggerGenerate(TrigGenerate flags);
    bool isTriggerOut() const { return m_operate & GenerateTriggerOut; }
    void setTriggerOut(bool on);
    // Replaces bits 0-14, so it also clears the trigger-out bit: set the width first.
    void setTriggerOutPulseWidth(long width);
    long triggerOutPulseWidth() const { return getCommTriggerOutPulseWidth(m_operate); }

    quint32 dc() const { return m_dc; }
    void setDc(quint32 value);
    // Slew rate and CC limit share one word.
    quint32 slewRate() const { return m_slewOrCcLimit; }
    void setSlewRate(quint32 value);
    quint32 ccLimit() const { return m_slewOrCcLimit; }
    void setCcLimit(quint32 value);
    quint32 cvLimit() const { return m_cvLimit; }
    void setCvLimit(quint32 value);
    quint32 cp() const { return m_cp; }
    void setCp(quint32 value);
    quint32 uvp() const { return m_uvp; }
    void setUvp(quint32 value);

    // A ramp moves from start to target over the dwell time (set the dwell first). The increment
    // is the change per microsecond, bit 31 set when falling. Off keeps the ramp words.
    bool isRamp() const { return m_operate & RampBit; }
    void setRamp(bool on, quint32 start, quint32 target, bool onCp);
    quint32 rampIncrement() const { return m_rampIncrement; }
    quint32 rampRemainder() const { return m_rampRemainder; }
    quint32 rampStart() const { return m_rampStart; }
    bool rampOnCp() const { return m_rampOnCp; }

    quint32 loop() const { return m_loop; }
    // 0 is taken as 1. Marks the node record on change.
    void setLoop(quint32 count);

    // Child setters mark the node record when the child changes; the tree links only through them.
    void setLeftChild(ProgramStep *step);
    void setRightChild(ProgramStep *step);

    // The step runs the tree's program instead of its own data (ignored for a tree without
    // head). setOriginalStep() makes it an ordinary step with loop count 1 again and marks its
    // data record too, since the slot's data record was not kept up to date while it was a call.
    void setSubProgram(const AvlTree *tree);
    void setOriginalStep();
    bool isSubProgram() const { return m_dataAddress >= NodeBase; }

    bool isDataChanged() const { return m_dataChanged; }
    bool isLinkChanged() const { return m_linkChanged; }
    StepRecord dataRecord() const;
    StepRecord nodeRecord() const;
    // The records whose marks are set, data record first; a sub-program call has no data
    // record of its own. takeRecords() also clears both marks, as sending does.
    QVector<StepRecord> records() const;
    QVector<StepRecord> takeRecords();

private:
    friend class AvlTree;

    static constexpr quint32 PulseWidthMask = 0x7FFF;
    static constexpr quint32 LoadBit = 0x10000;
    static constexpr quint32 RampBit = 0x20000;
    static constexpr quint32 ArbBit = 0x40000;
    static constexpr quint32 ShortBit = 0x80000;
    static constexpr quint32 OcTripBit = 0x100000;
    static constexpr quint32 OpTripBit = 0x200000;
    static constexpr quint32 UvpBit = 0x400000;
    static constexpr quint32 AddCvBit = 0x800000;

    quint32 ownDataAddress() const { return quint32(slot()) * DataRecordBytes; }
    void setOperateBit(quint32 bit, bool on);
    void setWord(quint32 &word, quint32 value);
    // Marks the node record on change; back to the own data record also marks the data record.
    void setDataAddress(quint32 address);
    // Takes another step's whole payload: settings, loop count and what it runs.
    void takePayload(const ProgramStep &other);

    unsigned m_stepNumber;
    int m_balance = 1; // 0 left subtree higher, 1 even, 2 right subtree higher
    ProgramStep *m_left = nullptr;
    ProgramStep *m_right = nullptr;
    quint32 m_nodeAddress;
    quint64 m_time = 50; // microseconds
    quint32 m_operate = 0x10; // trigger-out pulse width 10
    quint32 m_dc = 0;
    quint32 m_slewOrCcLimit = 0xFFFFFFFF;
    quint32 m_cvLimit = 0;
    quint32 m_cp = 0;
    quint32 m_uvp = 0;
    quint32 m_rampIncrement = 0;
    quint32 m_rampRemainder = 0;
    quint32 m_rampStart = 0;
    bool m_rampOnCp = false;
    quint32 m_loop = 1;
    quint32 m_dataAddress;
    quint32 m_leftAddress = NoChild;
    quint32 m_rightAddress = NoChild;
    bool m_dataChanged = true;
    bool m_linkChanged = true;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ProgramStep::TrigWait)
Q_DECLARE_OPERATORS_FOR_FLAGS(ProgramStep::TrigGenerate)

} // namespace ioc
