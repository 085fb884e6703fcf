#pragma once

#include <QStyledItemDelegate>

// Edits a file name of a storage list in place: column 0 gets a line edit that accepts only
// letters, digits, white space and - + . , ( ) { } [ ] _ & $ # ^ % @ = (never "/" or ":").
class FileSystemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static const QString NamePattern;

    QWidget *createEditor(QWidget *parent,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    // The file name with its suffix.
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
};
