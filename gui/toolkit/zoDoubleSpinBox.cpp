#include "gui/toolkit/zoDoubleSpinBox.h"

namespace {

double factorOfPrefix(const QString &prefix)
{
    static const struct
    {
        const char *name;
        double factor;
    } table[] = {
        { "n", 1e-9 }, { "u", 1e-6 }, { "m", 1e-3 }, { "k", 1e3 }, { "M", 1e6 }, { "G", 1e9 }
    };
    for (const auto &entry : table) {
        if (prefix == QLatin1String(entry.name))
            return entry.factor;
    }
    return 1.0;
}

} // namespace

zoDoubleSpinBox::zoDoubleSpinBox(QWidget *parent)
    : QDoubleSpinBox(parent)
{
    QDoubleSpinBox::setDecimals(0);
    m_min = QDoubleSpinBox::minimum();
    m_max = QDoubleSpinBox::maximum();
    m_step = QDoubleSpinBox::singleStep();
    m_value = QDoubleSpinBox::value();
    // Keeps the stored value in step with entries made on the widget itself.
    connect(this, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this](double shown) {
        if (!m_rescaling)
            m_value = shown * m_factor;
    });
}

void zoDoubleSpinBox::setSiPrefix(const QString &prefix)
{
    m_siPrefix = prefix;
    m_factor = factorOfPrefix(prefix);
    applyScaled();
}

void zoDoubleSpinBox::setDecimals(int decimals)
{
    // Qt rounds range and value to the decimals, so they are shown again afterwards.
    QDoubleSpinBox::setDecimals(qMax(0, decimals));
    applyScaled();
}

void zoDoubleSpinBox::setRange(double min, double max)
{
    m_min = min;
    m_max = max;
    applyScaled();
}

void zoDoubleSpinBox::setSingleStep(double step)
{
    m_step = step;
    QDoubleSpinBox::setSingleStep(step / m_factor);
}

void zoDoubleSpinBox::setSuffix(const QString &suffix)
{
    QDoubleSpinBox::setSuffix(suffix);
}

void zoDoubleSpinBox::setValue(double value)
{
    m_value = value;
    m_rescaling = true;
    QDoubleSpinBox::setValue(value / m_factor);
    m_rescaling = false;
}

double zoDoubleSpinBox::value() const
{
    return QDoubleSpinBox::value() * m_factor;
}

void zoDoubleSpinBox::applyScaled()
{
    m_rescaling = true;
    QDoubleSpinBox::setRange(m_min / m_factor, m_max / m_factor);
    QDoubleSpinBox::setSingleStep(m_step / m_factor);
    QDoubleSpinBox::setValue(m_value / m_factor);
    m_rescaling = false;
}
