#pragma once

#include "engine/EngineTypes.h"

#include <QStyledItemDelegate>

// In-place editor of the program name (ProgramsModel, column 0): a line edit that takes only
// the characters a program name may hold. What the characters alone cannot tell (a leading full
// stop) the model refuses. GUI thread only.
class ProgramSelectDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The characters of a name: ASCII letters and digits, white space and - + . , ( ) { } [ ] _
    // & $ # ^ % @ =, at least one.
    static const QString namePattern;

    QWidget *createEditor(QWidget *parent,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // Shows a refused name's error in the panel's message box, which closes itself; the pages
    // install it as the programs model's refusal handler.
    static void showRefusal(vek::SCPIERR_T error);
};
