#include "gui/toolkit/FuncWidget.h"

#include "gui/toolkit/SoftKeyStyle.h"

#include <QVBoxLayout>

FuncWidget::FuncWidget(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 4);
    setMinimumSize(62, 0);
    setCursor(Qt::BlankCursor);
}

void FuncWidget::setStyle(Color colour, Matrix matrix, Color colour2)
{
    setStyleSheet(SoftKeyStyle::styleSheet(colour, SoftKeyStyle::matrixName(matrix, 2), colour2));
}
