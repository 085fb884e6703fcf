#include "gui/program/ProgramSelectDelegate.h"

#include "gui/toolkit/zoMessageBox.h"
#include "gui/toolkit/zoUpDownLineEdit.h"

const QString ProgramSelectDelegate::namePattern =
    QStringLiteral("[-+A-Za-z0-9.,(){}\\[\\]_&$#^%@=\\s]+");

QWidget *ProgramSelectDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (index.column() != 0)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *edit = new zoUpDownLineEdit(parent);
    edit->setRegPattern(namePattern);
    return edit;
}

void ProgramSelectDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (index.column() != 0)
        return;
    if (auto *edit = qobject_cast<zoUpDownLineEdit *>(editor))
        edit->setText(index.data(Qt::DisplayRole).toString());
}

void ProgramSelectDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (index.column() != 0) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    if (auto *edit = qobject_cast<zoUpDownLineEdit *>(editor))
        model->setData(index, edit->text(), Qt::EditRole);
}

void ProgramSelectDelegate::showRefusal(vek::SCPIERR_T error)
{
    zoMessageBox box(error, nullptr, false);
    box.exec();
}
