#pragma once

#include <QWidget>

class FuncButton;
class QModelIndex;
class Ui_ViewTree;
class ZONode;
class ZOValueModel;

namespace vek {
class AcquireTrigger;
}

// What the measurement screen's settings tree views share: the form (a two-column tree of
// settings bound by value id), the current-cell rule and the "Edit" key protocol.
//
// Current cell: a cell of the text column hands the current cell on to the value cell of its
// row, so the highlighted cell is always a value; "Edit" is enabled only on editable cells.
// Edit key: the first press opens the editor of the current cell, the second one posts a Return
// press and release to the open editor, which commits the value as a real Return would. Whether
// an editor is open is read from the tree's focus: a focus-out means the editor took it, a
// focus-in that the editor is gone; the editor's closing says so too, since the focus may not come
// back (after a refused value's error box). The key shows that state checked on every event of
// the tree.
// GUI thread only.
class SettingsView : public QWidget
{
    Q_OBJECT

public:
    ~SettingsView() override;

    // The engine's acquisition object the action keys act on; null while no engine is built.
    static vek::AcquireTrigger *acquisition();

public Q_SLOTS:
    void onItemEdit();

protected:
    // editButton: the page's checkable "Edit" key (not owned). refreshEditOnShow: whether a
    // show also sets "Edit" enabled by the current cell.
    SettingsView(FuncButton *editButton, bool refreshEditOnShow, QWidget *parent);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

    // Centred bold header with the given default section size.
    void setUpHeader(int defaultSectionSize);
    // The model over root (taken over) and the value delegate; expands every row.
    void setTree(ZONode *root);
    // Filters the tree's events and makes cell current (select and current, no clearing).
    void finishLayout(const QModelIndex &cell);
    // "Edit" to onItemEdit() and the tree's current-cell changes to the current-cell rule.
    void connectEditKey();

    // The value cell of the first row under the first top-level row.
    QModelIndex firstNestedValueCell() const;
    ZOValueModel *valueModel() const;

    // A key that runs op on the acquisition object at every click and shows a refusal in the
    // self-closing box, returning when the box has closed; a missing engine is refused with -200.
    void connectAction(FuncButton *key, short (vek::AcquireTrigger::*op)());

    Ui_ViewTree *m_ui;
    bool m_editing = false;

private:
    void onCurrentChanged(const QModelIndex &current);
    void onEditorClosed();
    void enableEditKey();

    FuncButton *const m_editButton;
    const bool m_refreshEditOnShow;
};
