#pragma once

#include "instrument/BoundValueAcq.h"

#include <QFont>
#include <QMap>
#include <QString>

class ModelInformation;
class QProgressBar;
class zoMeasDoubleBox;

// What the meter and chart pages share: the measurement bounds their read-outs follow, the set-up
// of their read-out boxes and the elapsed-time text.
namespace MeasReadouts {

// DejaVu Sans at a point size, as the pages' forms use it.
QFont font(int points, bool bold = false);

// Current and voltage measurement bounds, keyed by the controller's range code; a range without
// an entry uses the entry of the smallest key.
struct Bounds
{
    QMap<int, BoundValueAcq> current;
    QMap<int, BoundValueAcq> voltage;
};

Bounds fromModel(const ModelInformation &info);
// The range's entry, else the smallest key's, else a safe entry (limits 0).
const BoundValueAcq &bound(const QMap<int, BoundValueAcq> &map, int range);

// Beyond the measuring range a record carries +-9.9e37.
constexpr double OverRange = 9.9e37;

// Current or voltage box: unit, the bound's decimals and prefix, "-Over" / "+Over" beyond
// +-9.9e37.
void setupRangeBox(zoMeasDoubleBox *box, const BoundValueAcq &bound, const QString &unit);
// A new range: the bound's decimals for the default prefix, then its prefix.
void applyRange(zoMeasDoubleBox *box, const BoundValueAcq &bound);
// Power: W without decimals, kW with three, up to G; "-Over" / "+Over".
void setupPowerBox(zoMeasDoubleBox *box);
// Capacity (Ah) or energy (Wh): three decimals, m to T, "+Over" above 9.9e37.
void setupIntegralBox(zoMeasDoubleBox *box, const QString &unit);

// "h:mm:ss" from seconds truncated to whole ones; hours unpadded. A negative or non-finite time
// shows 0:00:00; one beyond the hours an int holds shows the largest.
QString elapsedText(double seconds);

// Bar counts for value: value x scale truncated, limited to the bar's range in double first, so
// an over-range value gives a full or an empty bar. NaN gives the bar's minimum.
int barCounts(double value, double scale, const QProgressBar *bar);
// Bar counts per base unit: 10^decimals / the prefix factor (0 for a factor that is not
// positive).
double barScale(const BoundValueAcq &bound);
// The bar's maximum: scale x the bound's maximum, truncated and limited to an int.
int barMaximum(double scale, const BoundValueAcq &bound);

} // namespace MeasReadouts
