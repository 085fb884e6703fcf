#pragma once

#include <QKeySequence>
#include <QWidget>

class QAction;
class QPushButton;

// A group of soft keys that check like radio buttons (FuncButton::setChecked); groups may nest.
// One panel key can cycle through the group's visible keys (setShortcut): each press clicks the
// key after the checked one, wrapping from the last to the first.
class GroupFunc : public QWidget
{
    Q_OBJECT

public:
    enum Color { NoColor, Blue, Red, Green, Yellow, Orange, Pink, Purple };
    enum Matrix { Plain, Row };

    explicit GroupFunc(QWidget *parent = nullptr);

    // Also arms (enabled) or disarms the group's panel key. Hides QWidget::setEnabled.
    void setEnabled(bool enabled);
    // The panel key that cycles through the group; it works while the group's parent widget
    // is shown in the active window.
    void setShortcut(const QKeySequence &keys);
    // The checked key of the group or of a nested group (depth first), or null.
    QPushButton *checkPushButton() const;
    // Unchecks the group's own keys; keys of nested groups are left alone.
    void setUnchecked();
    // Styles the group's keys that have no style sheet of their own.
    void setStyle(Color colour, Matrix matrix, Color colour2);

private:
    // One press of the group's panel key.
    void cycle();

    QAction *m_action = nullptr; // carries the panel-key binding; owned by the group
    int m_index = 0; // the visible key clicked when none of them is checked
    QKeySequence m_keySequence;
};
