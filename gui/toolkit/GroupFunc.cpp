#include "gui/toolkit/GroupFunc.h"

#include "gui/toolkit/SoftKeyStyle.h"

#include <QAction>
#include <QPushButton>

GroupFunc::GroupFunc(QWidget *parent)
    : QWidget(parent)
{
    setMaximumSize(60, QWIDGETSIZE_MAX);
    setCursor(Qt::BlankCursor);
    setLayoutDirection(Qt::RightToLeft);
}

void GroupFunc::setEnabled(bool enabled)
{
    if (m_action)
        m_action->setShortcut(enabled ? m_keySequence : QKeySequence());
    QWidget::setEnabled(enabled);
}

void GroupFunc::setShortcut(const QKeySequence &keys)
{
    if (!m_action) {
        m_action = new QAction(this);
        // The binding must live on the widget that holds the group, so that it works while
        // that widget is shown; a group without parent carries it itself.
        QWidget *holder = parentWidget() ? parentWidget() : this;
        holder->addAction(m_action);
        connect(m_action, &QAction::triggered, this, &GroupFunc::cycle);
    }
    m_keySequence = keys;
    m_action->setShortcut(keys);
}

QPushButton *GroupFunc::checkPushButton() const
{
    for (QObject *child : children()) {
        if (auto *key = qobject_cast<QPushButton *>(child)) {
            if (key->isChecked())
                return key;
        } else if (auto *inner = qobject_cast<GroupFunc *>(child)) {
            if (QPushButton *found = inner->checkPushButton())
                return found;
        }
    }
    return nullptr;
}

void GroupFunc::setUnchecked()
{
    for (QObject *child : children()) {
        if (auto *key = qobject_cast<QPushButton *>(child))
            key->QAbstractButton::setChecked(false);
    }
}

void GroupFunc::setStyle(Color colour, Matrix matrix, Color colour2)
{
    setStyleSheet(SoftKeyStyle::styleSheet(colour, SoftKeyStyle::matrixName(matrix, 2), colour2));
}

void GroupFunc::cycle()
{
    if (!isEnabled())
        return;
    QList<QPushButton *> keys;
    for (QObject *child : children()) {
        auto *key = qobject_cast<QPushButton *>(child);
        if (key && key->isVisibleTo(this))
            keys.append(key);
    }
    if (keys.isEmpty())
        return;
    if (m_index >= keys.size())
        m_index = 0;
    const int checked = keys.indexOf(checkPushButton());
    if (checked >= 0)
        m_index = (checked + 1) % keys.size();
    // A click without the toggle: the key's own onClick checks it, other receivers see false.
    Q_EMIT keys.at(m_index)->clicked(false);
}
