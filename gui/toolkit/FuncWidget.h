#pragma once

#include <QWidget>

class QVBoxLayout;

// A soft-key column: the keys (and key groups) for the panel keys F1 to F5, added by the pages
// that derive from it to m_layout from top (F1) to bottom (F5).
class FuncWidget : public QWidget
{
    Q_OBJECT

public:
    enum Color { NoColor, Blue, Red, Green, Yellow, Orange, Pink, Purple };
    enum Matrix { Plain, Row };

    explicit FuncWidget(QWidget *parent = nullptr);

    // Styles every key of the column that has no style sheet of its own. A value outside the
    // enumerations counts as NoColor or Plain.
    void setStyle(Color colour, Matrix matrix, Color colour2);

protected:
    QVBoxLayout *m_layout;
};
