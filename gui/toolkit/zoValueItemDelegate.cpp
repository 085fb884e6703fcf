#include "gui/toolkit/zoValueItemDelegate.h"

#include "gui/toolkit/SiDoubleSpinBox.h"
#include "gui/toolkit/ZOValueModel.h"

#include <QComboBox>

#include <cmath>

const QString zoValueItemDelegate::styleSheetComboBox =
    QStringLiteral("QComboBox {\tcolor: rgb(255, 255, 255);\tfont: 8pt \"DejaVu Sans\";\t"
                   "background-color: rgb(60, 60, 60);\tselection-color: rgb(0, 0, 0);\t"
                   "selection-background-color: rgb(0,147,255);}");

namespace {

// The settings model behind a Value cell, or null where the standard delegate serves.
const ZOValueModel *valueModel(const QModelIndex &index)
{
    return index.column() == 1 ? qobject_cast<const ZOValueModel *>(index.model()) : nullptr;
}

} // namespace

zoValueItemDelegate::zoValueItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{ }

void zoValueItemDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
}

QWidget *zoValueItemDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const ZOValueModel *model = valueModel(index);
    if (!model)
        return QStyledItemDelegate::createEditor(parent, option, index);
    const QVector<QVariant> list = model->valueList(index);

    switch (model->type(index)) {
    case ZONode::Choice: {
        auto *combo = new QComboBox(parent);
        combo->setStyleSheet(styleSheetComboBox);
        for (const QVariant &text : list)
            combo->addItem(text.toString());
        return combo;
    }
    case ZONode::Integer:
    case ZONode::Real: {
        if (list.size() < 5)
            break;
        auto *spin = new zoDoubleSpinBox(parent);
        spin->setRange(list.at(0).toDouble(), list.at(1).toDouble());
        spin->setDecimals(int(list.at(2).toDouble()));
        spin->setSingleStep(list.at(3).toDouble());
        spin->setSpecialValueText(list.at(4).toString());
        return spin;
    }
    case ZONode::RealSiPrefix: {
        if (list.size() < 5)
            break;
        auto *spin = new SiDoubleSpinBox(parent);
        spin->setRange(list.at(0).toDouble(), list.at(1).toDouble());
        spin->setDecimals(int(list.at(2).toDouble()));
        spin->setSingleStep(list.at(3).toDouble());
        return spin;
    }
    case ZONode::Heading:
        break;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void zoValueItemDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const ZOValueModel *model = valueModel(index);
    if (!model) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QVariant data = model->data(index, Qt::DisplayRole);
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        combo->setCurrentText(data.toString());
    } else if (auto *si = qobject_cast<SiDoubleSpinBox *>(editor)) {
        si->setValue(data.toDouble());
    } else if (auto *spin = qobject_cast<zoDoubleSpinBox *>(editor)) {
        // A cell showing its special value text stands at the minimum, where the spin box
        // shows the same text.
        bool number = false;
        const double value = data.toDouble(&number);
        spin->setValue(number ? value : spin->minimum());
    }
}

void zoValueItemDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    const ZOValueModel *values = valueModel(index);
    if (!values) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    switch (values->type(index)) {
    case ZONode::Choice:
        if (auto *combo = qobject_cast<QComboBox *>(editor))
            model->setData(index, combo->currentText(), Qt::EditRole);
        return;
    case ZONode::Integer:
        if (auto *spin = qobject_cast<zoDoubleSpinBox *>(editor))
            model->setData(index, int(std::trunc(spin->value())), Qt::EditRole);
        return;
    case ZONode::Real:
    case ZONode::RealSiPrefix:
        if (auto *spin = qobject_cast<zoDoubleSpinBox *>(editor))
            model->setData(index, spin->value(), Qt::EditRole);
        return;
    case ZONode::Heading:
        break;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
