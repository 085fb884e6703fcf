#pragma once

#include <QHash>
#include <QLineEdit>
#include <QRegExp>
#include <QVector>

// Read-out of a measured or computed value in base units (A, V, S, W, Ah, Wh, ...), shown scaled
// to the SI prefix that fits its magnitude, with decimals chosen per prefix. The prefix itself is
// not shown: siPrefixChanged() hands "prefix + unit" to a unit label beside the box. Beyond the
// public limits a special text ("+Over", "Open") replaces the number. Lives in the GUI thread;
// a producer in another thread emits valueChanged(), which reaches setValue() queued.
class zoMeasDoubleBox : public QLineEdit
{
    Q_OBJECT

public:
    // One allowed prefix: magnitudes below bound are shown as value * scale with decimals.
    struct PrefixTable
    {
        QString prefix; // " " for the unit itself, so that the unit label keeps its width
        double bound;
        double scale;
        int decimals;
    };

    // All prefixes from "y" to "Y" allowed.
    explicit zoMeasDoubleBox(QWidget *parent = nullptr);
    zoMeasDoubleBox(const QRegExp &prefixes, QWidget *parent = nullptr);

    // Keeps the built-in rows whose prefix the pattern matches as a whole; the coarsest kept row
    // then takes every magnitude up to 1e27. An invalid pattern, or one that keeps no row, leaves
    // no row: every number then shows "error".
    void setPrefix(const QRegExp &prefixes);
    // The allowed prefix letters, a blank standing for none: "GMk " for power.
    void setPrefix(const QString &prefixes);
    // Decimals for one prefix, or for every prefix without its own entry when prefix is empty.
    // Shows the current value again with them, in the prefix in force, without emitting.
    void setDecimals(int decimals, const QString &prefix = QString());
    void updatePrefixTable();
    void setSi(const QString &unit);
    // Stored only: the box always chooses the prefix by magnitude.
    void setAutoRange(bool on) { m_autoRange = on; }
    // Shown at or below m_minimum / at or above m_maximum; an empty text shows the number.
    void setSpecialMinValueText(const QString &text);
    void setSpecialMaxValueText(const QString &text);

    double value() const { return m_value; }
    QString prefix() const { return m_prefix; }
    const QVector<PrefixTable> &prefixTable() const { return m_prefixTable; }
    static const QVector<PrefixTable> &defultPrefixTable();

    // Screens write the limits directly after construction (for example -9.9e37 and 9.9e37 with
    // "-Over" and "+Over", or 0 with "Open" for a resistance).
    double m_minimum = 2.2250738585072014e-308; // the smallest positive normalised double
    double m_maximum = 1.7976931348623157e308;

public Q_SLOTS:
    // Does nothing when value equals the stored one.
    void setValue(double value);

Q_SIGNALS:
    void valueChanged(double value);
    void siPrefixChanged(const QString &text);

private:
    void showValue(double value);
    void showInCurrentPrefix();
    void changePrefix(const QString &prefix);
    int decimalsOf(const QString &prefix) const;
    const PrefixTable *rowFor(double magnitude) const;

    double m_value = 0.0;
    QString m_si;
    int m_defaultDecimals = 0;
    bool m_autoRange = false;
    QString m_prefix;
    QHash<QString, int> m_decimals;
    QVector<PrefixTable> m_prefixTable;
    bool m_hasMinText = false;
    bool m_hasMaxText = false;
    QString m_minText;
    QString m_maxText;
};
