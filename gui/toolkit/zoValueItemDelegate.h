#pragma once

#include <QStyledItemDelegate>

// The item delegate of the settings trees (ZOValueModel): for a Value cell it opens the panel's
// own editor for the row's item type, set up from the model's valueList(): a styled combo box of
// the option texts (Choice), a zoDoubleSpinBox (Integer, Real) or a SiDoubleSpinBox
// (RealSiPrefix). Integer rows commit the spin box's value truncated toward zero. The Item
// column, and any model that is not a ZOValueModel, get the standard delegate.
class zoValueItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit zoValueItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // The choice editor's look: white 8-point DejaVu Sans on dark grey, black on blue selected.
    static const QString styleSheetComboBox;
};
