#pragma once

#include <QStyledItemDelegate>

// The item delegate of the JSON trees (JsonModel): a combo box of the option texts for a choice,
// a zoDoubleSpinBox for numbers, and a zoUpDownLineEdit for texts, restricted by the IPv4,
// host-name or free-text pattern where the row asks for one. A restricted text is written only
// when it fits its pattern as a whole; otherwise the value stays and an error box says why.
class JsonItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit JsonItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // Four dotted numbers 0 to 255 without leading zeros.
    static const QString ipv4Pattern;
    // 1 to 15 letters, digits and hyphens, beginning with a letter and not ending with a hyphen.
    static const QString hostNamePattern;
    // One or more letters, digits, white space and - + . , ( ) { } [ ] _ & $ # ^ % @ =
    static const QString freeTextPattern;
};
