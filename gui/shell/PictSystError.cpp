#include "gui/shell/PictSystError.h"

#include "gui/system/SystemKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/ScpiErrorModel.h"
#include "gui/toolkit/zoMessageBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// "Execution error": the reset is not there to run.
constexpr short NotAvailable = -200;

QFont listFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

PictSystError::PictSystError(QWidget *parent, ResetSettings reset)
    : QWidget(parent)
    , m_reset(std::move(reset))
{
    createWidgets();
    createLayout();
    createConnections();
}

void PictSystError::createWidgets()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("PictSystError"));
    resize(362, 231);
    setWindowTitle(QStringLiteral("Form"));

    m_label = new QLabel(tr("SCPI error queue"), this);
    m_label->setFont(listFont());
    m_label->setCursor(Qt::BlankCursor);
    m_label->setStyleSheet(
        QStringLiteral("color: rgb(255, 255, 255);\nbackground-color: rgb(23, 79, 158);"));
    m_label->setIndent(5);

    m_tableView = new QTableView(this);
    m_tableView->setFont(listFont());
    m_tableView->viewport()->setCursor(Qt::BlankCursor);
    m_tableView->setLineWidth(5);
    m_tableView->setAlternatingRowColors(true);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setWordWrap(true);
    QHeaderView *columns = m_tableView->horizontalHeader();
    columns->setCascadingSectionResizes(true);
    columns->setDefaultSectionSize(120);
    columns->setFont(listFont());
    QHeaderView *rows = m_tableView->verticalHeader();
    rows->setCascadingSectionResizes(true);
    rows->setDefaultSectionSize(52);
    rows->setDefaultAlignment(Qt::AlignCenter);
    rows->setFont(listFont());

    m_model = new ScpiErrorModel(this);
    m_tableView->setModel(m_model);
    m_tableView->resizeColumnToContents(0);
    m_tableView->setColumnWidth(1, 175);

    m_keys = new FuncSystemError(this);
    // Errors queued before the screen was built (at start-up) can be cleared at once.
    m_keys->m_clearButton->setEnabled(m_model->rowCount() > 0);
}

void PictSystError::createLayout()
{
    m_horizontalLayout = new QHBoxLayout(this);
    m_horizontalLayout->setSpacing(0);
    m_horizontalLayout->setContentsMargins(0, 0, 0, 0);
    m_verticalLayout = new QVBoxLayout();
    m_verticalLayout->setSpacing(0);
    m_verticalLayout->addWidget(m_label);
    m_verticalLayout->addWidget(m_tableView, 1);
    m_horizontalLayout->addLayout(m_verticalLayout);
    m_horizontalLayout->addWidget(m_keys);
}

void PictSystError::createConnections()
{
    connect(m_keys->m_clearButton, &QAbstractButton::clicked, this, &PictSystError::clearList);
    connect(m_keys->m_rstButton, &QAbstractButton::clicked, this, &PictSystError::resetSettings);
}

void PictSystError::onScpiErrorQueue()
{
    m_keys->m_clearButton->setEnabled(m_model->queue());
    m_tableView->resizeRowsToContents();
}

void PictSystError::onScpiErrorDecue()
{
    m_keys->m_clearButton->setEnabled(m_model->decue());
}

void PictSystError::clearList()
{
    m_model->clear();
    m_keys->m_clearButton->setEnabled(false);
    emit scpiErrorDecued();
}

void PictSystError::resetSettings()
{
    if (!m_reset) {
        zoMessageBox(NotAvailable, this).exec();
        return;
    }
    zoMessageBox question(this, true);
    question.setText(tr("Some of the settings will be reset.\n"));
    if (question.exec() != QDialog::Accepted)
        return;
    if (const short error = m_reset()) {
        zoMessageBox(error, this).exec();
        return;
    }
    if (m_keys->m_clearButton->isEnabled())
        clearList();
}
