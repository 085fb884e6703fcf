#pragma once

#include <QPushButton>

// One soft key: checkable, never focused, 38 pixels high and at most 60 wide. Inside a
// GroupFunc it checks like a radio button across every enclosing group.
class FuncButton : public QPushButton
{
    Q_OBJECT

public:
    enum Color { NoColor, Blue, Red, Green, Yellow, Orange, Pink, Purple };
    enum Matrix { Plain, Row, Half };

    explicit FuncButton(QWidget *parent = nullptr);

    // Radio checking: unchecks every other key of the enclosing groups (outermost first) and
    // the keys of their nested groups. A key that had such siblings ends up checked whatever
    // `checked` says (so clicking the checked key keeps it); a key outside any group takes
    // `checked`. Hides QAbstractButton::setChecked.
    void setChecked(bool checked);
    // This key's own style sheet (see FuncWidget::setStyle).
    void setStyle(Color colour, Matrix matrix, Color colour2);

public Q_SLOTS:
    // Connected to clicked() before anyone else, so later receivers see the group settled.
    void onClick(bool checked);

private:
    // Unchecks the siblings of `object` in its enclosing group, outermost group first; true
    // when some key was unchecked.
    static bool uncheckSiblings(QObject *object);
};
