#include "gui/system/SystemKeyPages.h"

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/SoftKeyParts.h"

#include <QVBoxLayout>

using namespace softkeys;

FuncSystemConfig::FuncSystemConfig(QWidget *parent)
    : FuncWidget(parent)
{
    m_editButton = key(this, tr("Edit"), Qt::Key_F2);
    m_layout->addWidget(blank(this));
    m_layout->addWidget(m_editButton);
    for (int i = 0; i < 3; ++i)
        m_layout->addWidget(blank(this));
    setStyle(Yellow, Row, NoColor);
}

FuncSystemInterface::FuncSystemInterface(QWidget *parent)
    : FuncWidget(parent)
{
    m_modifyButton = key(this, tr("Modify"), Qt::Key_F1);
    m_editButton = key(this, tr("Edit"), Qt::Key_F2);
    m_applyButton = key(this, tr("Apply"), Qt::Key_F3, false);
    m_defaultButton = key(this, tr("Default"), Qt::Key_F4, false);
    m_lanResetButton = key(this, tr("LAN\nReset"), Qt::Key_F5, false);
    for (FuncButton *b : { m_editButton, m_applyButton, m_defaultButton, m_lanResetButton })
        b->setEnabled(false);
    for (QWidget *w :
        { m_modifyButton, m_editButton, m_applyButton, m_defaultButton, m_lanResetButton })
        m_layout->addWidget(w);
    setStyle(Yellow, Row, NoColor);
}

FuncSystemError::FuncSystemError(QWidget *parent)
    : FuncWidget(parent)
{
    m_clearButton = key(this, tr("Clear"), Qt::Key_F1, false);
    m_rstButton = key(this, tr("*RST"), Qt::Key_F5, false);
    m_clearButton->setEnabled(false);
    m_layout->addWidget(m_clearButton);
    for (int i = 0; i < 3; ++i)
        m_layout->addWidget(blank(this));
    m_layout->addWidget(m_rstButton);
    setStyle(Yellow, Row, NoColor);
}

FuncSystemAdmin::FuncSystemAdmin(QWidget *parent)
    : FuncWidget(parent)
{
    m_keyGroup = group(this, 5);
    m_dateTimeButton = key(m_keyGroup, tr("Date\nTime"), Qt::Key_F1);
    m_sanitizeButton = key(m_keyGroup, tr("Sanitize"), Qt::Key_F2);
    m_updateButton = key(m_keyGroup, tr("Firmware\nUpdate"), Qt::Key_F3);
    m_updateButton->setFont(keyFont(7));
    for (FuncButton *b : { m_dateTimeButton, m_sanitizeButton, m_updateButton })
        addTo(m_keyGroup, b);
    m_tabButton = key(this, tr("Tab"), Qt::Key_F4, false);
    m_executeButton = key(this, tr("Apply"), Qt::Key_F5, false);
    m_layout->addWidget(m_keyGroup);
    m_layout->addWidget(m_tabButton);
    m_layout->addWidget(m_executeButton);
    setStyle(Yellow, Row, NoColor);
    connect(m_executeButton, &QAbstractButton::clicked, this, &FuncSystemAdmin::onExecute);
}

void FuncSystemAdmin::setFuncMode(funcMode mode)
{
    struct Look
    {
        int points;
        const char *text;
        bool tab;
    };
    static const Look looks[] = {
        { 8, QT_TR_NOOP("Apply"), true }, // ModeDateTime
        { 8, QT_TR_NOOP("Check"), true }, // ModeNtpAdjust
        { 7, QT_TR_NOOP("Execute..."), false }, // ModeSanitize
        { 7, QT_TR_NOOP("Execute..."), false }, // ModeUpdate
    };
    if (mode < ModeDateTime || mode > ModeUpdate)
        return;
    m_funcMode = mode;
    const Look &look = looks[mode];
    m_executeButton->setFont(keyFont(look.points));
    m_executeButton->setText(tr(look.text));
    m_executeButton->setShortcut(QKeySequence(Qt::Key_F5)); // the text replaced it
    m_tabButton->setEnabled(look.tab);
    m_executeButton->setEnabled(true);
}

bool FuncSystemAdmin::isNtpAdjustKey() const
{
    return m_executeButton->text() == tr("Check");
}

void FuncSystemAdmin::setTimeNtpAdjust(bool on)
{
    m_executeButton->setChecked(on);
}

void FuncSystemAdmin::onExecute()
{
    switch (m_funcMode) {
    case ModeDateTime:
        emit applyClicked();
        break;
    case ModeNtpAdjust:
        emit ntpAdjustClicked();
        break;
    case ModeSanitize:
        emit sanitizeClicked();
        break;
    case ModeUpdate:
        emit updateClicked();
        break;
    }
}

FuncFile::FuncFile(QWidget *parent, FuncWidget::Color colour)
    : FuncWidget(parent)
{
    m_recallButton = key(this, tr("Recall"), Qt::Key_F1, false);
    m_saveButton = key(this, tr("Save"), Qt::Key_F2, false);
    m_saveAsButton = key(this, tr("Save As"), Qt::Key_F3, false);
    m_renameButton = key(this, tr("Rename"), Qt::Key_F4, false);
    m_propertyButton = key(this, tr("Property"), Qt::Key_F5);
    for (FuncButton *b :
        { m_recallButton, m_saveButton, m_saveAsButton, m_renameButton, m_propertyButton }) {
        b->setEnabled(false);
        m_layout->addWidget(b);
    }
    setStyle(colour, Row, NoColor);
}

void FuncFile::SetSaveBtn(bool initiated)
{
    m_initiated = initiated;
    updateSaveAs();
}

void FuncFile::setUsbMemoryMode(bool usb)
{
    m_usbMemory = usb;
    updateSaveAs();
}

void FuncFile::setPathEmptyMode()
{
    for (FuncButton *b :
        { m_recallButton, m_saveButton, m_saveAsButton, m_renameButton, m_propertyButton })
        b->setEnabled(false);
}

void FuncFile::setRecallSaveFileMode()
{
    m_recallButton->setEnabled(true);
    m_saveButton->setEnabled(!m_keyLock);
    m_propertyButton->setEnabled(!m_keyLock);
    m_renameButton->setEnabled(m_saveAsButton->isEnabled());
}

void FuncFile::setSaveFileMode(bool recall)
{
    m_recallButton->setEnabled(recall);
    m_saveButton->setEnabled(!m_keyLock);
    m_renameButton->setEnabled(m_saveAsButton->isEnabled());
    m_propertyButton->setEnabled(false);
}

void FuncFile::setOtherFileMode()
{
    m_recallButton->setEnabled(false);
    m_saveButton->setEnabled(false);
    m_propertyButton->setEnabled(false);
    m_renameButton->setEnabled(true);
}

void FuncFile::updateSaveAs()
{
    m_saveAsButton->setEnabled(m_usbMemory && !m_keyLock && !m_initiated);
}
