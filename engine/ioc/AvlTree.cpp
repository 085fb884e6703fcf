#include "engine/ioc/AvlTree.h"

#include "engine/ioc/IoControl.h"

#include <QMutex>

namespace ioc {

namespace {

// Balance codes of a step.
constexpr int LeftHigher = 0;
constexpr int Even = 1;
constexpr int RightHigher = 2;

// Held from taking a step set until the writer has queued it, so that sets taken one after the
// other are sent in that order. Lock order: this, then the link's shadow-register mutex.
QBasicMutex s_handOverMutex;

} // namespace

AvlTree::AvlTree(QObject *parent)
    : QObject(parent)
{
    // Allocation order tail, last step, head: the controller finds tail and last step 64 and 32
    // bytes below the head's node when the three slots are consecutive.
    auto *tail = new ProgramStep(1);
    auto *lastStep = tail ? new ProgramStep(1) : nullptr;
    auto *head = lastStep ? new ProgramStep(1) : nullptr;
    if (!head) {
        delete lastStep;
        delete tail;
        return;
    }
    m_tail = tail;
    m_lastStep = lastStep;
    m_head = head;
    m_tail->setDataAddress(m_lastStep->nodeAddress());
}

AvlTree::~AvlTree()
{
    destroy(m_root);
    delete m_head;
    delete m_tail;
    delete m_lastStep;
}

quint32 AvlTree::getRootAddress() const
{
    return m_head ? m_head->nodeAddress() : 0;
}

int AvlTree::insert(unsigned number, ProgramStep **inserted)
{
    // Allocate before touching the tree, so that a full pool leaves nodes and marks as they were.
    ProgramStep *step = m_head ? new ProgramStep(number) : nullptr;
    if (inserted)
        *inserted = step;
    if (!step)
        return MemoryError;
    attach(step);
    return 0;
}

bool AvlTree::insertStep(ProgramStep *step)
{
    if (!step || !m_head)
        return false;
    attach(step);
    return true;
}

bool AvlTree::remove(unsigned number)
{
    bool found = false;
    bool shrank = false;
    ProgramStep *root = removeAt(m_root, number, found, shrank);
    if (found)
        setRoot(root);
    return found;
}

ProgramStep *AvlTree::search(unsigned number) const
{
    ProgramStep *node = m_root;
    while (node && node->m_stepNumber != number)
        node = number < node->m_stepNumber ? node->m_left : node->m_right;
    return node;
}

void AvlTree::renumber(int first, int delta)
{
    if (first < 0)
        return;
    QVector<ProgramStep *> steps;
    collect(m_root, steps);
    int i = 0;
    while (i < steps.size() && steps[i]->m_stepNumber != unsigned(first))
        ++i;
    if (i == steps.size())
        return;
    const qint64 start = qint64(first) + delta;
    unsigned counter = start < 0 ? 0 : unsigned(start);
    for (; i < steps.size(); ++i)
        steps[i]->m_stepNumber = counter++;
}

QList<unsigned> AvlTree::getSetpsList() const
{
    QVector<ProgramStep *> steps;
    collect(m_root, steps);
    QList<unsigned> numbers;
    numbers.reserve(steps.size());
    for (const ProgramStep *step : qAsConst(steps))
        numbers.append(step->m_stepNumber);
    return numbers;
}

int AvlTree::count() const
{
    QVector<ProgramStep *> steps;
    collect(m_root, steps);
    return steps.size();
}

int AvlTree::makeSteadyProgram()
{
    // Both steps are allocated before either joins the tree; step 2 first, so it becomes the root.
    auto *step2 = m_head ? new ProgramStep(2) : nullptr;
    auto *step1 = step2 ? new ProgramStep(1) : nullptr;
    if (!step1) {
        delete step2;
        return MemoryError;
    }
    attach(step2);
    attach(step1);
    m_head->setLoop(0xFFFFFFFF);
    step1->setTime(ProgramStep::MaxTime);
    step2->setTime(ProgramStep::MaxTime);
    return 0;
}

QVector<StepSetItem> AvlTree::takeStepSet()
{
    QVector<StepSetItem> items;
    if (!m_head)
        return items;
    appendRecords(m_head, items);
    QVector<ProgramStep *> steps;
    collect(m_root, steps);
    for (ProgramStep *step : qAsConst(steps))
        appendRecords(step, items);
    if (m_root)
        items.append(StepSetItem { true, {} });
    appendRecords(m_tail, items);
    appendRecords(m_lastStep, items);
    return items;
}

void AvlTree::transferTo(IoControl &writer)
{
    if (!m_head)
        return;
    QMutexLocker order(&s_handOverMutex);
    QVector<StepSetItem> items;
    {
        QMutexLocker shadow(&IoControl::shadowMutex());
        items = takeStepSet();
    }
    QVector<IoControl::StepMessage> messages;
    messages.reserve(items.size());
    for (const StepSetItem &item : qAsConst(items))
        messages.append({ item.statusRead, ProgramStep::messageWords(item.records) });
    writer.transferProgram(getRootAddress(), messages);
}

ProgramStep *AvlTree::insertAt(ProgramStep *node, ProgramStep *step, bool &grew)
{
    if (!node) {
        grew = true;
        return step;
    }
    bool childGrew = false;
    if (node->m_stepNumber < step->m_stepNumber) {
        node->setRightChild(insertAt(node->m_right, step, childGrew));
        grew = false;
        if (childGrew) {
            if (node->m_balance == LeftHigher) {
                node->m_balance = Even;
            } else if (node->m_balance == Even) {
                node->m_balance = RightHigher;
                grew = true;
            } else {
                node = rebalanceRightGrew(node);
            }
        }
    } else {
        node->setLeftChild(insertAt(node->m_left, step, childGrew));
        grew = false;
        if (childGrew) {
            if (node->m_balance == RightHigher) {
                node->m_balance = Even;
            } else if (node->m_balance == Even) {
                node->m_balance = LeftHigher;
                grew = true;
            } else {
                node = rebalanceLeftGrew(node);
            }
        }
    }
    return node;
}

ProgramStep *AvlTree::removeAt(ProgramStep *node, unsigned number, bool &found, bool &shrank)
{
    shrank = false;
    if (!node)
        return nullptr;
    if (number == node->m_stepNumber) {
        found = true;
        if (!node->m_left || !node->m_right) {
            ProgramStep *child = node->m_left ? node->m_left : node->m_right;
            delete node;
            shrank = true;
            return child;
        }
        // Two children: this node takes over its predecessor, whose own node leaves the tree.
        // Detaching by pointer keeps the right payload even when numbers repeat.
        ProgramStep *predecessor = nullptr;
        bool leftShrunk = false;
        node->setLeftChild(detachMax(node->m_left, predecessor, leftShrunk));
        node->m_stepNumber = predecessor->m_stepNumber;
        node->takePayload(*predecessor);
        delete predecessor;
        shrank = leftShrunk;
        return leftShrunk ? leftShrank(node, shrank) : node;
    }
    bool childShrank = false;
    if (number < node->m_stepNumber) {
        node->setLeftChild(removeAt(node->m_left, number, found, childShrank));
        return childShrank ? leftShrank(node, shrank) : node;
    }
    node->setRightChild(removeAt(node->m_right, number, found, childShrank));
    return childShrank ? rightShrank(node, shrank) : node;
}

ProgramStep *AvlTree::detachMax(ProgramStep *node, ProgramStep *&max, bool &shrank)
{
    if (!node->m_right) {
        max = node;
        shrank = true;
        return node->m_left;
    }
    bool childShrank = false;
    node->setRightChild(detachMax(node->m_right, max, childShrank));
    shrank = false;
    return childShrank ? rightShrank(node, shrank) : node;
}

ProgramStep *AvlTree::leftShrank(ProgramStep *node, bool &shrank)
{
    if (node->m_balance == LeftHigher) {
        node->m_balance = Even;
        shrank = true;
        return node;
    }
    if (node->m_balance == Even) {
        node->m_balance = RightHigher;
        shrank = false;
        return node;
    }
    return rebalanceRightWither(node, shrank);
}

ProgramStep *AvlTree::rightShrank(ProgramStep *node, bool &shrank)
{
    if (node->m_balance == RightHigher) {
        node->m_balance = Even;
        shrank = true;
        return node;
    }
    if (node->m_balance == Even) {
        node->m_balance = LeftHigher;
        shrank = false;
        return node;
    }
    return rebalanceLeftWither(node, shrank);
}

ProgramStep *AvlTree::rebalanceLeftGrew(ProgramStep *node)
{
    ProgramStep *left = node->m_left;
    if (left->m_balance == LeftHigher) {
        node->setLeftChild(left->m_right);
        left->setRightChild(node);
        node->m_balance = Even;
        left->m_balance = Even;
        return left;
    }
    return rotateDoubleLeftRight(node);
}

ProgramStep *AvlTree::rebalanceRightGrew(ProgramStep *node)
{
    ProgramStep *right = node->m_right;
    if (right->m_balance == RightHigher) {
        node->setRightChild(right->m_left);
        right->setLeftChild(node);
        node->m_balance = Even;
        right->m_balance = Even;
        return right;
    }
    return rotateDoubleRightLeft(node);
}

ProgramStep *AvlTree::rebalanceLeftWither(ProgramStep *node, bool &shrank)
{
    ProgramStep *left = node->m_left;
    if (left->m_balance == RightHigher) {
        shrank = true;
        return rotateDoubleLeftRight(node);
    }
    node->setLeftChild(left->m_right);
    left->setRightChild(node);
    if (left->m_balance == Even) {
        left->m_balance = RightHigher; // node stays left-higher
        shrank = false;
    } else {
        node->m_balance = Even;
        left->m_balance = Even;
        shrank = true;
    }
    return left;
}

ProgramStep *AvlTree::rebalanceRightWither(ProgramStep *node, bool &shrank)
{
    ProgramStep *right = node->m_right;
    if (right->m_balance == LeftHigher) {
        shrank = true;
        return rotateDoubleRightLeft(node);
    }
    node->setRightChild(right->m_left);
    right->setLeftChild(node);
    if (right->m_balance == Even) {
        right->m_balance = LeftHigher; // node stays right-higher
        shrank = false;
    } else {
        node->m_balance = Even;
        right->m_balance = Even;
        shrank = true;
    }
    return right;
}

ProgramStep *AvlTree::rotateDoubleLeftRight(ProgramStep *node)
{
    ProgramStep *left = node->m_left;
    ProgramStep *middle = left->m_right;
    left->setRightChild(middle->m_left);
    middle->setLeftChild(left);
    node->setLeftChild(middle->m_right);
    middle->setRightChild(node);
    node->m_balance = middle->m_balance == LeftHigher ? RightHigher : Even;
    left->m_balance = middle->m_balance == RightHigher ? LeftHigher : Even;
    middle->m_balance = Even;
    return middle;
}

ProgramStep *AvlTree::rotateDoubleRightLeft(ProgramStep *node)
{
    ProgramStep *right = node->m_right;
    ProgramStep *middle = right->m_left;
    right->setLeftChild(middle->m_right);
    middle->setRightChild(right);
    node->setRightChild(middle->m_left);
    middle->setLeftChild(node);
    node->m_balance = middle->m_balance == RightHigher ? LeftHigher : Even;
    right->m_balance = middle->m_balance == LeftHigher ? RightHigher : Even;
    middle->m_balance = Even;
    return middle;
}

void AvlTree::collect(ProgramStep *node, QVector<ProgramStep *> &out)
{
    if (!node)
        return;
    collect(node->m_left, out);
    out.append(node);
    collect(node->m_right, out);
}

void AvlTree::destroy(ProgramStep *node)
{
    if (!node)
        return;
    destroy(node->m_left);
    destroy(node->m_right);
    delete node;
}

void AvlTree::appendRecords(ProgramStep *step, QVector<StepSetItem> &out)
{
    QVector<StepRecord> records = step->takeRecords();
    if (!records.isEmpty())
        out.append(StepSetItem { false, records });
}

void AvlTree::attach(ProgramStep *step)
{
    bool grew = false;
    setRoot(insertAt(m_root, step, grew));
}

void AvlTree::setRoot(ProgramStep *root)
{
    m_root = root;
    // An empty program's head runs its own data record again, never a freed node.
    m_head->setDataAddress(root ? root->nodeAddress() : m_head->ownDataAddress());
}

} // namespace ioc
