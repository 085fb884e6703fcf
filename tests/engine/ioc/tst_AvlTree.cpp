#include "engine/ioc/AvlTree.h"
#include "engine/ioc/ProgramStep.h"

#include <QHash>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>
#include <vector>

using ioc::AvlTree;
using ioc::ProgramStep;
using ioc::StepRecord;
using ioc::StepSetItem;

namespace {

struct StepDeleter
{
    void operator()(ProgramStep *step) const { delete step; }
};
using StepPtr = std::unique_ptr<ProgramStep, StepDeleter>;

// Controller memory as the writer leaves it: the last words written at each record address.
class ControllerImage
{
public:
    void apply(const QVector<StepSetItem> &items)
    {
        for (const StepSetItem &item : items) {
            for (const StepRecord &record : item.records)
                m_memory.insert(record.address, record.words);
        }
    }

    // Walks the program from the root register as the controller would and compares every
    // reachable record with the tree. Returns the in-order node addresses it ran.
    QVector<quint32> run(quint32 rootRegister) const
    {
        QVector<quint32> order;
        const QVector<quint32> head = m_memory.value(rootRegister);
        if (head.size() == 8 && head[4] >= ProgramStep::NodeBase)
            walk(head[4], order);
        return order;
    }

    QVector<quint32> words(quint32 address) const { return m_memory.value(address); }

private:
    void walk(quint32 node, QVector<quint32> &order) const
    {
        if (node == ProgramStep::NoChild)
            return;
        const QVector<quint32> record = m_memory.value(node);
        if (record.size() != 8) {
            order.append(0xDEAD); // a link to memory never written
            return;
        }
        walk(record[5], order);
        order.append(node);
        walk(record[6], order);
    }

    QHash<quint32, QVector<quint32>> m_memory;
};

// "(left)number(right)", children left out when absent.
QString shape(const ProgramStep *step)
{
    if (!step)
        return QString();
    QString text;
    if (step->leftChild())
        text += '(' + shape(step->leftChild()) + ')';
    text += QString::number(step->stepNumber());
    if (step->rightChild())
        text += '(' + shape(step->rightChild()) + ')';
    return text;
}

// Height of a subtree, or -1 when a balance code or a child address is wrong below it.
int checkedHeight(const ProgramStep *step)
{
    if (!step)
        return 0;
    const int left = checkedHeight(step->leftChild());
    const int right = checkedHeight(step->rightChild());
    if (left < 0 || right < 0)
        return -1;
    const int code = left > right ? 0 : left == right ? 1 : 2;
    if (qAbs(left - right) > 1 || code != step->balance())
        return -1;
    return qMax(left, right) + 1;
}

// Which steps send node records in a step set: "H", "T", "L" for head, tail and last step,
// the step number otherwise, in sending order.
QStringList nodeRecordOwners(const AvlTree &tree, const QVector<StepSetItem> &items)
{
    QStringList owners;
    for (const StepSetItem &item : items) {
        for (const StepRecord &record : item.records) {
            if (record.address < ProgramStep::NodeBase)
                continue;
            if (record.address == tree.head()->nodeAddress())
                owners << "H";
            else if (record.address == tree.tail()->nodeAddress())
                owners << "T";
            else if (record.address == tree.lastStep()->nodeAddress())
                owners << "L";
            else
                owners << QString::number(
                    ProgramStep::programStepInfo(record.address)->stepNumber());
        }
    }
    return owners;
}

QVector<ProgramStep *> inOrder(ProgramStep *step)
{
    QVector<ProgramStep *> steps;
    if (step) {
        steps << inOrder(step->leftChild()) << step << inOrder(step->rightChild());
    }
    return steps;
}

// The image holds every record of the tree as the engine has it, and running it from the
// program root visits the steps in key order.
void verifyImage(const AvlTree &tree, const ControllerImage &image)
{
    QVector<quint32> nodes;
    const QVector<ProgramStep *> steps = inOrder(tree.root());
    for (const ProgramStep *step : steps)
        nodes << step->nodeAddress();
    QCOMPARE(image.run(tree.getRootAddress()), nodes);

    const QVector<ProgramStep *> all =
        QVector<ProgramStep *> { tree.head(), tree.tail(), tree.lastStep() } + steps;
    for (const ProgramStep *step : all) {
        QCOMPARE(image.words(step->nodeAddress()), step->nodeRecord().words);
        if (!step->isSubProgram())
            QCOMPARE(image.words(step->dataAddress()), step->dataRecord().words);
    }
}

QList<unsigned> toUnsigned(const QString &csv)
{
    QList<unsigned> numbers;
    for (const QString &part : csv.split(',', Qt::SkipEmptyParts))
        numbers << part.toUInt();
    return numbers;
}

} // namespace

class tst_AvlTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void insertion_data();
    void insertion();
    void removeWithTwoChildrenMovesWholePayload_data();
    void removeWithTwoChildrenMovesWholePayload();
    void removeAbsentChangesNothing();
    void emptiedTreeHeadRunsNoFreedNode();
    void renumber_data();
    void renumber();
    void controllerImageFollowsRandomEdits();
    void fullPoolFailsCleanly();
    void destructorFreesEverySlot();
};

void tst_AvlTree::initTestCase()
{
    // The steady program is the pool's first user: tail 0, last step 1, head 2, steps 2 and 1 in
    // slots 3 and 4.
    AvlTree steady;
    QCOMPARE(steady.makeSteadyProgram(), 0);
    QCOMPARE(steady.getRootAddress(), 0x400040u);
    QCOMPARE(steady.head()->dataAddress(), 0x400060u);
    QCOMPARE(steady.tail()->dataAddress(), 0x400020u);
    QCOMPARE(steady.search(1)->nodeAddress(), 0x400080u);
    QCOMPARE(shape(steady.root()), QString("(1)2"));

    const QVector<StepSetItem> items = steady.takeStepSet();
    QVector<quint32> addresses;
    for (const StepSetItem &item : items) {
        if (item.statusRead)
            addresses << 0xE0000000; // the status block
        for (const StepRecord &record : item.records)
            addresses << record.address;
    }
    const QVector<quint32> expected { 0x400040, // head: node record only
        0x100,
        0x400080, // step 1
        0xC0,
        0x400060, // step 2
        0xE0000000,
        0x400000, // tail: node record only
        0x40,
        0x400020 }; // last step
    QCOMPARE(addresses, expected);
    QCOMPARE(items[0].records[0].words,
        (QVector<quint32> { 0xFFFFFFFF, 0, 0, 0, 0x400060, 0xFFFFFFFF, 0xFFFFFFFF, 0 }));
    QCOMPARE(items[1].records[0].words[0], 0xFFFFFFFFu); // dwell 2^48 - 1
    QCOMPARE(items[1].records[0].words[1], 0xFFFFu);
    QCOMPARE(items[2].records[1].words[5], 0x400080u); // step 2's left child is step 1
    QVERIFY(steady.takeStepSet().size() == 1); // nothing changed: only the status read
}

void tst_AvlTree::insertion_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<unsigned>("number");
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QStringList>("marked");

    QTest::newRow("first step") << "" << 5u << "5" << QStringList { "H", "5" };
    QTest::newRow("no rotation") << "2,1" << 3u << "(1)2(3)" << QStringList { "2", "3" };
    QTest::newRow("1 2 3 single left")
        << "1,2" << 3u << "(1)2(3)" << QStringList { "H", "1", "2", "3" };
    QTest::newRow("3 2 1 single right")
        << "3,2" << 1u << "(1)2(3)" << QStringList { "H", "1", "2", "3" };
    QTest::newRow("3 1 2 double") << "3,1" << 2u << "(1)2(3)" << QStringList { "H", "1", "2", "3" };
    QTest::newRow("1 3 2 double") << "1,3" << 2u << "(1)2(3)" << QStringList { "H", "1", "2", "3" };
    QTest::newRow("rotation below the root")
        << "4,2,6,1" << 0u << "((0)1(2))4(6)" << QStringList { "0", "1", "2", "4" };
    QTest::newRow("double below the root")
        << "10,5,15,3" << 4u << "((3)4(5))10(15)" << QStringList { "3", "4", "5", "10" };
    QTest::newRow("equal number goes left") << "5" << 5u << "(5)5" << QStringList { "5", "5" };
    QTest::newRow("seven ascending")
        << "1,2,3,4,5,6" << 7u << "((1)2(3))4((5)6(7))" << QStringList { "4", "5", "6", "7" };
}

void tst_AvlTree::insertion()
{
    QFETCH(QString, before);
    QFETCH(unsigned, number);
    QFETCH(QString, shape);
    QFETCH(QStringList, marked);

    AvlTree tree;
    for (unsigned n : toUnsigned(before))
        QCOMPARE(tree.insert(n), 0);
    tree.takeStepSet();

    ProgramStep *inserted = nullptr;
    QCOMPARE(tree.insert(number, &inserted), 0);
    QVERIFY(inserted);
    QCOMPARE(inserted->stepNumber(), number);
    QCOMPARE(::shape(tree.root()), shape);
    QVERIFY(checkedHeight(tree.root()) > 0);
    QCOMPARE(tree.head()->dataAddress(), tree.root()->nodeAddress());
    QCOMPARE(nodeRecordOwners(tree, tree.takeStepSet()), marked);

    // A step the caller allocated goes to the same place with the same marks.
    AvlTree adopting;
    for (unsigned n : toUnsigned(before))
        QCOMPARE(adopting.insert(n), 0);
    adopting.takeStepSet();
    QVERIFY(adopting.insertStep(new ProgramStep(number)));
    QCOMPARE(::shape(adopting.root()), shape);
    QCOMPARE(nodeRecordOwners(adopting, adopting.takeStepSet()), marked);
}

void tst_AvlTree::removeWithTwoChildrenMovesWholePayload_data()
{
    QTest::addColumn<bool>("predecessorCalls");
    QTest::addColumn<bool>("removedCalls");

    QTest::newRow("ordinary steps") << false << false;
    QTest::newRow("predecessor calls a sub-program") << true << false;
    QTest::newRow("removed step called a sub-program") << false << true;
}

void tst_AvlTree::removeWithTwoChildrenMovesWholePayload()
{
    QFETCH(bool, predecessorCalls);
    QFETCH(bool, removedCalls);

    AvlTree sub;
    AvlTree tree;
    ProgramStep *one = nullptr;
    ProgramStep *two = nullptr;
    QCOMPARE(tree.insert(2, &two), 0);
    QCOMPARE(tree.insert(1, &one), 0);
    QCOMPARE(tree.insert(3), 0);
    one->setDc(11);
    one->setTime(777);
    one->setLoop(3);
    two->setDc(22);
    two->setLoop(5);
    if (predecessorCalls)
        one->setSubProgram(&sub);
    if (removedCalls)
        two->setSubProgram(&sub);
    ControllerImage image;
    image.apply(tree.takeStepSet());
    const quint32 oneNode = one->nodeAddress();

    QVERIFY(tree.remove(2));
    // Step 2's node stays in place and now is step 1, whatever step 1 ran.
    QCOMPARE(tree.root(), two);
    QCOMPARE(tree.getSetpsList(), (QList<unsigned> { 1, 3 }));
    QCOMPARE(two->stepNumber(), 1u);
    QCOMPARE(two->loop(), 3u);
    QCOMPARE(two->isSubProgram(), predecessorCalls);
    const quint32 ownData = 64u * quint32(two->slot());
    QCOMPARE(two->dataAddress(), predecessorCalls ? sub.getRootAddress() : ownData);
    if (!predecessorCalls) {
        QCOMPARE(two->dc(), 11u);
        QCOMPARE(two->time(), quint64(777));
    }
    QVERIFY(two->isLinkChanged());
    QCOMPARE(ProgramStep::programStepInfo(oneNode), nullptr);
    QCOMPARE(tree.head()->dataAddress(), two->nodeAddress());

    const QVector<StepSetItem> items = tree.takeStepSet();
    image.apply(items);
    verifyImage(tree, image);
    QCOMPARE(image.words(two->nodeAddress())[4], two->dataAddress());
    if (!predecessorCalls)
        QCOMPARE(image.words(ownData)[3], 11u);
}

void tst_AvlTree::removeAbsentChangesNothing()
{
    AvlTree tree;
    for (unsigned n : { 1u, 2u, 3u })
        tree.insert(n);
    tree.takeStepSet();

    QVERIFY(!tree.remove(7));
    QCOMPARE(tree.getSetpsList(), (QList<unsigned> { 1, 2, 3 }));
    const QVector<StepSetItem> items = tree.takeStepSet();
    QCOMPARE(items.size(), 1);
    QVERIFY(items[0].statusRead);
    QCOMPARE(tree.search(7), nullptr);
    QCOMPARE(tree.search(3)->stepNumber(), 3u);
}

void tst_AvlTree::emptiedTreeHeadRunsNoFreedNode()
{
    AvlTree tree;
    ProgramStep *step = nullptr;
    tree.insert(1, &step);
    tree.takeStepSet();
    const quint32 freedNode = step->nodeAddress();

    QVERIFY(tree.remove(1));
    QCOMPARE(tree.root(), nullptr);
    QVERIFY(tree.getSetpsList().isEmpty());
    QVERIFY(tree.head()->dataAddress() != freedNode);
    QVERIFY(!tree.head()->isSubProgram());

    // The head runs its own data record again, so that record travels too; no status read.
    const QVector<StepSetItem> items = tree.takeStepSet();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].records.size(), 2);
    QCOMPARE(items[0].records[0].address, tree.head()->dataAddress());
    QCOMPARE(items[0].records[1].words[4], tree.head()->dataAddress());
}

void tst_AvlTree::renumber_data()
{
    QTest::addColumn<QString>("removed");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("delta");
    QTest::addColumn<QString>("after");

    QTest::newRow("close a gap") << "3,4" << 5 << -2 << "0,1,2,3,4,5,6,7";
    QTest::newRow("open a gap") << "" << 4 << 2 << "0,1,2,3,6,7,8,9,10,11";
    QTest::newRow("no such step") << "7" << 7 << 1 << "0,1,2,3,4,5,6,8,9";
    QTest::newRow("from the first step") << "" << 0 << 1 << "1,2,3,4,5,6,7,8,9,10";
    QTest::newRow("not below 0") << "0,1,2" << 3 << -5 << "0,1,2,3,4,5,6";
    QTest::newRow("negative first") << "" << -1 << 1 << "0,1,2,3,4,5,6,7,8,9";
}

void tst_AvlTree::renumber()
{
    QFETCH(QString, removed);
    QFETCH(int, first);
    QFETCH(int, delta);
    QFETCH(QString, after);

    AvlTree tree;
    for (unsigned n = 0; n < 10; ++n)
        tree.insert(n);
    for (unsigned n : toUnsigned(removed))
        QVERIFY(tree.remove(n));
    tree.takeStepSet();

    tree.renumber(first, delta);
    QCOMPARE(tree.getSetpsList(), toUnsigned(after));
    for (unsigned n : toUnsigned(after))
        QCOMPARE(tree.search(n)->stepNumber(), n);
    // Numbers live only in the engine: nothing travels.
    QCOMPARE(tree.takeStepSet().size(), 1);

    AvlTree empty;
    empty.renumber(0, 1);
    QVERIFY(empty.getSetpsList().isEmpty());
}

void tst_AvlTree::controllerImageFollowsRandomEdits()
{
    AvlTree sub;
    AvlTree tree;
    ControllerImage image;
    QRandomGenerator random(20240611);
    QList<unsigned> expected;

    for (int i = 0; i < 3000; ++i) {
        const unsigned n = random.bounded(400u);
        const int pick = random.bounded(10);
        ProgramStep *step = tree.search(n);
        if (!step && pick < 6) {
            QCOMPARE(tree.insert(n, &step), 0);
            step->setDc(n);
            expected.insert(std::lower_bound(expected.begin(), expected.end(), n), n);
        } else if (step && pick < 8) {
            QVERIFY(tree.remove(n));
            expected.removeOne(n);
        } else if (step && pick == 8) {
            step->setSubProgram(&sub);
        } else if (step) {
            step->setOriginalStep();
            step->setLoop(random.bounded(1u, 4u));
        }
        image.apply(tree.takeStepSet());
        QVERIFY2(checkedHeight(tree.root()) >= 0, qPrintable(QString("after step %1").arg(i)));
        QCOMPARE(tree.getSetpsList(), expected);
        verifyImage(tree, image);
        if (QTest::currentTestFailed())
            return;
    }
}

void tst_AvlTree::fullPoolFailsCleanly()
{
    AvlTree tree;
    for (unsigned n : { 1u, 2u, 3u })
        QCOMPARE(tree.insert(n), 0);
    ControllerImage image;
    image.apply(tree.takeStepSet());

    std::vector<StepPtr> fillers;
    while (ProgramStep *step = new ProgramStep(0))
        fillers.emplace_back(step);

    // An insertion that cannot get a step fails and changes neither tree nor controller memory.
    ProgramStep *inserted = reinterpret_cast<ProgramStep *>(1);
    QCOMPARE(tree.insert(2, &inserted), AvlTree::MemoryError);
    QCOMPARE(inserted, nullptr);
    QCOMPARE(tree.insert(4), AvlTree::MemoryError);
    QCOMPARE(tree.getSetpsList(), (QList<unsigned> { 1, 2, 3 }));
    QCOMPARE(ProgramStep::freeSlots(), 0);
    const QVector<StepSetItem> items = tree.takeStepSet();
    QCOMPARE(items.size(), 1);
    QVERIFY(items[0].statusRead);
    verifyImage(tree, image);

    // A tree needs three slots; with fewer it keeps none and refuses every step.
    fillers.pop_back();
    fillers.pop_back();
    {
        AvlTree partial;
        QVERIFY(!partial.isValid());
        QCOMPARE(ProgramStep::freeSlots(), 2);
        QCOMPARE(partial.getRootAddress(), 0u);
        QCOMPARE(partial.insert(1), AvlTree::MemoryError);
        // A caller's own step is not taken either; it stays the caller's to free.
        StepPtr own(new ProgramStep(1));
        QVERIFY(own);
        QVERIFY(!partial.insertStep(own.get()));
        QVERIFY(!partial.insertStep(nullptr));
        own.reset();
        QVERIFY(partial.takeStepSet().isEmpty());
        QCOMPARE(ProgramStep::freeSlots(), 2);
    }

    // The steady program needs two more slots: one is not enough and nothing is kept.
    fillers.pop_back();
    fillers.pop_back();
    AvlTree steady;
    QVERIFY(steady.isValid());
    QCOMPARE(ProgramStep::freeSlots(), 1);
    steady.takeStepSet();
    QCOMPARE(steady.makeSteadyProgram(), AvlTree::MemoryError);
    QCOMPARE(ProgramStep::freeSlots(), 1);
    QVERIFY(steady.getSetpsList().isEmpty());
    QVERIFY(steady.takeStepSet().isEmpty());

    fillers.pop_back();
    QCOMPARE(steady.makeSteadyProgram(), 0);
    QCOMPARE(steady.getSetpsList(), (QList<unsigned> { 1, 2 }));
}

void tst_AvlTree::destructorFreesEverySlot()
{
    const int freeBefore = ProgramStep::freeSlots();
    {
        AvlTree tree;
        for (unsigned n = 0; n < 500; ++n)
            QCOMPARE(tree.insert((n * 7919) % 1000), 0);
        QCOMPARE(tree.count(), 500);
        QCOMPARE(ProgramStep::freeSlots(), freeBefore - 503);
    }
    QCOMPARE(ProgramStep::freeSlots(), freeBefore);
}

QTEST_APPLESS_MAIN(tst_AvlTree)
#include "tst_AvlTree.moc"
