#include "gui/toolkit/zoMessageBox.h"

#include "remote/ZOSystErrCue.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

zoMessageBox::zoMessageBox(QWidget *parent, bool question)
    : QDialog(parent)
    , m_question(question)
{
    createWidgets();
    createLayout();
    createConnections();
    setStyleSheet(
        QStringLiteral("font: 8pt \"DejaVu Sans\";background-color: rgb(102, 102, 102, 204);"));
}

zoMessageBox::zoMessageBox(short error, QWidget *parent, bool question)
    : zoMessageBox(parent, question)
{
    setScpiError(error);
}

void zoMessageBox::createWidgets()
{
    m_label = new QLabel(this);
    m_label->setWordWrap(true);
    m_label->setAttribute(Qt::WA_TranslucentBackground);

    m_buttonBox = new QDialogButtonBox(Qt::Horizontal, this);
    m_buttonBox->setCenterButtons(true);
    m_buttonBox->setStyleSheet(
        QStringLiteral("font: 8pt \"DejaVu Sans\";background-color: rgb(102, 102, 102);"));
    // "OK" carries the help role so that it accepts through helpRequested, not accepted().
    m_okButton = m_buttonBox->addButton(tr("OK"), QDialogButtonBox::HelpRole);
    m_cancelButton = m_buttonBox->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    m_cancelButton->setShortcut(QKeySequence(Qt::Key_Escape));
    // Return goes to the default key alone, whichever key has the focus.
    m_okButton->setAutoDefault(false);
    m_cancelButton->setAutoDefault(false);
    m_buttonBox->setVisible(m_question);
}

void zoMessageBox::createLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_buttonBox);
    m_okButton->setDefault(true);
}

void zoMessageBox::createConnections()
{
    connect(m_buttonBox, &QDialogButtonBox::helpRequested, this, &QDialog::accept);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &QWidget::close);
    if (!m_question && m_closeDelay > 0)
        QTimer::singleShot(m_closeDelay, this, &QDialog::accept);
}

void zoMessageBox::setText(const QString &text)
{
    m_label->setText(text);
}

void zoMessageBox::setScpiError(short error)
{
    m_label->setText(zo4882::s_systErrCue.getMessage(error));
}

void zoMessageBox::setCancelDefault(bool on)
{
    m_cancelButton->setDefault(on);
    m_okButton->setDefault(!on);
}
