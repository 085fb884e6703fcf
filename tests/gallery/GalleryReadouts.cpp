// Read-outs: measured values with their unit labels, as the meter page and the set screen show
// them, including the special texts beyond the limits.

#include "gui/toolkit/SiPrefixes.h"
#include "gui/toolkit/zoMeasDoubleBox.h"
#include "tests/gallery/Gallery.h"

#include <QGridLayout>
#include <QLabel>

namespace {

struct Reading
{
    const char *name;
    const char *prefixes; // null: all
    const char *unit;
    double value;
    const char *minText;
    double minimum;
    const char *maxText;
    double maximum;
};

// A grid of read-outs, each followed by the unit label that its siPrefixChanged() fills.
QWidget *readoutSet(const QVector<Reading> &readings)
{
    const QFont font(QStringLiteral("DejaVu Sans"), 14);
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    for (int row = 0; row < readings.size(); ++row) {
        const Reading &r = readings.at(row);
        auto *name = new QLabel(QLatin1String(r.name));
        auto *box = new zoMeasDoubleBox;
        auto *unit = new QLabel;
        box->setFont(font);
        unit->setFont(font);
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box->setFrame(false);
        box->setStyleSheet(QStringLiteral("background: black; color: rgb(0, 255, 0);"));
        unit->setStyleSheet(QStringLiteral("color: rgb(0, 255, 0);"));
        QObject::connect(box, &zoMeasDoubleBox::siPrefixChanged, unit, &QLabel::setText);
        if (r.prefixes)
            box->setPrefix(QLatin1String(r.prefixes));
        box->setDecimals(3);
        box->setSi(QString::fromUtf8(r.unit));
        box->m_minimum = r.minimum;
        box->m_maximum = r.maximum;
        box->setSpecialMinValueText(QLatin1String(r.minText));
        box->setSpecialMaxValueText(QLatin1String(r.maxText));
        box->setValue(r.value);
        grid->addWidget(name, row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(unit, row, 2);
    }
    return page;
}

} // namespace

void galleryReadouts(Gallery &gallery)
{
    const QSize screen(320, 240);
    const double over = 9.9e37;

    gallery.shoot(QStringLiteral("readout-set"),
        readoutSet({
            { "Voltage", nullptr, "V", 12.3456, "-Over", -over, "+Over", over },
            { "Current", nullptr, "A", 0.0123, "-Over", -over, "+Over", over },
            { "Power", "GMk ", "W", 151.85, "", 0, "", 0 },
            { "Resistance", nullptr, "\u03a9", 1234.5, "Open", 0, "", 0 },
            { "Capacity", "TGMk m", "Ah", 0.00042, "", 0, "", 0 },
        }),
        screen);

    gallery.shoot(QStringLiteral("readout-special-texts"),
        readoutSet({
            { "Voltage", nullptr, "V", over, "-Over", -over, "+Over", over },
            { "Current", nullptr, "A", -over, "-Over", -over, "+Over", over },
            { "Resistance", nullptr, "\u03a9", -1, "Open", 0, "", 0 },
            { "Energy", "TGMk m", "Wh", 1e28, "", 0, "", 0 },
        }),
        screen);

    // Axis labels of the chart.
    auto *axis = new QWidget;
    auto *column = new QVBoxLayout(axis);
    for (double value : { 0.0015, 1000.0, 999.9, 2.5e-6, 4.7e6 }) {
        auto *label = new SiPrefixes;
        label->setFrame(false);
        label->setValue(value);
        column->addWidget(label);
    }
    gallery.shoot(QStringLiteral("readout-axis-labels"), axis, QSize(100, 160));
}
