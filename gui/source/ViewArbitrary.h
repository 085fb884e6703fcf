#pragma once

#include <QStyledItemDelegate>
#include <QWidget>

class FuncSourLevelArbitrary;
class QFrame;
class QTableView;
class QVBoxLayout;

// Numeric editors of the arbitrary table's cells, always with the limits, decimals and step of
// the High voltage range (voltage column) and the High current range (current column), whatever
// range is selected.
class ArbitraryDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
};

// The arbitrary I-V table view over the engine root's table (vek::ELoad::s_pSelf): the level
// page's table key opens the current cell's editor or commits it, its count key moves the focus
// between the table and the point-count entry, and a committed or stepped count adds or removes
// points at the cursor. Refused points show the table's error box. Without an engine root the
// keys refuse with -200. GUI thread only.
class ViewArbitrary : public QWidget
{
    Q_OBJECT

public:
    ViewArbitrary(FuncSourLevelArbitrary *keys, QWidget *parent = nullptr);

    QVBoxLayout *verticalLayout;
    QFrame *line;
    QTableView *tableView;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createLayout();
    void createConnections();

    FuncSourLevelArbitrary *const m_keys;
    bool m_editing = false; // an editor or the count entry has just lost the focus
    bool m_counting = false; // the count entry has the focus
    bool m_active = false; // the view is shown
};
