#include "gui/toolkit/StandIn.h"

#include "gui/toolkit/zoMessageBox.h"

#include <QLabel>
#include <QLayout>
#include <QVBoxLayout>
#include <QWidget>

StandIn::StandIn(QWidget *self, const char *className)
{
    // Small and broken before each capital, so that a name fits a soft-key column.
    QString name = QString::fromLatin1(className);
    for (int i = name.size() - 1; i > 0; --i) {
        if (name.at(i).isUpper())
            name.insert(i, QChar(0x200b));
    }
    auto *label = new QLabel(name, self);
    label->setObjectName(QStringLiteral("standInName"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSize(6);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128);"));
    QLayout *layout = self->layout();
    if (!layout) {
        layout = new QVBoxLayout(self);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(label);
}

void StandIn::refuse(QWidget *over)
{
    auto *box = new zoMessageBox(-200, over->window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}
