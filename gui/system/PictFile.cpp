#include "gui/system/PictFile.h"

#include "gui/system/SystemKeyPages.h"

#include <QLayout>

PictFile::PictFile(QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictFile")
    , m_funcFile(new FuncFile(this, FuncWidget::Yellow))
{
    for (const char *name : { "file", "data" }) {
        auto *child = new QWidget(this);
        child->setObjectName(QLatin1String(name));
        layout()->addWidget(child);
    }
    layout()->addWidget(m_funcFile);
}
