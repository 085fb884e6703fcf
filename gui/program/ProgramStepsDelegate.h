#pragma once

#include <QStyledItemDelegate>

class ModelInformation;

// In-place editors of the step table (ProgramStepsModel): numeric entries for the level, the slew
// rate and the step time, limited by the ratings of the present mode and ranges as they stand
// when the editor opens. Selected cells are painted with the highlight colour. GUI thread only.
class ProgramStepsDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // info must outlive the delegate.
    explicit ProgramStepsDelegate(const ModelInformation *info, QObject *parent = nullptr);

    // Level, slew-rate and step-time columns: a zoDoubleSpinBox without step buttons; other
    // columns: the base class's editor. In a mode without a level bound (ARB) the level editor
    // keeps the spin box's defaults.
    QWidget *createEditor(QWidget *parent,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void paint(QPainter *painter,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;

private:
    static bool isNumberColumn(const QModelIndex &index);

    const ModelInformation *const m_info;
};
