#pragma once

#include <QHash>
#include <QLineEdit>

// A value in fixed SI bands with the prefix in its own text ("1.5m", "1k"), in general format
// with 6 significant digits: the chart's axis labels. Magnitudes below 1e-24 keep the prefix in
// force; from 1e27 on, and for NaN, the prefix becomes "error". Decimals only shape the text
// shown by setDecimals() itself.
class SiPrefixes : public QLineEdit
{
    Q_OBJECT

public:
    explicit SiPrefixes(QWidget *parent = nullptr);

    void setSi(const QString &unit);
    void setAutoRange(bool on) { m_autoRange = on; }
    // As zoMeasDoubleBox::setDecimals, then shows the value unscaled with them.
    void setDecimals(int decimals, const QString &prefix = QString());

    double value() const { return m_value; }
    QString prefix() const { return m_prefix; }

public Q_SLOTS:
    // Does nothing when value equals the stored one.
    void setValue(double value);

Q_SIGNALS:
    void valueChanged(double value);
    void siPrefixChanged(const QString &text);

private:
    double m_value = 0.0;
    QString m_si;
    int m_defaultDecimals = 0;
    bool m_autoRange = false;
    QString m_prefix;
    QHash<QString, int> m_decimals;
};
