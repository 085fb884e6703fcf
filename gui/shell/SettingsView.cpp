#include "gui/shell/SettingsView.h"

#include "commands/ValueObjects.h"
#include "engine/AcquireTrigger.h"
#include "gui/shell/ui_ViewTree.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/ZOValueModel.h"
#include "gui/toolkit/zoMessageBox.h"
#include "gui/toolkit/zoValueItemDelegate.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>

SettingsView::SettingsView(FuncButton *editButton, bool refreshEditOnShow, QWidget *parent)
    : QWidget(parent)
    , m_ui(new Ui_ViewTree)
    , m_editButton(editButton)
    , m_refreshEditOnShow(refreshEditOnShow)
{
    m_ui->setupUi(this);
}

SettingsView::~SettingsView()
{
    delete m_ui;
}

vek::AcquireTrigger *SettingsView::acquisition()
{
    return valueEngine().acquire;
}

void SettingsView::setUpHeader(int defaultSectionSize)
{
    QHeaderView *header = m_ui->treeView->header();
    header->setDefaultAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("DejaVu Sans"), 8, QFont::Bold);
    font.setItalic(false);
    header->setFont(font);
    header->setDefaultSectionSize(defaultSectionSize);
}

void SettingsView::setTree(ZONode *root)
{
    m_ui->treeView->setModel(new ZOValueModel(root, this));
    auto *delegate = new zoValueItemDelegate(this);
    m_ui->treeView->setItemDelegate(delegate);
    // Connected after the tree's own slot, which gives the focus back to the tree when the
    // editor had it.
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, &SettingsView::onEditorClosed);
    m_ui->treeView->expandAll();
}

void SettingsView::finishLayout(const QModelIndex &cell)
{
    m_ui->treeView->installEventFilter(this);
    m_ui->treeView->selectionModel()->setCurrentIndex(
        cell, QItemSelectionModel::Select | QItemSelectionModel::Current);
}

void SettingsView::connectEditKey()
{
    connect(m_editButton, &QAbstractButton::clicked, this, &SettingsView::onItemEdit);
    connect(m_ui->treeView->selectionModel(),
        &QItemSelectionModel::currentChanged,
        this,
        &SettingsView::onCurrentChanged);
}

QModelIndex SettingsView::firstNestedValueCell() const
{
    QAbstractItemModel *model = m_ui->treeView->model();
    return model->index(0, 1, model->index(0, 0));
}

ZOValueModel *SettingsView::valueModel() const
{
    return qobject_cast<ZOValueModel *>(m_ui->treeView->model());
}

void SettingsView::onCurrentChanged(const QModelIndex &current)
{
    m_editButton->setEnabled(current.isValid() && (current.flags() & Qt::ItemIsEditable));
    if (current.isValid() && current.column() == 0) {
        m_ui->treeView->selectionModel()->setCurrentIndex(
            current.siblingAtColumn(1), QItemSelectionModel::Select | QItemSelectionModel::Current);
    }
}

void SettingsView::enableEditKey()
{
    const QModelIndex current = m_ui->treeView->currentIndex();
    m_editButton->setEnabled(current.isValid() && (current.flags() & Qt::ItemIsEditable));
}

void SettingsView::onItemEdit()
{
    if (!m_editing) {
        m_ui->treeView->edit(m_ui->treeView->currentIndex());
    } else if (QWidget *editor = focusWidget()) {
        // The open editor takes these as a real Return: the delegate commits and closes it.
        QCoreApplication::postEvent(editor,
            new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), false, 1));
        QCoreApplication::postEvent(editor,
            new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QString(), false, 1));
    }
    // A click toggles the checkable key by itself; it shows whether an editor is open instead.
    m_editButton->setChecked(m_editing);
}

void SettingsView::onEditorClosed()
{
    // A refused value's error box is a window of its own: once it has closed, the tree's
    // window may not be active again yet, so the focus does not come back to the tree and no
    // focus-in tells that the editor is gone. The tree takes the focus for when it is.
    // Tab closes one editor and opens the next cell's, which keeps the focus.
    if (m_ui->treeView->indexWidget(m_ui->treeView->currentIndex()))
        return;
    m_editing = false;
    m_editButton->setChecked(false);
    if (isVisible())
        m_ui->treeView->setFocus(Qt::OtherFocusReason);
}

bool SettingsView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->treeView) {
        if (event->type() == QEvent::FocusOut)
            m_editing = true;
        else if (event->type() == QEvent::FocusIn)
            m_editing = false;
        m_editButton->setChecked(m_editing);
    }
    return QWidget::eventFilter(watched, event);
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_ui->treeView->setFocus(Qt::OtherFocusReason);
    if (m_refreshEditOnShow)
        enableEditKey();
}

void SettingsView::connectAction(FuncButton *key, short (vek::AcquireTrigger::*op)())
{
    connect(key, &QAbstractButton::clicked, this, [this, op] {
        vek::AcquireTrigger *acquire = acquisition();
        const short error = acquire ? (acquire->*op)() : short(-200);
        if (error == 0)
            return;
        zoMessageBox box(error, this);
        box.exec();
    });
}
