#pragma once

#include "instrument/IBoundValueWidget.h"

#include <QDoubleSpinBox>

// Numeric entry whose public values are in base units; it shows them divided by the factor of
// its SI prefix ("m" shows 0.0015 A as 1.5). Factor 1 and 0 decimals until set. Bound values
// configure it through IBoundValueWidget.
class zoDoubleSpinBox : public QDoubleSpinBox, public IBoundValueWidget
{
    Q_OBJECT

public:
    explicit zoDoubleSpinBox(QWidget *parent = nullptr);

    // "n", "u", "m", "", "k", "M" or "G"; an unknown prefix counts as none. Range, step and
    // value are shown again in the new unit.
    void setSiPrefix(const QString &prefix) override;
    void setDecimals(int decimals) override;
    void setRange(double min, double max) override;
    void setSingleStep(double step) override;
    void setSuffix(const QString &suffix) override;
    void setValue(double value) override;

    virtual double value() const;
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    double singleStep() const { return m_step; }
    QString siPrefix() const { return m_siPrefix; }
    double prefixFactor() const { return m_factor; }

private:
    // Re-shows range, step and value (all kept in base units) in the prefixed unit.
    void applyScaled();

    QString m_siPrefix;
    double m_factor = 1.0;
    double m_min = 0.0;
    double m_max = 99.99;
    double m_step = 1.0;
    double m_value = 0.0; // base units, as last set or entered
    bool m_rescaling = false; // mutes the echo of our own updates
};
