#include "gui/toolkit/Meter.h"

#include "gui/toolkit/OperationStatus.h"
#include "gui/toolkit/zoMeasDoubleBox.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

const QString barStyle = QStringLiteral("QProgressBar {\n    border: 1px solid #1F1F1F;\n"
                                        "    border-radius: 5px;\n}\nQProgressBar::chunk {\n"
                                        "    background-color: %1;\n    width: 1px;\n}");

zoMeasDoubleBox *readout(QWidget *parent, const char *name, const QString &text, int points)
{
    auto *box = new zoMeasDoubleBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setFont(MeasReadouts::font(points));
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setFrame(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setText(text);
    return box;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, int points)
{
    auto *unit = new QLabel(text, parent);
    unit->setObjectName(QLatin1String(name));
    unit->setFont(MeasReadouts::font(points));
    return unit;
}

QProgressBar *levelBar(QWidget *parent, const char *name, const char *colour)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setFixedHeight(6);
    bar->setTextVisible(false);
    bar->setValue(0);
    bar->setStyleSheet(barStyle.arg(QLatin1String(colour)));
    return bar;
}

// A read-out with its unit in a container of its own, so the pair hides as one row.
QWidget *pair(QWidget *parent,
    const char *name,
    QHBoxLayout **layout,
    const char *layoutName,
    zoMeasDoubleBox **box,
    const char *boxName,
    QLabel **unit,
    const char *unitName,
    const QString &unitText)
{
    auto *row = new QWidget(parent);
    row->setObjectName(QLatin1String(name));
    *layout = new QHBoxLayout(row);
    (*layout)->setObjectName(QLatin1String(layoutName));
    (*layout)->setContentsMargins(0, 0, 0, 0);
    (*layout)->setSpacing(2);
    *box = readout(row, boxName, QStringLiteral("000.000"), 10);
    (*box)->setFixedWidth(72);
    *unit = label(row, unitName, unitText, 7);
    (*unit)->setMaximumWidth(26);
    (*layout)->addWidget(*box);
    (*layout)->addWidget(*unit);
    return row;
}

} // namespace

void Ui_Meter::setupUi(QWidget *page)
{
    page->setObjectName(QStringLiteral("Meter"));
    page->setStyleSheet(
        QStringLiteral("background-color: rgb(0, 0, 0);\ncolor: rgb(255, 255, 255);"));
    page->setFont(MeasReadouts::font(8));

    MeasCurr = readout(page, "MeasCurr", QStringLiteral("000.000"), 27);
    MeasCurr->setMinimumWidth(140);
    CurrUnit = label(page, "CurrUnit", QStringLiteral("A"), 9);
    CurrUnit->setMaximumWidth(21);
    LevelBarCurr = levelBar(page, "LevelBarCurr", "#FF1F1F");
    MeasVolt = readout(page, "MeasVolt", QStringLiteral("10.000"), 27);
    MeasVolt->setMinimumWidth(140);
    VoltUnit = label(page, "VoltUnit", QStringLiteral("V"), 9);
    VoltUnit->setMaximumWidth(21);
    LevelBarVolt = levelBar(page, "LevelBarVolt", "#00FF00");

    operationState = new OperationStatus(page);
    operationState->setObjectName(QStringLiteral("operationState"));
    operationState->setFont(MeasReadouts::font(10, true));
    operationState->setAlignment(Qt::AlignCenter);
    operationState->setMinimumSize(98, 25);

    MeasPower = readout(page, "MeasPower", QStringLiteral("000.000"), 10);
    MeasPower->setFixedWidth(72);
    WaitUnit = label(page, "WaitUnit", QStringLiteral("kW"), 7);
    WaitUnit->setMaximumWidth(26);
    Capacity = pair(page,
        "Capacity",
        &CapacitylLayout_2,
        "CapacitylLayout_2",
        &MeasCapacity,
        "MeasCapacity",
        &CapacityUnit,
        "CapacityUnit",
        QStringLiteral("mAh"));
    Energy = pair(page,
        "Energy",
        &EnergyLayout_2,
        "EnergyLayout_2",
        &MeasEnergy,
        "MeasEnergy",
        &EnergyUnit,
        "EnergyUnit",
        QStringLiteral("mWh"));
    ETime = label(page, "ETime", QStringLiteral("00:00:00"), 10);
    ETime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    line = new QFrame(page);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));

    auto *grid = new QGridLayout;
    grid->setSpacing(2);
    grid->addWidget(MeasCurr, 0, 0);
    grid->addWidget(CurrUnit, 0, 1, Qt::AlignBottom);
    grid->addWidget(LevelBarCurr, 1, 0, 1, 2);
    grid->addWidget(MeasVolt, 2, 0);
    grid->addWidget(VoltUnit, 2, 1, Qt::AlignBottom);
    grid->addWidget(LevelBarVolt, 3, 0, 1, 2);

    auto *powerRow = new QHBoxLayout;
    powerRow->setSpacing(2);
    powerRow->addWidget(MeasPower);
    powerRow->addWidget(WaitUnit);
    auto *side = new QVBoxLayout;
    side->setSpacing(2);
    side->addWidget(operationState);
    side->addLayout(powerRow);
    side->addWidget(Capacity);
    side->addWidget(Energy);
    side->addWidget(ETime);
    side->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addLayout(grid, 1);
    top->addLayout(side);
    auto *page_layout = new QVBoxLayout(page);
    page_layout->setContentsMargins(2, 2, 2, 2);
    page_layout->addLayout(top);
    page_layout->addWidget(line);
}

Meter::Meter(const MeasReadouts::Bounds &bounds, vek::AcquireTrigger *acquire, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_Meter)
    , m_bounds(bounds)
{
    ui->setupUi(this);
    createConnections(acquire);
    onDisplayItemsChange(vek::AcquireTrigger::none);

    MeasReadouts::setupPowerBox(ui->MeasPower);
    MeasReadouts::setupIntegralBox(ui->MeasCapacity, QStringLiteral("Ah"));
    MeasReadouts::setupIntegralBox(ui->MeasEnergy, QStringLiteral("Wh"));
    MeasReadouts::setupRangeBox(
        ui->MeasCurr, MeasReadouts::bound(m_bounds.current, 0), QStringLiteral("A"));
    MeasReadouts::setupRangeBox(
        ui->MeasVolt, MeasReadouts::bound(m_bounds.voltage, 0), QStringLiteral("V"));
    applyCurrentRange(0);
    applyVoltageRange(0);
}

Meter::~Meter()
{
    delete ui;
}

void Meter::createConnections(vek::AcquireTrigger *acquire)
{
    if (acquire)
        connect(
            acquire, &vek::AcquireTrigger::displayItemsChanged, this, &Meter::onDisplayItemsChange);
    const std::pair<zoMeasDoubleBox *, QLabel *> units[] = {
        { ui->MeasCurr, ui->CurrUnit },
        { ui->MeasVolt, ui->VoltUnit },
        { ui->MeasPower, ui->WaitUnit },
        { ui->MeasCapacity, ui->CapacityUnit },
        { ui->MeasEnergy, ui->EnergyUnit },
    };
    for (const auto &[box, unit] : units)
        connect(box, &zoMeasDoubleBox::siPrefixChanged, unit, &QLabel::setText);
}

void Meter::viewMeasLargeFont(bool large)
{
    QFont font = ui->MeasCurr->font();
    font.setPointSize(large ? 28 : 20);
    ui->MeasCurr->setFont(font);
    ui->MeasVolt->setFont(font);
    font.setPointSize(10);
    for (QWidget *w : { static_cast<QWidget *>(ui->MeasPower),
             static_cast<QWidget *>(ui->MeasCapacity),
             static_cast<QWidget *>(ui->MeasEnergy),
             static_cast<QWidget *>(ui->ETime) })
        w->setFont(font);
    font.setPointSize(large ? 9 : 7);
    ui->CurrUnit->setFont(font);
    ui->VoltUnit->setFont(font);
}

OperationStatus *Meter::opertationStatusWidget() const
{
    return ui->operationState;
}

void Meter::onMonitorUpdate(const ioc::TRACE_DATA *meas)
{
    if (meas->currentRange != m_currRange) {
        m_currRange = meas->currentRange;
        applyCurrentRange(m_currRange);
    }
    if (meas->voltageRange != m_voltRange) {
        m_voltRange = meas->voltageRange;
        applyVoltageRange(m_voltRange);
    }
    ui->MeasVolt->setValue(meas->voltage);
    ui->MeasCurr->setValue(meas->current);
    ui->MeasPower->setValue(meas->power);
    ui->MeasCapacity->setValue(meas->capacity);
    ui->MeasEnergy->setValue(meas->energy);
    ui->LevelBarVolt->setValue(
        MeasReadouts::barCounts(meas->voltage, m_voltBarScale, ui->LevelBarVolt));
    ui->LevelBarCurr->setValue(
        MeasReadouts::barCounts(meas->current, m_currBarScale, ui->LevelBarCurr));
    ui->ETime->setText(MeasReadouts::elapsedText(meas->elapsedTime));
}

void Meter::onDisplayItemsChange(vek::AcquireTrigger::displayItems items)
{
    ui->ETime->setVisible(items.testFlag(vek::AcquireTrigger::eTime));
    ui->Capacity->setVisible(items.testFlag(vek::AcquireTrigger::capacity));
    ui->Energy->setVisible(items.testFlag(vek::AcquireTrigger::energy));
}

void Meter::applyCurrentRange(int range)
{
    const BoundValueAcq &bound = MeasReadouts::bound(m_bounds.current, range);
    MeasReadouts::applyRange(ui->MeasCurr, bound);
    m_currPrefixFactor = bound.m_prefixFactor;
    m_currBarScale = MeasReadouts::barScale(bound);
    ui->LevelBarCurr->setMaximum(MeasReadouts::barMaximum(m_currBarScale, bound));
}

void Meter::applyVoltageRange(int range)
{
    const BoundValueAcq &bound = MeasReadouts::bound(m_bounds.voltage, range);
    MeasReadouts::applyRange(ui->MeasVolt, bound);
    m_voltPrefixFactor = bound.m_prefixFactor;
    m_voltBarScale = MeasReadouts::barScale(bound);
    ui->LevelBarVolt->setMaximum(MeasReadouts::barMaximum(m_voltBarScale, bound));
}
