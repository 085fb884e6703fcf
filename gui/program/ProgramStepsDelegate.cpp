#include "gui/program/ProgramStepsDelegate.h"

#include "engine/ProgramStepsModel.h"
#include "engine/Source.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "instrument/ModelInformation.h"

#include <QPainter>

ProgramStepsDelegate::ProgramStepsDelegate(const ModelInformation *info, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_info(info)
{ }

bool ProgramStepsDelegate::isNumberColumn(const QModelIndex &index)
{
    return index.column() >= ProgramStepsModel::LevelColumn
        && index.column() <= ProgramStepsModel::DwellColumn;
}

QWidget *ProgramStepsDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!isNumberColumn(index))
        return QStyledItemDelegate::createEditor(parent, option, index);

    auto *box = new zoDoubleSpinBox(parent);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    const int currentRange = int(vek::Source::getCurrentRange());
    switch (index.column()) {
    case ProgramStepsModel::LevelColumn:
        if (const BoundValue *bound = m_info->levelBound(int(vek::Source::m_functionMode.load()),
                currentRange,
                int(vek::Source::m_voltRange.load()),
                vek::Source::getPowerRange()))
            bound->setBoundValueWidget(box, 0);
        break;
    case ProgramStepsModel::SlewRateColumn:
        ModelInformation::rangeValue(m_info->slewRateMap(), currentRange)
            .setBoundValueWidget(box, 0);
        break;
    default:
        // Decimals first: the range and the step are rounded to them.
        box->setDecimals(m_info->stepTimeDecimals());
        box->setRange(m_info->stepTimeMin(), m_info->stepTimeMax());
        box->setSingleStep(m_info->stepTimeSingleStep());
        break;
    }
    return box;
}

void ProgramStepsDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (!isNumberColumn(index))
        return;
    if (auto *box = qobject_cast<zoDoubleSpinBox *>(editor))
        box->setValue(index.data(Qt::EditRole).toDouble());
}

void ProgramStepsDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (!isNumberColumn(index))
        return;
    if (auto *box = qobject_cast<zoDoubleSpinBox *>(editor))
        model->setData(index, box->value(), Qt::EditRole);
}

void ProgramStepsDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    if (option.state & QStyle::State_Selected) {
        const QPalette::ColorGroup group =
            option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    }
    QStyledItemDelegate::paint(painter, option, index);
    painter->restore();
}
