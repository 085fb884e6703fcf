#include "gui/toolkit/MeasReadouts.h"

#include "gui/toolkit/zoMeasDoubleBox.h"
#include "instrument/ModelInformation.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QRegExp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char *const context = "zoMeasDoubleBox";

void setOverTexts(zoMeasDoubleBox *box, bool withMinimum)
{
    box->m_maximum = MeasReadouts::OverRange;
    box->setSpecialMaxValueText(QCoreApplication::translate(context, "+Over"));
    if (withMinimum) {
        box->m_minimum = -MeasReadouts::OverRange;
        box->setSpecialMinValueText(QCoreApplication::translate(context, "-Over"));
    }
}

} // namespace

QFont MeasReadouts::font(int points, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

MeasReadouts::Bounds MeasReadouts::fromModel(const ModelInformation &info)
{
    return { info.acqCurrentMap(), info.acqVoltageMap() };
}

const BoundValueAcq &MeasReadouts::bound(const QMap<int, BoundValueAcq> &map, int range)
{
    return ModelInformation::rangeValue(map, range);
}

void MeasReadouts::setupRangeBox(
    zoMeasDoubleBox *box, const BoundValueAcq &bound, const QString &unit)
{
    box->setSi(unit);
    applyRange(box, bound);
    setOverTexts(box, true);
}

void MeasReadouts::applyRange(zoMeasDoubleBox *box, const BoundValueAcq &bound)
{
    box->setDecimals(bound.m_decimals);
    box->setPrefix(bound.m_siPrefix);
}

void MeasReadouts::setupPowerBox(zoMeasDoubleBox *box)
{
    box->setSi(QStringLiteral("W"));
    box->setDecimals(3);
    box->setDecimals(0, QStringLiteral(" "));
    box->setDecimals(3, QStringLiteral("k"));
    box->setAutoRange(true);
    box->setPrefix(QRegExp(QStringLiteral("[GMk ]")));
    setOverTexts(box, true);
}

void MeasReadouts::setupIntegralBox(zoMeasDoubleBox *box, const QString &unit)
{
    box->setSi(unit);
    box->setDecimals(3);
    box->setAutoRange(true);
    box->setPrefix(QRegExp(QStringLiteral("[TGMk m]")));
    setOverTexts(box, false);
}

QString MeasReadouts::elapsedText(double seconds)
{
    constexpr double largest = std::numeric_limits<int>::max();
    // NaN fails the comparison and shows 0 as a negative time does.
    const qint64 s = seconds > 0 ? qint64(std::min(seconds, largest)) : 0;
    const qint64 rest = s % 3600;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(rest / 60, 2, 10, QLatin1Char('0'))
        .arg(rest % 60, 2, 10, QLatin1Char('0'));
}

int MeasReadouts::barCounts(double value, double scale, const QProgressBar *bar)
{
    const double counts = value * scale;
    if (!(counts > bar->minimum()))
        return bar->minimum();
    if (counts >= bar->maximum())
        return bar->maximum();
    return int(counts);
}

double MeasReadouts::barScale(const BoundValueAcq &bound)
{
    if (!(bound.m_prefixFactor > 0))
        return 0.0;
    return std::pow(10.0, bound.m_decimals) / bound.m_prefixFactor;
}

int MeasReadouts::barMaximum(double scale, const BoundValueAcq &bound)
{
    const double counts = scale * bound.m_max;
    if (!(counts > 0))
        return 0;
    return counts >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                     : int(counts);
}
