// Settings trees as the settings views show them: the value tree over value objects and the
// JSON tree of the interface page, at rest and with their editors open.

#include "gui/toolkit/JsonItemDelegate.h"
#include "gui/toolkit/zoValueItemDelegate.h"
#include "tests/gallery/Gallery.h"
#include "tests/support/JsonTreeFixture.h"
#include "tests/support/SettingsTreeFixture.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

namespace {

const QSize screen(320, 240);

// A tree view set up as the settings views do, with the given delegate (taken over).
QTreeView *settingsView(QAbstractItemModel *model, QStyledItemDelegate *delegate)
{
    auto *view = new QTreeView;
    const QFont font(QStringLiteral("DejaVu Sans"), 8);
    view->setFont(font);
    view->setStyleSheet(QStringLiteral("font: 8pt \"DejaVu Sans\";"));
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);
    view->setAlternatingRowColors(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setIndentation(7);
    view->setWordWrap(true);
    QHeaderView *header = view->header();
    header->setMinimumSectionSize(67);
    header->setDefaultAlignment(Qt::AlignCenter);
    QFont bold = font;
    bold.setBold(true);
    header->setFont(bold);
    header->setDefaultSectionSize(120);
    view->setModel(model);
    delegate->setParent(view);
    view->setItemDelegate(delegate);
    view->expandAll();
    return view;
}

// Shoots the value tree with the cell of one row open in its editor (none: at rest).
void shootValueTree(Gallery &gallery,
    const QString &name,
    ZONode *SettingsTreeFixture::*row,
    const std::function<void(QWidget *)> &inEditor = {})
{
    SettingsTreeFixture tree;
    tree.count.setValue(0);
    tree.keyword.setValue(1);
    tree.list.setValue({ 2, 5 });
    QTreeView *view = settingsView(tree.model.get(), new zoValueItemDelegate);
    const QModelIndex cell = tree.valueCell(tree.*row);
    gallery.shoot(name, view, screen, [view, cell, inEditor] {
        view->setFocus(Qt::OtherFocusReason);
        view->setCurrentIndex(cell);
        if (!inEditor)
            return;
        view->edit(cell);
        if (QWidget *editor = view->indexWidget(cell)) {
            editor->setFocus(Qt::OtherFocusReason);
            inEditor(editor);
        }
    });
}

// Shoots the interface page's JSON tree, read-only or in modify mode with one row's editor open.
void shootJsonTree(Gallery &gallery,
    const QString &name,
    JsNode *JsonTreeFixture::*row,
    const std::function<void(QWidget *)> &inEditor = {})
{
    JsonTreeFixture tree;
    tree.model->m_editable = bool(inEditor);
    QTreeView *view = settingsView(tree.model.get(), new JsonItemDelegate);
    const QModelIndex cell = tree.valueCell(tree.*row);
    gallery.shoot(name, view, screen, [view, cell, inEditor] {
        view->setFocus(Qt::OtherFocusReason);
        view->setCurrentIndex(cell);
        if (!inEditor)
            return;
        view->edit(cell);
        if (QWidget *editor = view->indexWidget(cell)) {
            editor->setFocus(Qt::OtherFocusReason);
            inEditor(editor);
        }
    });
}

} // namespace

void galleryTrees(Gallery &gallery)
{
    shootValueTree(gallery, QStringLiteral("tree-values"), &SettingsTreeFixture::mode);
    shootValueTree(gallery,
        QStringLiteral("tree-values-choice-editor"),
        &SettingsTreeFixture::mode,
        [](QWidget *) {});
    shootValueTree(gallery,
        QStringLiteral("tree-values-real-editor-stepped"),
        &SettingsTreeFixture::level,
        [](QWidget *editor) {
            QTest::keyClick(editor, Qt::Key_Up);
        });
    shootValueTree(gallery,
        QStringLiteral("tree-values-si-editor"),
        &SettingsTreeFixture::apertureRow,
        [](QWidget *) {});
    shootValueTree(gallery,
        QStringLiteral("tree-values-integer-editor-off"),
        &SettingsTreeFixture::countRow,
        [](QWidget *) {});

    shootJsonTree(gallery, QStringLiteral("tree-json"), &JsonTreeFixture::address);
    shootJsonTree(gallery,
        QStringLiteral("tree-json-address-stepped"),
        &JsonTreeFixture::address,
        [](QWidget *editor) {
            auto *edit = qobject_cast<QLineEdit *>(editor);
            edit->setSelection(edit->text().size() - 1, 1);
            QTest::keyClick(editor, Qt::Key_Down);
        });
    shootJsonTree(
        gallery, QStringLiteral("tree-json-choice-editor"), &JsonTreeFixture::dhcp, [](QWidget *) {
        });
}
