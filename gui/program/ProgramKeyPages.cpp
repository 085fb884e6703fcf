#include "gui/program/ProgramKeyPages.h"

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/SoftKeyParts.h"

#include <QVBoxLayout>

using namespace softkeys;

FuncProg::FuncProg(QWidget *parent)
    : FuncWidget(parent)
{
    m_selectButton = key(this, tr("Select"), Qt::Key_F1);
    m_renameButton = key(this, tr("Rename"), Qt::Key_F2, false);
    m_createButton = key(this, tr("Create"), Qt::Key_F3, false);
    m_subButton = key(this, tr("Sub"), Qt::Key_F4, false);
    m_deleteButton = key(this, tr("Delete..."), Qt::Key_F5, false);
    for (QWidget *w :
        { m_selectButton, m_renameButton, m_createButton, m_subButton, m_deleteButton })
        m_layout->addWidget(w);
    setStyle(Green, Row, NoColor);
}

FuncProgExport::FuncProgExport(QWidget *parent)
    : FuncWidget(parent)
{
    m_copyButton = key(this, tr("Copy"), Qt::Key_F1, false);
    m_pasteButton = key(this, tr("Paste"), Qt::Key_F2, false);
    m_overwriteButton = key(this, tr("Over\nwrite..."), Qt::Key_F3, false);
    // The trailing blank is part of the text.
    m_switchButton = key(this, tr("USB\u21d4\nInternal "), Qt::Key_F5, false);
    m_layout->setContentsMargins(0, 14, 0, 0);
    for (QWidget *w : { m_copyButton, m_pasteButton, m_overwriteButton })
        m_layout->addWidget(w);
    m_layout->addWidget(blank(this));
    m_layout->addWidget(m_switchButton);
    m_layout->addStretch();
    setStyle(Green, Row, NoColor);
}
