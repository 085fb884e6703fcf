#include "gui/toolkit/FuncButton.h"

#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/SoftKeyStyle.h"

FuncButton::FuncButton(QWidget *parent)
    : QPushButton(parent)
{
    setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    setMinimumSize(0, 38);
    setMaximumSize(60, 38);
    setCursor(Qt::BlankCursor);
    setFocusPolicy(Qt::NoFocus);
    setLayoutDirection(Qt::RightToLeft);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(sizePolicy().hasHeightForWidth());
    setSizePolicy(policy);
    setCheckable(true);
    connect(this, &QAbstractButton::clicked, this, &FuncButton::onClick);
}

bool FuncButton::uncheckSiblings(QObject *object)
{
    auto *group = qobject_cast<GroupFunc *>(object->parent());
    if (!group)
        return false;
    bool found = uncheckSiblings(group);
    for (QObject *child : group->children()) {
        if (child == object)
            continue;
        if (auto *key = qobject_cast<QPushButton *>(child)) {
            key->QAbstractButton::setChecked(false);
            found = true;
        } else if (auto *inner = qobject_cast<GroupFunc *>(child)) {
            inner->setUnchecked();
        }
    }
    return found;
}

void FuncButton::setChecked(bool checked)
{
    const bool found = uncheckSiblings(this);
    QAbstractButton::setChecked(found || checked);
}

void FuncButton::onClick(bool checked)
{
    setChecked(checked);
}

void FuncButton::setStyle(Color colour, Matrix matrix, Color colour2)
{
    setStyleSheet(SoftKeyStyle::styleSheet(colour, SoftKeyStyle::matrixName(matrix, 3), colour2));
}
