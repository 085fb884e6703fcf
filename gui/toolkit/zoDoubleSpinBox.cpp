#include "gui/toolkit/zoDoubleSpinBox.h"

#include "instrument/BoundValueAcq.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

zoDoubleSpinBox::zoDoubleSpinBox(QWidget *parent)
    : QDoubleSpinBox(parent)
{
    // No decimals until configured, so that the selected digit (index 0) is the last one.
    QDoubleSpinBox::setDecimals(0);
    connect(this, &QAbstractSpinBox::editingFinished, this, &zoDoubleSpinBox::onEditingFinished);
    connect(this,
        qOverload<double>(&QDoubleSpinBox::valueChanged),
        this,
        &zoDoubleSpinBox::onSpinValueChanged);
}

double zoDoubleSpinBox::factorOfPrefix(const QString &prefix)
{
    static const struct
    {
        const char16_t *name;
        double factor;
    } table[] = { { u"n", 1e-9 },
        { u"u", 1e-6 },
        { u"\u03bc", 1e-6 },
        { u"m", 1e-3 },
        { u"", 1.0 },
        { u"k", 1e3 },
        { u"M", 1e6 },
        { u"G", 1e9 } };
    for (const auto &entry : table) {
        if (prefix == QString::fromUtf16(entry.name))
            return entry.factor;
    }
    return 1.0;
}

double zoDoubleSpinBox::snapToInteger(double x)
{
    const double nearest = std::round(x);
    return std::fabs(x - nearest) <= 1e-9 * std::max(1.0, std::fabs(x)) ? nearest : x;
}

bool zoDoubleSpinBox::notAbove(double value, double bound)
{
    return value <= bound
        || std::fabs(value - bound) * 1e12 <= std::min(std::fabs(value), std::fabs(bound));
}

double zoDoubleSpinBox::digitWeight(int index)
{
    return index >= 0 ? 1.0 / BoundValueAcq::exactPow10(index) : BoundValueAcq::exactPow10(-index);
}

int zoDoubleSpinBox::leadResolutionOf(double shownMax)
{
    if (!(shownMax > 0.0) || std::isinf(shownMax))
        return 0;
    return -static_cast<int>(std::trunc(snapToInteger(std::log10(shownMax))));
}

void zoDoubleSpinBox::setValue(double value)
{
    showNumber(value / m_siFactor);
    m_value = value;
}

double zoDoubleSpinBox::value() const
{
    return QDoubleSpinBox::value() * m_siFactor;
}

void zoDoubleSpinBox::setCursorResolution(int index)
{
    const int decimals = QDoubleSpinBox::decimals();
    const int coarsest = m_leadResolution + m_leadOffset + 1;
    if (index > decimals)
        index = decimals;
    else if (index < coarsest)
        index = coarsest;

    // Width of the maximum: its integer digits (at least one), the point and the decimals.
    const int fullWidth =
        (decimals == 0 ? 1 : 2) + (m_leadResolution <= 0 ? decimals - m_leadResolution : decimals);
    const int fill = fullWidth - cleanText().length();
    QDoubleSpinBox::setPrefix(m_prefix + QString(qMax(0, fill), QLatin1Char(' ')));

    // Characters from the end of the caller's prefix to just behind the selected digit.
    int span = cleanText().length() - decimals + index + qMax(0, fill);
    if (decimals > 0 && index <= 0)
        --span;
    lineEdit()->setSelection(m_prefix.length(), qMax(0, span));
    m_cursorResolution = index;
}

void zoDoubleSpinBox::createRegPattern()
{
    const int decimals = QDoubleSpinBox::decimals();
    const double steps = snapToInteger(BoundValueAcq::exactPow10(decimals) * singleStep());
    const long long count = static_cast<long long>(std::trunc(steps));
    QString lastDigit = QStringLiteral("[0-9]?");
    if (count == 2)
        lastDigit = QStringLiteral("[0,2,4,6,8]?");
    else if (count == 5)
        lastDigit = QStringLiteral("[0,5]?");

    // The dot matches any character, the decimal point included; \D? admits the one-character
    // SI prefix shown as suffix.
    const QString pattern = QStringLiteral("\\s*\\d*.\\d{0,%1}%2\\D?");
    m_regPattern =
        decimals > 0 ? pattern.arg(decimals - 1).arg(lastDigit) : pattern.arg(0).arg(QString());
}

void zoDoubleSpinBox::setDecimals(int decimals)
{
    QDoubleSpinBox::setDecimals(decimals);
    m_cursorResolution = QDoubleSpinBox::decimals();
    createRegPattern();
}

void zoDoubleSpinBox::setMaximum(double max)
{
    QDoubleSpinBox::setMaximum(max / m_siFactor);
    m_leadResolution = leadResolutionOf(max / m_siFactor);
    showNumber(m_value / m_siFactor);
}

void zoDoubleSpinBox::setMinimum(double min)
{
    QDoubleSpinBox::setMinimum(min / m_siFactor);
    showNumber(m_value / m_siFactor);
}

void zoDoubleSpinBox::setRange(double min, double max)
{
    QDoubleSpinBox::setRange(min / m_siFactor, max / m_siFactor);
    m_leadResolution = leadResolutionOf(max / m_siFactor);
    showNumber(m_value / m_siFactor);
}

void zoDoubleSpinBox::setSingleStep(double step)
{
    QDoubleSpinBox::setSingleStep(step / m_siFactor);
    createRegPattern();
}

void zoDoubleSpinBox::setSuffix(const QString &suffix)
{
    QDoubleSpinBox::setSuffix(suffix);
}

void zoDoubleSpinBox::setPrefix(const QString &prefix)
{
    QDoubleSpinBox::setPrefix(prefix);
    m_prefix = prefix;
}

void zoDoubleSpinBox::setSiPrefix(const QString &prefix)
{
    m_siPrefix = prefix;
    m_siFactor = factorOfPrefix(prefix);
    showNumber(m_value / m_siFactor);
}

void zoDoubleSpinBox::selectCursor(int key)
{
    const int decimals = QDoubleSpinBox::decimals();
    const int beforePoint = cleanText().length() - decimals - (decimals > 0 ? 1 : 0);
    const int caret = lineEdit()->cursorPosition() - prefix().length();
    int current = caret - beforePoint;
    if (caret > beforePoint)
        --current;
    if (key == Qt::Key_Left)
        setCursorResolution(current - 1);
    else if (key == Qt::Key_Right)
        setCursorResolution(current + 1);
}

void zoDoubleSpinBox::stepBy(int steps)
{
    m_stepping = true;
    if (m_cursorResolution == QDoubleSpinBox::decimals())
        QDoubleSpinBox::stepBy(steps);
    else
        showNumber(QDoubleSpinBox::value() + steps * digitWeight(m_cursorResolution));
    // A step that changed nothing (at a limit) must not leave the report armed for whatever
    // changes the value next, such as an update from the engine.
    m_stepping = false;
    setCursorResolution(m_cursorResolution);
}

void zoDoubleSpinBox::onEditingFinished()
{
    m_value = value();
    Q_EMIT valuePrefixChanged(m_value);
}

void zoDoubleSpinBox::onSpinValueChanged()
{
    if (m_stepping) {
        m_value = value();
        Q_EMIT valuePrefixChanged(m_value);
    }
    m_stepping = false;
}

bool zoDoubleSpinBox::admits(const QString &text) const
{
    QString candidate = lineEdit()->text();
    // Return, Backspace and Escape carry control characters that never reach the text.
    if (!text.isEmpty() && text.at(0).isPrint())
        candidate.insert(lineEdit()->cursorPosition(), text);
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(m_regPattern));
    return pattern.match(candidate).hasMatch();
}

void zoDoubleSpinBox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        selectCursor(event->key());
        event->accept();
        return;
    case Qt::Key_Escape: {
        setValue(m_value);
        QKeyEvent commit(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QAbstractSpinBox::keyPressEvent(&commit);
        event->setAccepted(commit.isAccepted());
        return;
    }
    default:
        break;
    }
    if (lineEdit()->hasSelectedText() || admits(event->text())) {
        QAbstractSpinBox::keyPressEvent(event);
        return;
    }
    event->accept(); // dropped: it does not fit the shape of a number
}

void zoDoubleSpinBox::focusInEvent(QFocusEvent *event)
{
    setCursorResolution(m_cursorResolution);
    QAbstractSpinBox::focusInEvent(event);
}
