#include "gui/source/ViewArbitrary.h"

#include "engine/ArbitraryModel.h"
#include "engine/ELoad.h"
#include "gui/source/FuncSourLevelArbitrary.h"
#include "gui/source/FuncSourLevelForms.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/StandIn.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMessageBox.h"
#include "instrument/ModelInformation.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int HighRange = 2; // current; the High voltage range is 1

vek::ArbitraryModel *engineTable()
{
    return vek::ELoad::s_pSelf ? vek::ELoad::s_pSelf->arbitrary() : nullptr;
}

QFont tableFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    return font;
}

} // namespace

QWidget *ArbitraryDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const ModelInformation *info = vek::ELoad::s_pSelf ? vek::ELoad::s_pSelf->info() : nullptr;
    if (index.column() > 1 || !info)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *box = new zoDoubleSpinBox(parent);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    if (index.column() == 0)
        ModelInformation::rangeValue(info->voltageMap(), HighRange - 1).setBoundValueWidget(box, 0);
    else
        ModelInformation::rangeValue(info->currentMap(), HighRange).setBoundValueWidget(box, 0);
    return box;
}

void ArbitraryDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = qobject_cast<zoDoubleSpinBox *>(editor);
    if (index.column() > 1 || !box)
        return QStyledItemDelegate::setEditorData(editor, index);
    box->setValue(index.data(Qt::DisplayRole).toDouble());
}

void ArbitraryDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *box = qobject_cast<zoDoubleSpinBox *>(editor);
    if (index.column() > 1 || !box)
        return QStyledItemDelegate::setModelData(editor, model, index);
    model->setData(index, box->value(), Qt::EditRole);
}

ViewArbitrary::ViewArbitrary(FuncSourLevelArbitrary *keys, QWidget *parent)
    : QWidget(parent)
    , m_keys(keys)
{
    setObjectName(QStringLiteral("ViewArbitrary"));
    resize(292, 188);
    setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(3);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    line = new QFrame(this);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(2);
    verticalLayout->addWidget(line);
    tableView = new QTableView(this);
    tableView->setObjectName(QStringLiteral("tableView"));
    tableView->setFont(tableFont());
    tableView->setStyleSheet(QStringLiteral("font: 8pt \"DejaVu Sans\";"));
    tableView->setSizeAdjustPolicy(QAbstractScrollArea::AdjustIgnored);
    tableView->setAlternatingRowColors(true);
    tableView->horizontalHeader()->setDefaultSectionSize(100);
    tableView->verticalHeader()->setDefaultSectionSize(20);
    tableView->verticalHeader()->setMinimumSectionSize(20);
    verticalLayout->addWidget(tableView);

    createLayout();
    createConnections();
}

void ViewArbitrary::createLayout()
{
    if (vek::ArbitraryModel *table = engineTable())
        tableView->setModel(table);
    tableView->setItemDelegate(new ArbitraryDelegate(this));
    tableView->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    tableView->verticalHeader()->setFont(tableFont());
    tableView->horizontalHeader()->setFont(tableFont());
    tableView->installEventFilter(this);
    if (m_keys)
        m_keys->ui->arbCount->installEventFilter(this);
    installEventFilter(this);
}

void ViewArbitrary::createConnections()
{
    vek::ArbitraryModel *table = engineTable();
    if (!m_keys)
        return;
    connect(m_keys, &FuncSourLevelArbitrary::tableClicked, this, [this, table] {
        if (!table)
            return StandIn::refuse(this);
        if (m_editing) {
            // Commits the open editor as its own Return key would.
            if (QWidget *focus = QApplication::focusWidget()) {
                QApplication::postEvent(
                    focus, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
                QApplication::postEvent(
                    focus, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier));
            }
        } else {
            tableView->edit(tableView->currentIndex());
        }
    });
    connect(m_keys, &FuncSourLevelArbitrary::countClicked, this, [this, table] {
        if (!table)
            return StandIn::refuse(this);
        if (m_counting)
            tableView->setFocus(Qt::OtherFocusReason);
        else
            m_keys->ui->arbCount->setFocus(Qt::OtherFocusReason);
    });
    connect(m_keys, &FuncSourLevelArbitrary::countEditingFinished, this, [this] {
        tableView->setFocus(Qt::OtherFocusReason);
    });
    if (!table)
        return;
    connect(m_keys, &FuncSourLevelArbitrary::countPrefixChanged, this, [this, table](double n) {
        // A count outside 3 to 100 cannot be entered; the table refuses it all the same.
        table->setCount(qRound(n), tableView->currentIndex());
    });
    connect(table, &vek::ArbitraryModel::countUiChanged, this, [this](int n) {
        m_keys->ui->arbCount->setValue(n);
    });
    connect(table, &vek::ArbitraryModel::errorOfEdit, this, [this](int error) {
        auto *box = new zoMessageBox(short(error), window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    });
    connect(tableView->selectionModel(),
        &QItemSelectionModel::currentChanged,
        this,
        [this](const QModelIndex &current) {
            m_keys->setEditTable(current.flags() & Qt::ItemIsEditable);
        });
}

bool ViewArbitrary::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    const bool focusIn = type == QEvent::FocusIn;
    const bool focusOut = type == QEvent::FocusOut;
    bool update = false;
    if (watched == this) {
        if (type == QEvent::Show) {
            m_editing = m_counting = false;
            m_active = update = true;
        } else if (type == QEvent::Hide) {
            m_active = false;
        }
    } else if (watched == tableView && (focusIn || focusOut)) {
        m_editing = focusOut;
        m_counting = false;
        update = true;
    } else if (m_keys && watched == m_keys->ui->arbCount && (focusIn || focusOut)) {
        m_editing = focusOut;
        m_counting = focusIn;
        update = true;
    }
    if (update && m_active && m_keys) {
        if (m_editing)
            m_keys->ui->table->setChecked(true);
        else if (m_counting)
            m_keys->ui->countButton->setChecked(true);
        else {
            m_keys->ui->table->setChecked(false);
            m_keys->ui->countButton->setChecked(false);
        }
    }
    return QWidget::eventFilter(watched, event);
}
