#include "gui/toolkit/Chart.h"

#include "engine/DataLogger.h"
#include "gui/toolkit/Axis.h"
#include "gui/toolkit/DataLoggerRows.h"
#include "gui/toolkit/Graph.h"
#include "gui/toolkit/OperationStatus.h"
#include "gui/toolkit/Plot.h"
#include "gui/toolkit/Plots.h"
#include "gui/toolkit/zoMeasDoubleBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

zoMeasDoubleBox *readout(QWidget *parent, const char *name, const QString &text)
{
    auto *box = new zoMeasDoubleBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setFont(MeasReadouts::font(8));
    box->setMaximumHeight(16);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setFrame(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setText(text);
    return box;
}

QLabel *unitLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *unit = new QLabel(text, parent);
    unit->setObjectName(QLatin1String(name));
    unit->setFont(MeasReadouts::font(7));
    unit->setMaximumHeight(16);
    return unit;
}

QFrame *whiteLine(QWidget *parent, const char *name)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    return line;
}

} // namespace

void Ui_Chart::setupUi(QWidget *page)
{
    page->setObjectName(QStringLiteral("Chart"));
    page->setWindowTitle(QStringLiteral("Form"));
    page->setFont(MeasReadouts::font(8));
    page->setStyleSheet(
        QStringLiteral("background-color: rgb(0, 0, 0);\ncolor: rgb(255, 255, 255);"));

    MeasCurr = readout(page, "MeasCurr", QStringLiteral("0.000"));
    CurrUnit = unitLabel(page, "CurrUnit", QStringLiteral("A"));
    MeasVolt = readout(page, "MeasVolt", QStringLiteral("0.000"));
    VoltUnit = unitLabel(page, "VoltUnit", QStringLiteral("V"));
    MeasPower = readout(page, "MeasPower", QStringLiteral("000.000"));
    WaitUnit = unitLabel(page, "WaitUnit", QStringLiteral("W"));
    operationState = new OperationStatus(page);
    operationState->setObjectName(QStringLiteral("operationState"));
    operationState->setFont(MeasReadouts::font(8, true));
    operationState->setAlignment(Qt::AlignCenter);
    operationState->setMinimumWidth(40);
    operationState->setMaximumHeight(16);
    MeasCapacity = readout(page, "MeasCapacity", QStringLiteral("000.000"));
    CapacityUnit = unitLabel(page, "CapacityUnit", QStringLiteral("Ah"));
    MeasEnergy = readout(page, "MeasEnergy", QStringLiteral("000.000"));
    EnergyUnit = unitLabel(page, "EnergyUnit", QStringLiteral("Wh"));
    ETime = new QLabel(QStringLiteral("00:00:00"), page);
    ETime->setObjectName(QStringLiteral("ETime"));
    ETime->setFont(MeasReadouts::font(8));
    ETime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    upLine = whiteLine(page, "upLine");
    downLine = whiteLine(page, "downLine");

    stackedWidget = new QStackedWidget(page);
    stackedWidget->setObjectName(QStringLiteral("stackedWidget"));
    chart = new QWidget;
    chart->setObjectName(QStringLiteral("chart"));
    chart->setMinimumWidth(264);
    plot = new Graph(chart);
    plot->setObjectName(QStringLiteral("plot"));
    plot->setFont(MeasReadouts::font(6));
    auto *chartLayout = new QVBoxLayout(chart);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(plot);
    table = new QWidget;
    table->setObjectName(QStringLiteral("table"));
    tableView = new QTableView(table);
    tableView->setObjectName(QStringLiteral("tableView"));
    tableView->setFont(MeasReadouts::font(8));
    tableView->setFrameShape(QFrame::NoFrame);
    tableView->verticalHeader()->setMinimumSectionSize(12);
    auto *tableLayout = new QVBoxLayout(table);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->addWidget(tableView);
    stackedWidget->addWidget(chart);
    stackedWidget->addWidget(table);

    auto *firstRow = new QHBoxLayout;
    firstRow->setSpacing(1);
    for (QWidget *w : { static_cast<QWidget *>(MeasCurr),
             static_cast<QWidget *>(CurrUnit),
             static_cast<QWidget *>(MeasVolt),
             static_cast<QWidget *>(VoltUnit),
             static_cast<QWidget *>(MeasPower),
             static_cast<QWidget *>(WaitUnit),
             static_cast<QWidget *>(operationState) })
        firstRow->addWidget(w);
    horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->setSpacing(1);
    for (QWidget *w : { static_cast<QWidget *>(MeasCapacity),
             static_cast<QWidget *>(CapacityUnit),
             static_cast<QWidget *>(MeasEnergy),
             static_cast<QWidget *>(EnergyUnit),
             static_cast<QWidget *>(ETime) })
        horizontalLayout_2->addWidget(w);

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(1);
    layout->addLayout(firstRow);
    layout->addLayout(horizontalLayout_2);
    layout->addWidget(upLine);
    layout->addWidget(stackedWidget, 1);
    layout->addWidget(downLine);
}

Chart::Chart(FuncDisplay *display,
    DataLogger *logger,
    const MeasReadouts::Bounds &bounds,
    vek::AcquireTrigger *acquire,
    QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_Chart)
    , m_display(display)
    , m_rows(new DataLoggerRows(logger, this))
    , m_bounds(bounds)
{
    ui->setupUi(this);
    setUpChart();
    onTableChange();
    setUpTable();
    MeasReadouts::setupRangeBox(
        ui->MeasCurr, MeasReadouts::bound(m_bounds.current, 0), QStringLiteral("A"));
    MeasReadouts::setupRangeBox(
        ui->MeasVolt, MeasReadouts::bound(m_bounds.voltage, 0), QStringLiteral("V"));
    MeasReadouts::setupPowerBox(ui->MeasPower);
    MeasReadouts::setupIntegralBox(ui->MeasCapacity, QStringLiteral("Ah"));
    MeasReadouts::setupIntegralBox(ui->MeasEnergy, QStringLiteral("Wh"));
    createConnections(acquire);
}

Chart::~Chart()
{
    delete ui;
}

// Current and voltage are drawn; power, capacity and energy are bound to hidden axes so that
// they take no room but still count for the time axis' range.
void Chart::setUpChart()
{
    Graph *graph = ui->plot;
    graph->setModel(m_rows);
    const struct
    {
        int column;
        Qt::GlobalColor colour;
        bool visible;
    } curves[] = {
        { DataLogger::Current, Qt::red, true },
        { DataLogger::Voltage, Qt::green, true },
        { DataLogger::Power, Qt::yellow, false },
        { DataLogger::Capacity, Qt::cyan, false },
        { DataLogger::Energy, Qt::blue, false },
    };
    for (const auto &curve : curves) {
        Plot *plot = graph->columnPlots()->plot(curve.column);
        plot->setLineColor(curve.colour);
        plot->setVisble(curve.visible);
        QSharedPointer<Axis> axis(new Axis(this));
        axis->setLineColor(curve.colour);
        axis->setVisble(curve.visible);
        if (curve.column == DataLogger::Current)
            m_currAxis = axis;
        else if (curve.column == DataLogger::Voltage)
            m_voltAxis = axis;
        graph->setPlot(plot, axis);
    }
}

void Chart::setUpTable()
{
    QTableView *view = ui->tableView;
    view->setModel(m_rows);
    const QFont headerFont = MeasReadouts::font(7);
    view->horizontalHeader()->setFont(headerFont);
    view->verticalHeader()->setFont(headerFont);
    view->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    view->resizeColumnsToContents();
}

void Chart::createConnections(vek::AcquireTrigger *acquire)
{
    const std::pair<zoMeasDoubleBox *, QLabel *> units[] = {
        { ui->MeasCurr, ui->CurrUnit },
        { ui->MeasVolt, ui->VoltUnit },
        { ui->MeasPower, ui->WaitUnit },
        { ui->MeasCapacity, ui->CapacityUnit },
        { ui->MeasEnergy, ui->EnergyUnit },
    };
    for (const auto &[box, unit] : units)
        connect(box, &zoMeasDoubleBox::siPrefixChanged, unit, &QLabel::setText);
    if (acquire)
        connect(
            acquire, &vek::AcquireTrigger::displayItemsChanged, this, &Chart::onDisplayItemsChange);
}

void Chart::viewMeasLargeFont(bool large)
{
    QFont font = ui->MeasCurr->font();
    font.setPointSize(large ? 8 : 7);
    for (QWidget *w : { static_cast<QWidget *>(ui->MeasCurr),
             static_cast<QWidget *>(ui->MeasVolt),
             static_cast<QWidget *>(ui->MeasPower),
             static_cast<QWidget *>(ui->MeasCapacity),
             static_cast<QWidget *>(ui->MeasEnergy),
             static_cast<QWidget *>(ui->ETime) })
        w->setFont(font);
}

OperationStatus *Chart::opertationStatusWidget() const
{
    return ui->operationState;
}

void Chart::setChartAxisVisible(bool visible)
{
    m_currAxis->setVisble(visible);
    m_voltAxis->setVisble(visible);
    if (Axis *x = ui->plot->xAxis())
        x->setVisble(visible);
}

QAbstractItemModel *Chart::recordModel() const
{
    return m_rows;
}

bool Chart::eventFilter(QObject *watched, QEvent *event)
{
    return QWidget::eventFilter(watched, event);
}

void Chart::onMonitorUpdate(const ioc::TRACE_DATA *meas)
{
    if (meas->currentRange != m_currRange) {
        m_currRange = meas->currentRange;
        MeasReadouts::applyRange(ui->MeasCurr, MeasReadouts::bound(m_bounds.current, m_currRange));
    }
    if (meas->voltageRange != m_voltRange) {
        m_voltRange = meas->voltageRange;
        MeasReadouts::applyRange(ui->MeasVolt, MeasReadouts::bound(m_bounds.voltage, m_voltRange));
    }
    ui->MeasCurr->setValue(meas->current);
    ui->MeasVolt->setValue(meas->voltage);
    ui->MeasPower->setValue(meas->power);
    ui->MeasCapacity->setValue(meas->capacity);
    ui->MeasEnergy->setValue(meas->energy);
    ui->ETime->setText(MeasReadouts::elapsedText(meas->elapsedTime));
}

void Chart::onTableChange()
{
    ui->stackedWidget->setCurrentWidget(ui->table);
}

void Chart::onChartChange()
{
    ui->stackedWidget->setCurrentWidget(ui->chart);
}

void Chart::onDisplayItemsChange(vek::AcquireTrigger::displayItems items)
{
    const bool capacity = items.testFlag(vek::AcquireTrigger::capacity);
    const bool energy = items.testFlag(vek::AcquireTrigger::energy);
    ui->tableView->setColumnHidden(DataLogger::Capacity, !capacity);
    ui->tableView->setColumnHidden(DataLogger::Energy, !energy);
    ui->ETime->setVisible(items.testFlag(vek::AcquireTrigger::eTime));
    ui->MeasCapacity->setVisible(capacity);
    ui->CapacityUnit->setVisible(capacity);
    ui->MeasEnergy->setVisible(energy);
    ui->EnergyUnit->setVisible(energy);
}
