#include "gui/toolkit/zoMeasDoubleBox.h"

#include <cmath>

namespace {

// Below it a value counts as zero and keeps the prefix; at 1e27 the largest prefix ends.
constexpr double smallestShown = 1e-24;
constexpr double largestBound = 1e27;

} // namespace

const QVector<zoMeasDoubleBox::PrefixTable> &zoMeasDoubleBox::defultPrefixTable()
{
    static const QVector<PrefixTable> table = {
        { QStringLiteral("y"), 1e-21, 1e24, 0 },
        { QStringLiteral("z"), 1e-18, 1e21, 0 },
        { QStringLiteral("a"), 1e-15, 1e18, 0 },
        { QStringLiteral("f"), 1e-12, 1e15, 0 },
        { QStringLiteral("p"), 1e-9, 1e12, 0 },
        { QStringLiteral("n"), 1e-6, 1e9, 0 },
        { QStringLiteral("\u03bc"), 1e-3, 1e6, 0 },
        { QStringLiteral("m"), 1, 1e3, 0 },
        { QStringLiteral(" "), 1e3, 1, 0 },
        { QStringLiteral("k"), 1e6, 1e-3, 0 },
        { QStringLiteral("M"), 1e9, 1e-6, 0 },
        { QStringLiteral("G"), 1e12, 1e-9, 0 },
        { QStringLiteral("T"), 1e15, 1e-12, 0 },
        { QStringLiteral("P"), 1e18, 1e-15, 0 },
        { QStringLiteral("E"), 1e21, 1e-18, 0 },
        { QStringLiteral("Z"), 1e24, 1e-21, 0 },
        { QStringLiteral("Y"), largestBound, 1e-24, 0 },
    };
    return table;
}

zoMeasDoubleBox::zoMeasDoubleBox(QWidget *parent)
    : zoMeasDoubleBox(QRegExp(QStringLiteral("[yzafpn\u03bcm kMGTPEZY]")), parent)
{ }

zoMeasDoubleBox::zoMeasDoubleBox(const QRegExp &prefixes, QWidget *parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
    setPrefix(prefixes);
    connect(this, &zoMeasDoubleBox::valueChanged, this, &zoMeasDoubleBox::setValue);
}

void zoMeasDoubleBox::setPrefix(const QRegExp &prefixes)
{
    m_prefixTable.clear();
    if (prefixes.isValid()) {
        for (const PrefixTable &row : defultPrefixTable()) {
            if (prefixes.exactMatch(row.prefix))
                m_prefixTable.append(row);
        }
        if (!m_prefixTable.isEmpty())
            m_prefixTable.last().bound = largestBound;
    }
    updatePrefixTable();
}

void zoMeasDoubleBox::setPrefix(const QString &prefixes)
{
    setPrefix(QRegExp(prefixes.isEmpty() ? QStringLiteral("[ ]")
                                         : QLatin1Char('[') + prefixes + QLatin1Char(']')));
}

void zoMeasDoubleBox::setDecimals(int decimals, const QString &prefix)
{
    if (prefix.isEmpty())
        m_defaultDecimals = decimals;
    else
        m_decimals.insert(prefix, decimals);
    updatePrefixTable();
    showInCurrentPrefix();
}

void zoMeasDoubleBox::updatePrefixTable()
{
    for (PrefixTable &row : m_prefixTable)
        row.decimals = decimalsOf(row.prefix);
}

void zoMeasDoubleBox::setSi(const QString &unit)
{
    m_si = unit;
    emit siPrefixChanged(m_prefix + m_si);
}

void zoMeasDoubleBox::setSpecialMinValueText(const QString &text)
{
    m_minText = text;
    m_hasMinText = !text.isEmpty();
    showValue(m_value);
}

void zoMeasDoubleBox::setSpecialMaxValueText(const QString &text)
{
    m_maxText = text;
    m_hasMaxText = !text.isEmpty();
    showValue(m_value);
}

void zoMeasDoubleBox::setValue(double value)
{
    if (value == m_value)
        return;
    m_value = value;
    showValue(value);
}

void zoMeasDoubleBox::showValue(double value)
{
    if (m_hasMaxText && value >= m_maximum) {
        setText(m_maxText);
        return;
    }
    if (m_hasMinText && value <= m_minimum) {
        setText(m_minText);
        return;
    }
    if (std::fabs(value) < smallestShown) {
        setText(QStringLiteral("0"));
        return;
    }
    const PrefixTable *row = rowFor(std::fabs(value));
    if (!row) {
        setText(QStringLiteral("error"));
        return;
    }
    changePrefix(row->prefix);
    setText(QString::number(value * row->scale, 'f', row->decimals));
}

// The stored value with new decimals: scaled by the prefix in force (unscaled before the first
// prefix), so that the number still fits the unit label. A special text stays.
void zoMeasDoubleBox::showInCurrentPrefix()
{
    if ((m_hasMaxText && m_value >= m_maximum) || (m_hasMinText && m_value <= m_minimum)) {
        showValue(m_value);
        return;
    }
    double scale = 1.0;
    for (const PrefixTable &row : m_prefixTable) {
        if (row.prefix == m_prefix)
            scale = row.scale;
    }
    setText(QString::number(m_value * scale, 'f', decimalsOf(m_prefix)));
}

void zoMeasDoubleBox::changePrefix(const QString &prefix)
{
    if (prefix == m_prefix)
        return;
    m_prefix = prefix;
    emit siPrefixChanged(m_prefix + m_si);
}

int zoMeasDoubleBox::decimalsOf(const QString &prefix) const
{
    return m_decimals.value(prefix, m_defaultDecimals);
}

// NaN compares false with every bound and so finds no row.
const zoMeasDoubleBox::PrefixTable *zoMeasDoubleBox::rowFor(double magnitude) const
{
    for (const PrefixTable &row : m_prefixTable) {
        if (magnitude < row.bound)
            return &row;
    }
    return nullptr;
}
