#include "gui/toolkit/JsonItemDelegate.h"

#include "gui/toolkit/JsonModel.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMessageBox.h"
#include "gui/toolkit/zoUpDownLineEdit.h"

#include <QComboBox>

#include <cmath>

const QString JsonItemDelegate::ipv4Pattern =
    QStringLiteral("(([1-9]?[0-9]|1[0-9]{2}|2[0-4][0-9]|25[0-5])\\.){3}"
                   "([1-9]?[0-9]|1[0-9]{2}|2[0-4][0-9]|25[0-5])");
const QString JsonItemDelegate::hostNamePattern =
    QStringLiteral("^([A-Za-z][-A-Za-z0-9]{0,13}[A-Za-z0-9]|[A-Za-z])$");
const QString JsonItemDelegate::freeTextPattern =
    QStringLiteral("[-+A-Za-z0-9.,(){}\\[\\]_&$#^%@=\\s]+");

namespace {

// The JSON model behind a Value cell, or null where the standard delegate serves.
const JsonModel *jsonModel(const QModelIndex &index)
{
    return index.column() == 1 ? qobject_cast<const JsonModel *>(index.model()) : nullptr;
}

QString patternOf(JsNode::ItemType type)
{
    switch (type) {
    case JsNode::Ipv4Address:
        return JsonItemDelegate::ipv4Pattern;
    case JsNode::HostName:
        return JsonItemDelegate::hostNamePattern;
    case JsNode::FreeText:
        return JsonItemDelegate::freeTextPattern;
    default:
        return QString();
    }
}

// Whether a line edit's text fits its pattern as a whole (an edit without one takes any text).
bool complete(const zoUpDownLineEdit *edit)
{
    const QValidator *validator = edit->validator();
    if (!validator)
        return true;
    QString text = edit->text();
    int pos = text.size();
    return validator->validate(text, pos) == QValidator::Acceptable;
}

} // namespace

JsonItemDelegate::JsonItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{ }

void JsonItemDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
}

QWidget *JsonItemDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const JsonModel *model = jsonModel(index);
    if (!model)
        return QStyledItemDelegate::createEditor(parent, option, index);
    const JsNode::ItemType type = model->type(index);
    const QVector<QVariant> list = model->valueList(index);

    switch (type) {
    case JsNode::Choice: {
        auto *combo = new QComboBox(parent);
        for (const QVariant &text : list)
            combo->addItem(text.toString());
        return combo;
    }
    case JsNode::Integer:
    case JsNode::Real: {
        auto *spin = new zoDoubleSpinBox(parent);
        spin->setRange(list.value(0).toDouble(), list.value(1).toDouble());
        spin->setDecimals(int(list.value(2).toDouble()));
        spin->setSingleStep(list.value(3).toDouble());
        return spin;
    }
    case JsNode::Text:
    case JsNode::Ipv4Address:
    case JsNode::HostName:
    case JsNode::FreeText: {
        auto *edit = new zoUpDownLineEdit(parent);
        edit->setRegPattern(patternOf(type));
        return edit;
    }
    case JsNode::Heading:
        break;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void JsonItemDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (!jsonModel(index)) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QVariant data = index.model()->data(index, Qt::DisplayRole);
    if (auto *combo = qobject_cast<QComboBox *>(editor))
        combo->setCurrentText(data.toString());
    else if (auto *spin = qobject_cast<zoDoubleSpinBox *>(editor))
        spin->setValue(data.toDouble());
    else if (auto *edit = qobject_cast<QLineEdit *>(editor))
        edit->setText(data.toString());
}

// One write per commit: the value goes in as the row's type wants it (an Integer truncated
// toward zero), not a second time through the editor's user property.
void JsonItemDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    const JsonModel *json = jsonModel(index);
    if (!json) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        model->setData(index, combo->currentText(), Qt::EditRole);
    } else if (auto *spin = qobject_cast<zoDoubleSpinBox *>(editor)) {
        const double value = spin->value();
        model->setData(index,
            json->type(index) == JsNode::Integer ? QVariant(int(std::trunc(value)))
                                                 : QVariant(value),
            Qt::EditRole);
    } else if (auto *edit = qobject_cast<zoUpDownLineEdit *>(editor)) {
        if (!complete(edit)) {
            zoMessageBox box(short(-224), nullptr, false); // "Illegal parameter value"
            box.exec();
            return;
        }
        model->setData(index, edit->text(), Qt::EditRole);
    }
}
