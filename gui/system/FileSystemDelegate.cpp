#include "gui/system/FileSystemDelegate.h"

#include "gui/toolkit/zoUpDownLineEdit.h"

const QString FileSystemDelegate::NamePattern =
    QStringLiteral("[-+A-Za-z0-9.,(){}\\[\\]_&$#^%@=\\s]+");

QWidget *FileSystemDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (index.column() != 0)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *edit = new zoUpDownLineEdit(parent);
    edit->setRegPattern(NamePattern);
    return edit;
}

void FileSystemDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *edit = qobject_cast<zoUpDownLineEdit *>(editor);
    if (!edit)
        return QStyledItemDelegate::setEditorData(editor, index);
    edit->setText(index.data(Qt::DisplayRole).toString());
}

void FileSystemDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *edit = qobject_cast<zoUpDownLineEdit *>(editor);
    if (!edit)
        return QStyledItemDelegate::setModelData(editor, model, index);
    model->setData(index, edit->text(), Qt::EditRole);
}
