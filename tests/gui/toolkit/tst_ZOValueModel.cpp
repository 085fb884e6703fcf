#include "gui/toolkit/ZOValueModel.h"
#include "gui/toolkit/zoMessageBox.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/SettingsTreeFixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// The settings tree over real value objects, with the model tester attached.
class CheckedTree : public SettingsTreeFixture
{
public:
    CheckedTree()
        : tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest)
    { }

    QAbstractItemModelTester tester;
};

} // namespace

class tst_ZOValueModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void structure();
    void cellsShowTheValueObjects_data();
    void cellsShowTheValueObjects();
    void writesGoThroughTheValueObjects_data();
    void writesGoThroughTheValueObjects();
    void refusedWriteShowsTheBoxAndKeepsTheCell();
    void ignoredWritesChangeNothing();
    void editability();
    void valueLists();
    void takeChildHandsOverTheNode();
};

void tst_ZOValueModel::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_ZOValueModel::structure()
{
    CheckedTree tree;
    const ZOValueModel &model = *tree.model;
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Item"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
    QVERIFY(!tree.model->setHeaderData(0, Qt::Horizontal, QStringLiteral("Name")));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Item"));

    const QModelIndex source = model.index(0, 0);
    QCOMPARE(model.data(source).toString(), QStringLiteral("Source"));
    QCOMPARE(model.rowCount(source), 4);
    QCOMPARE(model.rowCount(model.index(0, 1)), 0);
    const QModelIndex trigger = model.index(3, 0, source);
    const QModelIndex count = model.index(1, 0, trigger);
    QCOMPARE(model.data(count).toString(), QStringLiteral("Count"));
    QCOMPARE(model.parent(count), trigger);
    QCOMPARE(model.parent(trigger), source);
    QCOMPARE(model.parent(source), QModelIndex());
    QCOMPARE(model.itemForIndex(count), tree.countRow);
    QCOMPARE(model.type(count), ZONode::Integer);
    QCOMPARE(model.type(QModelIndex()), ZONode::Heading);
    QCOMPARE(
        model.data(count, Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    QVERIFY(!model.index(4, 0, source).isValid());
    QVERIFY(!model.index(0, 2, source).isValid());
    QCOMPARE(tree.delay->iValueType(), QStringLiteral("int32_t_engX"));
    QVERIFY(tree.missing->iValueType().isNull());
}

void tst_ZOValueModel::cellsShowTheValueObjects_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QVariant>("set"); // the value object's value, set directly
    QTest::addColumn<QVariant>("shown");

    QTest::newRow("keyword") << "mode" << QVariant(1) << QVariant("1: Auto");
    QTest::newRow("keyword without option") << "mode" << QVariant(7) << QVariant("0: Manual");
    QTest::newRow("switch") << "switch" << QVariant(1) << QVariant("1: On");
    QTest::newRow("keyword list") << "list" << QVariant::fromValue(QVector<unsigned char> { 2, 5 })
                                  << QVariant("T2 | T5");
    QTest::newRow("keyword list skips unknown bytes")
        << "list" << QVariant::fromValue(QVector<unsigned char> { 9, 7, 3, 2 })
        << QVariant("T7 | T2");
    QTest::newRow("keyword list: none known")
        << "list" << QVariant::fromValue(QVector<unsigned char> { 9 }) << QVariant("T2");
    QTest::newRow("engX") << "delay" << QVariant(1500) << QVariant(1.5);
    QTest::newRow("integer") << "count" << QVariant(42) << QVariant(42);
    QTest::newRow("integer at the minimum") << "count" << QVariant(0) << QVariant("Off");
    QTest::newRow("real") << "level" << QVariant(2.5) << QVariant(2.5);
    QTest::newRow("unknown id") << "missing" << QVariant() << QVariant();
    QTest::newRow("heading") << "source" << QVariant() << QVariant();
}

void tst_ZOValueModel::cellsShowTheValueObjects()
{
    QFETCH(QString, row);
    QFETCH(QVariant, set);
    QFETCH(QVariant, shown);

    CheckedTree tree;
    const QMap<QString, ZONode *> rows = { { "mode", tree.mode },
        { "switch", tree.switchRow },
        { "list", tree.protections },
        { "delay", tree.delay },
        { "count", tree.countRow },
        { "level", tree.level },
        { "missing", tree.missing },
        { "source", tree.source } };
    tree.keyword.setRangeCheck(false); // so that a keyword without option can be stored
    if (row == QLatin1String("mode"))
        QCOMPARE(tree.keyword.setValue(set.toInt()), 0);
    else if (row == QLatin1String("switch"))
        tree.boolean.setValue(set.toInt());
    else if (row == QLatin1String("list"))
        tree.list.setValue(set.value<QVector<unsigned char>>());
    else if (row == QLatin1String("delay"))
        tree.fixed.setValue(set.toInt());
    else if (row == QLatin1String("count"))
        tree.count.setValue(set.toInt());
    else if (row == QLatin1String("level"))
        tree.real.setValue(set.toDouble());
    QCOMPARE(tree.shown(rows.value(row)), shown);
}

void tst_ZOValueModel::writesGoThroughTheValueObjects_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QVariant>("edit");
    QTest::addColumn<double>("stored");

    QTest::newRow("choice text") << "mode" << QVariant("2: Ext") << 2.0;
    QTest::newRow("switch off") << "switch" << QVariant("0: Off") << 0.0;
    QTest::newRow("engX 2.0019 truncates") << "delay" << QVariant(2.0019) << 2001.0;
    QTest::newRow("engX 2.001 exactly") << "delay" << QVariant(2.001) << 2001.0;
    QTest::newRow("integer") << "count" << QVariant(17) << 17.0;
    QTest::newRow("integer as text") << "count" << QVariant("23") << 23.0;
    QTest::newRow("real") << "level" << QVariant(7.125) << 7.125;
}

void tst_ZOValueModel::writesGoThroughTheValueObjects()
{
    QFETCH(QString, row);
    QFETCH(QVariant, edit);
    QFETCH(double, stored);

    CheckedTree tree;
    const QMap<QString, QPair<ZONode *, std::function<double()>>> rows = {
        { "mode",
            { tree.mode,
                [&] {
                    return double(tree.keyword.getValue());
                } } },
        { "switch",
            { tree.switchRow,
                [&] {
                    return double(tree.boolean.getValue());
                } } },
        { "delay",
            { tree.delay,
                [&] {
                    return double(tree.fixed.getValue());
                } } },
        { "count",
            { tree.countRow,
                [&] {
                    return double(tree.count.getValue());
                } } },
        { "level",
            { tree.level,
                [&] {
                    return tree.real.getValue();
                } } },
    };
    tree.boolean.setValue(1);
    const auto target = rows.value(row);
    const QModelIndex cell = tree.valueCell(target.first);
    QSignalSpy changed(tree.model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(tree.model->setData(cell, edit));
    QCOMPARE(target.second(), stored);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), cell);
}

void tst_ZOValueModel::refusedWriteShowsTheBoxAndKeepsTheCell()
{
    CheckedTree tree;
    const QModelIndex cell = tree.valueCell(tree.level);
    QString boxText;
    QTimer::singleShot(0, [&boxText] {
        if (auto *box = qobject_cast<zoMessageBox *>(QApplication::activeModalWidget())) {
            boxText = box->findChild<QLabel *>()->text();
            box->accept();
        }
    });
    QVERIFY(!tree.model->setData(cell, 20.0));
    QCOMPARE(boxText, QStringLiteral("Data out of range"));
    QCOMPARE(tree.real.getValue(), 2.5);
    QCOMPARE(tree.model->data(cell).toDouble(), 2.5);

    // A fixed-point value far beyond 32 bits is refused the same way.
    QTimer::singleShot(0, [] {
        if (auto *box = qobject_cast<zoMessageBox *>(QApplication::activeModalWidget()))
            box->accept();
    });
    QVERIFY(!tree.model->setData(tree.valueCell(tree.delay), 1e12));
    QCOMPARE(tree.fixed.getValue(), 1500);
}

void tst_ZOValueModel::ignoredWritesChangeNothing()
{
    CheckedTree tree;
    tree.keyword.setValue(1);
    QVERIFY(!tree.model->setData(tree.valueCell(tree.mode), QStringLiteral("3: Nothing")));
    QVERIFY(!tree.model->setData(tree.valueCell(tree.level), QStringLiteral("abc")));
    QVERIFY(!tree.model->setData(tree.valueCell(tree.missing), 3));
    QVERIFY(!tree.model->setData(tree.valueCell(tree.level), 3.0, Qt::DisplayRole));
    QVERIFY(!tree.model->setData(tree.model->index(2, 0), 3.0));
    QCOMPARE(tree.keyword.getValue(), 1);
    QCOMPARE(tree.real.getValue(), 2.5);
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_ZOValueModel::editability()
{
    CheckedTree tree;
    QVERIFY(tree.editable(tree.mode));
    QVERIFY(tree.editable(tree.countRow));
    QVERIFY(!tree.editable(tree.source)); // no value
    QVERIFY(!(tree.model->flags(tree.model->index(2, 0)) & Qt::ItemIsEditable)); // names
    QVERIFY(tree.model->flags(tree.model->index(2, 0)) & Qt::ItemIsSelectable);

    tree.model->appendNotEditable(tree.source);
    tree.model->appendNotEditable(tree.source);
    QVERIFY(!tree.editable(tree.mode));
    QVERIFY(!tree.editable(tree.countRow)); // two levels below
    QVERIFY(tree.editable(tree.level));
    QVERIFY(tree.model->flags(tree.valueCell(tree.mode)) & Qt::ItemIsEnabled);
    tree.model->removeNotEditable(tree.source);
    QVERIFY(tree.editable(tree.mode));
    QVERIFY(tree.editable(tree.countRow));
}

void tst_ZOValueModel::valueLists()
{
    CheckedTree tree;
    const ZOValueModel &model = *tree.model;
    QCOMPARE(model.valueList(tree.valueCell(tree.mode)),
        QVector<QVariant>({ "0: Manual", "1: Auto", "2: Ext" }));
    QCOMPARE(model.valueList(tree.valueCell(tree.delay)),
        QVector<QVariant>({ 0.0, 10.0, 0, 1, QString() }));
    QCOMPARE(
        model.valueList(tree.valueCell(tree.countRow)), QVector<QVariant>({ 0, 100, 0, 1, "Off" }));
    QCOMPARE(model.valueList(tree.valueCell(tree.level)),
        QVector<QVariant>({ 0.0, 10.0, 3, 0.001, QString() }));
    QCOMPARE(model.valueList(tree.valueCell(tree.apertureRow)),
        QVector<QVariant>({ 0.0, 10.0, 3, 0.001, QString() }));
    QVERIFY(model.valueList(tree.model->index(0, 1)).isEmpty());
}

void tst_ZOValueModel::takeChildHandsOverTheNode()
{
    auto root = std::make_unique<ZONode>(QStringLiteral("root"));
    root->addChild(QStringLiteral("a"), 1, ZONode::Integer);
    ZONode *b = root->addChild(QStringLiteral("b"), 2, ZONode::Integer);
    std::unique_ptr<ZONode> taken(root->takeChild(1));
    QCOMPARE(taken.get(), b);
    QVERIFY(!taken->parent());
    QCOMPARE(root->children().size(), 1);
}

QTEST_MAIN(tst_ZOValueModel)
#include "tst_ZOValueModel.moc"
