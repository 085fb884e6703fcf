#include "gui/toolkit/JsonModel.h"
#include "tests/support/JsonTreeFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QAbstractItemModelTester>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// The interface tree with the model tester attached.
class InterfaceTree : public JsonTreeFixture
{
public:
    InterfaceTree()
        : tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest)
    { }

    QAbstractItemModelTester tester;
};

} // namespace

class tst_JsonModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void structure();
    void cellsShowTheMembers();
    void choiceWithNumbers();
    void writesIntoTheSharedObject_data();
    void writesIntoTheSharedObject();
    void refusedWritesChangeNothing();
    void editability();
    void newObjectResetsTheViews();
    void newRootResetsTheViews();
};

void tst_JsonModel::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_JsonModel::structure()
{
    InterfaceTree tree;
    JsonModel &model = *tree.model;
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.rowCount(model.index(0, 0)), 4);
    QCOMPARE(model.rowCount(model.index(0, 1)), 0);
    QCOMPARE(model.columnCount(model.index(0, 1)), 0);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
    QVERIFY(!model.setHeaderData(0, Qt::Horizontal, QStringLiteral("Name")));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Item"));
    QCOMPARE(model.type(tree.valueCell(tree.address)), JsNode::Ipv4Address);
    QCOMPARE(model.type(QModelIndex()), JsNode::Heading);
    QCOMPARE(model.itemForIndex(tree.valueCell(tree.port)), tree.port);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("LAN"));
    QCOMPARE(model.data(tree.valueCell(tree.modified), Qt::SizeHintRole).toSize(), QSize(10, 30));
    QVERIFY(!model.data(tree.valueCell(tree.note), Qt::SizeHintRole).isValid());
    QCOMPARE(model.data(tree.valueCell(tree.note), Qt::TextAlignmentRole).toInt(), 129);
    QCOMPARE(model.valueList(tree.valueCell(tree.beeper)),
        QVector<QVariant>({ "0: Quiet", "1: Normal", "2: Loud" }));
    QVERIFY(model.valueList(tree.valueCell(tree.host)).isEmpty());
}

void tst_JsonModel::cellsShowTheMembers()
{
    InterfaceTree tree;
    QCOMPARE(tree.shown(tree.dhcp), QVariant("On"));
    QCOMPARE(tree.shown(tree.address), QVariant("192.168.0.5"));
    QCOMPARE(tree.shown(tree.host), QVariant("load-1"));
    QCOMPARE(tree.shown(tree.port), QVariant(5025));
    QCOMPARE(tree.shown(tree.beeper), QVariant("1: Normal"));
    QCOMPARE(tree.shown(tree.gain), QVariant(1.25));
    QCOMPARE(tree.shown(tree.note), QVariant(QString())); // a number in a text row
    QCOMPARE(tree.shown(tree.lan), QVariant(QString()));

    tree.model->setJsonObject(QJsonObject()); // every member missing
    QCOMPARE(tree.shown(tree.dhcp), QVariant("Off"));
    QCOMPARE(tree.shown(tree.beeper), QVariant("0: Quiet"));
    QCOMPARE(tree.shown(tree.port), QVariant(0));
    QCOMPARE(tree.shown(tree.host), QVariant(QString()));
}

void tst_JsonModel::choiceWithNumbers()
{
    InterfaceTree tree;
    tree.model->setJsonObject({ { "beep", 2 } });
    QCOMPARE(tree.shown(tree.beeper), QVariant("2: Loud"));
    tree.model->setJsonObject({ { "beep", 2.0 } });
    QCOMPARE(tree.shown(tree.beeper), QVariant("2: Loud"));
    tree.model->setJsonObject({ { "beep", 5 } });
    QCOMPARE(tree.shown(tree.beeper), QVariant(QString()));
}

void tst_JsonModel::writesIntoTheSharedObject_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QVariant>("edit");
    QTest::addColumn<QString>("member"); // the member as JSON text

    QTest::newRow("bool choice off") << "dhcp" << QVariant("Off") << "false";
    QTest::newRow("number choice") << "beep" << QVariant("2: Loud") << "2";
    QTest::newRow("integer") << "port" << QVariant(5026) << "5026";
    QTest::newRow("real") << "gain" << QVariant(0.5) << "0.5";
    QTest::newRow("text") << "note" << QVariant("bench 3") << "\"bench 3\"";
    QTest::newRow("address") << "ip" << QVariant("10.0.0.1") << "\"10.0.0.1\"";
}

void tst_JsonModel::writesIntoTheSharedObject()
{
    QFETCH(QString, row);
    QFETCH(QVariant, edit);
    QFETCH(QString, member);

    InterfaceTree tree;
    const QMap<QString, JsNode *> rows = { { "dhcp", tree.dhcp },
        { "beep", tree.beeper },
        { "port", tree.port },
        { "gain", tree.gain },
        { "note", tree.note },
        { "ip", tree.address } };
    const QModelIndex cell = tree.valueCell(rows.value(row));
    QSignalSpy changed(tree.model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(tree.model->setData(cell, edit));
    QCOMPARE(changed.count(), 1);
    const QJsonObject wrapped { { "m", JsNode::jsonObject().value(rows.value(row)->key()) } };
    const QByteArray json = QJsonDocument(wrapped).toJson(QJsonDocument::Compact);
    QCOMPARE(QString::fromUtf8(json), QStringLiteral("{\"m\":%1}").arg(member));
}

void tst_JsonModel::refusedWritesChangeNothing()
{
    InterfaceTree tree;
    const QJsonObject before = JsNode::jsonObject();
    QVERIFY(!tree.model->setData(tree.valueCell(tree.dhcp), QStringLiteral("Maybe")));
    QVERIFY(!tree.model->setData(tree.valueCell(tree.dhcp), true)); // not a text
    QVERIFY(!tree.model->setData(tree.valueCell(tree.port), QStringLiteral("many")));
    QVERIFY(!tree.model->setData(tree.model->index(0, 1), QStringLiteral("x"))); // heading
    QVERIFY(!tree.model->setData(tree.valueCell(tree.port), 1, Qt::DisplayRole));
    QVERIFY(!tree.model->setData(tree.model->index(0, 0), QStringLiteral("x")));
    QCOMPARE(JsNode::jsonObject(), before);
}

void tst_JsonModel::editability()
{
    InterfaceTree tree;
    for (const JsNode *node : { tree.dhcp, tree.address, tree.port, tree.note })
        QVERIFY(!tree.editable(node));
    tree.model->m_editable = true;
    for (const JsNode *node : { tree.dhcp, tree.address, tree.port, tree.note })
        QVERIFY(tree.editable(node));
    QVERIFY(!(tree.model->flags(tree.model->index(0, 1)) & Qt::ItemIsEditable)); // heading
    QVERIFY(!(tree.model->flags(tree.model->index(0, 0, tree.model->index(0, 0)))
        & Qt::ItemIsEditable)); // names
    QVERIFY(tree.model->flags(tree.model->index(0, 0)) & Qt::ItemIsSelectable);
}

void tst_JsonModel::newObjectResetsTheViews()
{
    InterfaceTree tree;
    QSignalSpy reset(tree.model.get(), &QAbstractItemModel::modelReset);
    tree.model->setJsonObject({ { "hostname", "bench" } });
    QCOMPARE(reset.count(), 1);
    QCOMPARE(tree.shown(tree.host), QVariant("bench"));
    // The one shared object: a second tree shows the later fill.
    InterfaceTree other;
    QCOMPARE(tree.shown(tree.host), QVariant("load-1"));
}

void tst_JsonModel::newRootResetsTheViews()
{
    InterfaceTree tree;
    QSignalSpy reset(tree.model.get(), &QAbstractItemModel::modelReset);
    auto *root = new JsNode(QStringLiteral("root"));
    root->addChild(QStringLiteral("Only"), QStringLiteral("hostname"), JsNode::HostName);
    tree.model->setRootNode(root);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(tree.model->rowCount(), 1);
    QCOMPARE(tree.model->data(tree.model->index(0, 1)), QVariant("load-1"));
}

QTEST_MAIN(tst_JsonModel)
#include "tst_JsonModel.moc"
