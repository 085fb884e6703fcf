#include "gui/toolkit/SiPrefixes.h"

#include "gui/toolkit/zoMeasDoubleBox.h"

#include <cmath>

SiPrefixes::SiPrefixes(QWidget *parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
    connect(this, &SiPrefixes::valueChanged, this, &SiPrefixes::setValue);
}

void SiPrefixes::setSi(const QString &unit)
{
    m_si = unit;
    emit siPrefixChanged(m_prefix + m_si);
}

void SiPrefixes::setDecimals(int decimals, const QString &prefix)
{
    if (prefix.isEmpty())
        m_defaultDecimals = decimals;
    else
        m_decimals.insert(prefix, decimals);
    setText(QString::number(m_value, 'f', m_decimals.value(m_prefix, m_defaultDecimals)));
}

void SiPrefixes::setValue(double value)
{
    if (value == m_value)
        return;
    m_value = value;
    double shown = value;
    if (!(std::fabs(value) < 1e-24)) {
        // The read-out's bands: [10^(3k), 10^(3k+3)) for k from -8 to 8.
        m_prefix = QStringLiteral("error");
        for (const zoMeasDoubleBox::PrefixTable &row : zoMeasDoubleBox::defultPrefixTable()) {
            if (std::fabs(value) < row.bound) {
                m_prefix = row.prefix.trimmed();
                shown = value * row.scale;
                break;
            }
        }
    }
    setText(QString::number(shown, 'g', 6) + m_prefix);
}
