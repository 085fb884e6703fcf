#include "gui/toolkit/StandIn.h"

#include <QLabel>
#include <QLayout>
#include <QVBoxLayout>
#include <QWidget>

StandIn::StandIn(QWidget *self, const char *className)
{
    auto *label = new QLabel(QString::fromLatin1(className), self);
    label->setObjectName(QStringLiteral("standInName"));
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128);"));
    QLayout *layout = self->layout();
    if (!layout) {
        layout = new QVBoxLayout(self);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(label);
}
