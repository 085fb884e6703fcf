// The measurement screen's pieces: the meter page (normal, large digits, over range), the chart
// page (table and trend chart over a logged discharge), the operation-mode tiles, every soft-key
// page of the measurement screen and the run panel in each state.

#include "engine/DataLogger.h"
#include "gui/shell/MeasureKeyPages.h"
#include "gui/toolkit/Chart.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/Meter.h"
#include "gui/toolkit/OperationStatus.h"
#include "tests/gallery/Gallery.h"

#include <QHBoxLayout>

#include <cmath>

namespace {

const QSize pageSize(258, 150);
const QSize keysSize(66, 215);

MeasReadouts::Bounds bounds()
{
    auto entry = [](double max, int decimals) {
        BoundValueAcq bound;
        bound.m_max = max;
        bound.m_decimals = decimals;
        return bound;
    };
    return { { { 0, entry(6.0, 4) } }, { { 0, entry(150.0, 3) } } };
}

ioc::TRACE_DATA dischargeAt(double t)
{
    ioc::TRACE_DATA r;
    r.elapsedTime = t;
    r.current = t < 40 ? 2.0 : (t < 80 ? 1.2 : 0.6);
    r.voltage = 12.6 - 0.03 * t - 0.2 * std::sin(t / 4.0);
    r.power = r.current * r.voltage;
    r.capacity = 2.0 * t / 3600.0;
    r.energy = r.capacity * 12.0;
    return r;
}

Meter *meter(const ioc::TRACE_DATA &r, bool large)
{
    auto *page = new Meter(bounds(), nullptr);
    page->viewMeasLargeFont(large);
    page->onDisplayItemsChange(
        vek::AcquireTrigger::eTime | vek::AcquireTrigger::capacity | vek::AcquireTrigger::energy);
    page->opertationStatusWidget()->onOperationStatusChange(vek::Status::OperationCC);
    page->onMonitorUpdate(&r);
    return page;
}

// A chart page over its own logger, filled with a discharge of 120 records.
Chart *chart(bool showChart)
{
    auto *holder = new QWidget;
    auto *logger = new DataLogger(holder);
    auto *page = new Chart(nullptr, logger, bounds(), nullptr, holder);
    for (int i = 0; i <= 120; ++i)
        logger->appendWithRow(dischargeAt(i), 0);
    const ioc::TRACE_DATA last = dischargeAt(120);
    page->onMonitorUpdate(&last);
    page->opertationStatusWidget()->onOperationStatusChange(vek::Status::OperationCV);
    if (showChart)
        page->onChartChange();
    auto *layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page);
    return page;
}

QWidget *tiles()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    for (int status = 1; status <= 7; ++status) {
        auto *tile = new OperationStatus(row);
        tile->setAlignment(Qt::AlignCenter);
        tile->setFixedSize(34, 16);
        tile->onOperationStatusChange(vek::Status::StatusOperation(status));
        layout->addWidget(tile);
    }
    return row;
}

} // namespace

void galleryMeasurement(Gallery &gallery)
{
    ioc::TRACE_DATA hour = dischargeAt(100);
    hour.elapsedTime = 3725.9;
    gallery.shoot(QStringLiteral("meter-normal"), meter(hour, false), pageSize);
    gallery.shoot(QStringLiteral("meter-large"), meter(hour, true), pageSize);
    ioc::TRACE_DATA over = dischargeAt(10);
    over.current = 9.9e37;
    over.voltage = -9.9e37;
    over.power = 9.9e37;
    gallery.shoot(QStringLiteral("meter-over"), meter(over, false), pageSize);

    Chart *table = chart(false);
    gallery.shoot(QStringLiteral("chartpage-table"), table->parentWidget(), pageSize);
    Chart *curves = chart(true);
    gallery.shoot(QStringLiteral("chartpage-chart"), curves->parentWidget(), pageSize);
    gallery.shoot(QStringLiteral("tiles-operation"), tiles(), QSize(280, 30));

    gallery.shoot(QStringLiteral("keypage-sour-more"), new FuncSourMore, keysSize);
    gallery.shoot(QStringLiteral("keypage-prog-trigger"), new FuncProgTrigger, keysSize);
    gallery.shoot(QStringLiteral("keypage-more"), new FuncMore, keysSize);
    auto *pulse = new FuncSourPulse;
    pulse->m_depthPercentButton->setChecked(true);
    gallery.shoot(QStringLiteral("keypage-pulse"), pulse, keysSize);
    auto *sine = new FuncSourSine;
    sine->m_currentButton->setChecked(true);
    gallery.shoot(QStringLiteral("keypage-sine"), sine, keysSize);
    gallery.shoot(QStringLiteral("keypage-acquire"), new FuncAcquire, keysSize);
    gallery.shoot(QStringLiteral("keypage-data"), new FuncData, keysSize);
    auto *display = new FuncDisplay;
    display->m_chartButton->setChecked(true);
    gallery.shoot(QStringLiteral("keypage-display"), display, keysSize);

    gallery.shoot(QStringLiteral("runpanel-start"), new FuncProgExecute, keysSize);
    const struct
    {
        const char *name;
        FuncProgExecute::state state;
    } states[] = {
        { "runpanel-idle", FuncProgExecute::StateIdle },
        { "runpanel-run", FuncProgExecute::StateRun },
        { "runpanel-pause", FuncProgExecute::StatePause },
        { "runpanel-wait-msync", FuncProgExecute::StateWaitMSync },
        { "runpanel-wait-trigger", FuncProgExecute::StateWaitTrigger },
        { "runpanel-abort-only", FuncProgExecute::StateAbortOnly },
    };
    for (const auto &s : states) {
        auto *panel = new FuncProgExecute;
        panel->setState(s.state);
        gallery.shoot(QLatin1String(s.name), panel, keysSize);
    }
}
