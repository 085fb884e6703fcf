#include "gui/toolkit/SiDoubleSpinBox.h"
#include "gui/toolkit/zoValueItemDelegate.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/SettingsTreeFixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeView>
#include <QtTest>

namespace {

// The settings tree in a view with the delegate, as the settings screens set it up.
class EditedTree : public SettingsTreeFixture
{
public:
    EditedTree()
        : delegate(&view)
    {
        view.setModel(model.get());
        view.setItemDelegate(&delegate);
        view.expandAll();
        view.resize(320, 240);
        view.show();
    }

    // Creates the editor of a Value cell filled as the view fills it; owned by the caller.
    QWidget *editorFor(const ZONode *node)
    {
        const QModelIndex cell = valueCell(node);
        QWidget *editor = delegate.createEditor(&view, QStyleOptionViewItem(), cell);
        delegate.setEditorData(editor, cell);
        return editor;
    }

    QTreeView view;
    zoValueItemDelegate delegate;
};

} // namespace

class tst_zoValueItemDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void choiceEditor();
    void numericEditors_data();
    void numericEditors();
    void integerCommitsTruncated();
    void specialValueTextOpensAtTheMinimum();
    void itemColumnGetsTheStandardEditor();
    void returnCommitsAndEscapeDoesNot();
};

void tst_zoValueItemDelegate::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_zoValueItemDelegate::choiceEditor()
{
    EditedTree tree;
    tree.keyword.setValue(1);
    std::unique_ptr<QWidget> editor(tree.editorFor(tree.mode));
    auto *combo = qobject_cast<QComboBox *>(editor.get());
    QVERIFY(combo);
    QCOMPARE(combo->styleSheet(), zoValueItemDelegate::styleSheetComboBox);
    QVERIFY(combo->styleSheet().contains(QStringLiteral("font: 8pt \"DejaVu Sans\";\t")));
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("0: Manual"));
    QCOMPARE(combo->currentText(), QStringLiteral("1: Auto"));

    combo->setCurrentIndex(2);
    tree.delegate.setModelData(combo, tree.model.get(), tree.valueCell(tree.mode));
    QCOMPARE(int(tree.keyword.getValue()), 2);
}

void tst_zoValueItemDelegate::numericEditors_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("si");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("afterUp"); // base units, the last decimal selected

    // Without options: the value object's limits, no decimals (1.5 shows as 2), a step of 1.
    QTest::newRow("fixed point without options")
        << "delay" << false << 0.0 << 10.0 << 0 << 2.0 << 3.0;
    QTest::newRow("real, 3 decimals, step 0.001")
        << "level" << false << 0.0 << 10.0 << 3 << 2.5 << 2.501;
    QTest::newRow("real with SI prefix")
        << "aperture" << true << 0.0 << 10.0 << 3 << 0.002 << 0.002001;
}

void tst_zoValueItemDelegate::numericEditors()
{
    QFETCH(QString, row);
    QFETCH(bool, si);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, decimals);
    QFETCH(double, value);
    QFETCH(double, afterUp);

    EditedTree tree;
    const QMap<QString, ZONode *> rows = {
        { "delay", tree.delay }, { "level", tree.level }, { "aperture", tree.apertureRow }
    };
    std::unique_ptr<QWidget> editor(tree.editorFor(rows.value(row)));
    auto *spin = qobject_cast<zoDoubleSpinBox *>(editor.get());
    QVERIFY(spin);
    QCOMPARE(qobject_cast<SiDoubleSpinBox *>(spin) != nullptr, si);
    QCOMPARE(spin->decimals(), decimals);
    QCOMPARE(spin->value(), value);
    if (!si) {
        QCOMPARE(spin->minimum(), min);
        QCOMPARE(spin->maximum(), max);
    }
    editor->show();
    editor->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    QVERIFY2(qAbs(spin->value() - afterUp) < 1e-12, qPrintable(QString::number(spin->value())));
}

void tst_zoValueItemDelegate::integerCommitsTruncated()
{
    EditedTree tree;
    std::unique_ptr<QWidget> editor(tree.editorFor(tree.countRow));
    auto *spin = qobject_cast<zoDoubleSpinBox *>(editor.get());
    QVERIFY(spin);
    spin->setDecimals(1);
    spin->setValue(3.7);
    tree.delegate.setModelData(spin, tree.model.get(), tree.valueCell(tree.countRow));
    QCOMPARE(tree.count.getValue(), 3);
}

void tst_zoValueItemDelegate::specialValueTextOpensAtTheMinimum()
{
    EditedTree tree;
    tree.count.setValue(0);
    QCOMPARE(tree.shown(tree.countRow).toString(), QStringLiteral("Off"));
    std::unique_ptr<QWidget> editor(tree.editorFor(tree.countRow));
    auto *spin = qobject_cast<zoDoubleSpinBox *>(editor.get());
    QVERIFY(spin);
    QCOMPARE(spin->specialValueText(), QStringLiteral("Off"));
    QCOMPARE(spin->value(), 0.0);
    QCOMPARE(spin->text(), QStringLiteral("Off"));
}

void tst_zoValueItemDelegate::itemColumnGetsTheStandardEditor()
{
    EditedTree tree;
    const QModelIndex name = tree.valueCell(tree.level).siblingAtColumn(0);
    std::unique_ptr<QWidget> editor(
        tree.delegate.createEditor(&tree.view, QStyleOptionViewItem(), name));
    QVERIFY(qobject_cast<QLineEdit *>(editor.get()));
}

void tst_zoValueItemDelegate::returnCommitsAndEscapeDoesNot()
{
    EditedTree tree;
    const QModelIndex cell = tree.valueCell(tree.level);
    const auto editStep = [&](Qt::Key finish) {
        tree.view.setCurrentIndex(cell);
        tree.view.edit(cell);
        QWidget *editor = tree.view.indexWidget(cell);
        QVERIFY(editor);
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_Up);
        QTest::keyClick(editor, finish);
        QTRY_VERIFY(!tree.view.indexWidget(cell));
    };

    editStep(Qt::Key_Escape);
    QCOMPARE(tree.real.getValue(), 2.5);
    editStep(Qt::Key_Return);
    QCOMPARE(tree.real.getValue(), 2.501);
    QCOMPARE(tree.shown(tree.level).toDouble(), 2.501);
}

QTEST_MAIN(tst_zoValueItemDelegate)
#include "tst_zoValueItemDelegate.moc"
