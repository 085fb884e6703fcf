#pragma once

#include "gui/toolkit/zoDoubleSpinBox.h"

#include <QMap>
#include <QVector>

// One band of SiDoubleSpinBox: values up to bound (base units) are shown with prefix.
struct siResolutionData
{
    double bound;
    QString prefix;
};

// Entry for real settings that span several decades: the SI prefix (shown as suffix) follows the
// band of the value, and a step across a band boundary keeps the same absolute digit selected
// (index 3 in A is index 0 in mA). The maximum acts through the table; the minimum only chooses
// the prefixes.
class SiDoubleSpinBox : public zoDoubleSpinBox
{
    Q_OBJECT

public:
    explicit SiDoubleSpinBox(QWidget *parent = nullptr);

    // Rows in ascending order of bound; an empty table is refused (the current one is kept).
    void setTable(const QVector<siResolutionData> &table, int leadOffset);
    // Keeps the rows of the built-in table whose prefix exponent lies in [log10 min,
    // log10 max) and ends the last one at max. Where no row qualifies, the row of the band
    // that holds max is kept.
    void setRange(double min, double max) override;
    // Shows value in the prefix of its own band.
    void setValue(double value) override;
    void setCursorResolution(int index) override { zoDoubleSpinBox::setCursorResolution(index); }
    // Sets the suffix to prefix as well.
    void setSiPrefix(const QString &prefix) override;
    // Decimal exponent of prefix minus that of the current prefix (a prefix not in the map
    // counts as exponent 1).
    int siPrefixDifference(const QString &prefix) const;

    const QVector<siResolutionData> &table() const { return m_table; }
    // Steps the selected digit, band by band (also reached from Up/Down and the encoder).
    void stepBy(int steps) override;

    static const QVector<siResolutionData> &defaultTable();

private:
    int exponentOf(const QString &prefix) const;

    QVector<siResolutionData> m_table;
    QMap<QString, int> m_prefixExponents;
};
