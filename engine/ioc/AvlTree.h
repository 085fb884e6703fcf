#pragma once

#include "engine/ioc/ProgramStep.h"

#include <QList>
#include <QObject>
#include <QVector>

namespace ioc {

class IoControl;

// One item of a step set, in sending order: one step's changed records, which travel as one
// message, or the status read that the writer makes between the tree and its tail.
struct StepSetItem
{
    bool statusRead = false;
    QVector<StepRecord> records; // empty for the status read
};

// The steps of one program as an AVL tree keyed by step number. The tree in engine memory is
// the tree in controller memory: every insertion, removal and rotation changes children only
// through setLeftChild/setRightChild, so exactly the touched node records are marked.
// Besides the steps the tree owns three auxiliary steps: the head (program root register points
// at it; its data address is the root's node, its loop count the program's), the tail (runs the
// last step) and the last step (the settings held after the program ends).
// No lock: a tree handed to the writer link is changed only under the link's shadow-register
// mutex.
class AvlTree : public QObject
{
    Q_OBJECT

public:
    // SCPI -311 "Memory error": the step pool is full.
    static constexpr int MemoryError = -311;

    // Allocates tail, last step and head, in this order. When the pool cannot hold all three,
    // none is kept and the tree is not valid: every insertion then fails with MemoryError.
    explicit AvlTree(QObject *parent = nullptr);
    // Frees every step, then head, tail and last step. Their controller records stay where they
    // are until a later owner of the slots is sent.
    ~AvlTree() override;

    bool isValid() const { return m_head; }
    ProgramStep *head() const { return m_head; }
    ProgramStep *root() const { return m_root; }
    ProgramStep *tail() const { return m_tail; }
    ProgramStep *lastStep() const { return m_lastStep; }
    // The program root register value: the head's node address (0 for a tree that is not valid).
    quint32 getRootAddress() const;

    // Inserts a new default step; an equal number goes to the left of the present one. Returns
    // 0, or MemoryError with the tree and every mark left as they were when the pool is full.
    int insert(unsigned number, ProgramStep **inserted = nullptr);
    // Takes a step the caller allocated (new ProgramStep(number)) and owns it from then on; for
    // callers that allocate every step of a change before they touch the tree. False, with the
    // step still the caller's, for a null step or a tree that is not valid.
    bool insertStep(ProgramStep *step);
    // Removes the step and frees its slot; false when no step has the number. A step with two
    // children takes over its predecessor's whole payload (settings, loop count and what it runs)
    // and the predecessor's node leaves the tree instead.
    bool remove(unsigned number);
    ProgramStep *search(unsigned number) const;
    // The step numbered first and all steps after it in key order get consecutive numbers from
    // first + delta (0 when negative). No step numbered first: no change. The caller keeps the
    // numbers ascending (renumbering after a gap or before a shift).
    void renumber(int first, int delta);
    // All step numbers in key order.
    QList<unsigned> getSetpsList() const;
    int count() const;

    // The steady setting as an endless two-step program: steps 2 and 1 (inserted in this order),
    // both dwelling 2^48 - 1 us, the head looping 0xFFFFFFFF times. For an empty tree; returns 0
    // or MemoryError with the tree unchanged.
    int makeSteadyProgram();

    // What the writer sends for this tree, in order: the head's records, the tree's in key order,
    // the status read (when the tree has steps), the tail's, the last step's. Only marked records
    // are listed; taking them clears the marks, as sending does.
    QVector<StepSetItem> takeStepSet();
    // Hands the step set to the writer link with the head's node address as program root; the
    // root register follows with the writer's next transfer(). The set is taken under the link's
    // shadow-register mutex, and sets reach the writer in the order they were taken, whichever
    // threads hand trees over. Nothing happens for a tree that is not valid.
    void transferTo(IoControl &writer);

private:
    static ProgramStep *insertAt(ProgramStep *node, ProgramStep *step, bool &grew);
    static ProgramStep *removeAt(ProgramStep *node, unsigned number, bool &found, bool &shrank);
    static ProgramStep *detachMax(ProgramStep *node, ProgramStep *&max, bool &shrank);
    static ProgramStep *leftShrank(ProgramStep *node, bool &shrank);
    static ProgramStep *rightShrank(ProgramStep *node, bool &shrank);
    static ProgramStep *rebalanceLeftGrew(ProgramStep *node);
    static ProgramStep *rebalanceRightGrew(ProgramStep *node);
    static ProgramStep *rebalanceLeftWither(ProgramStep *node, bool &shrank);
    static ProgramStep *rebalanceRightWither(ProgramStep *node, bool &shrank);
    static ProgramStep *rotateDoubleLeftRight(ProgramStep *node);
    static ProgramStep *rotateDoubleRightLeft(ProgramStep *node);
    static void collect(ProgramStep *node, QVector<ProgramStep *> &out);
    static void destroy(ProgramStep *node);
    static void appendRecords(ProgramStep *step, QVector<StepSetItem> &out);
    void attach(ProgramStep *step);
    void setRoot(ProgramStep *root);

    ProgramStep *m_head = nullptr;
    ProgramStep *m_root = nullptr;
    ProgramStep *m_tail = nullptr;
    ProgramStep *m_lastStep = nullptr;
};

} // namespace ioc
