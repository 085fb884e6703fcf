#pragma once

#include "instrument/IBoundValueWidget.h"

#include <QDoubleSpinBox>
#include <QVector>

// The panel's numeric entry. It works digit by digit: one digit of the shown number is selected
// (highlighted from the left edge down to it, caret behind it); Up/Down and the rotary encoder
// add or subtract one unit of that digit, Left/Right select the next coarser or finer digit.
//
// Values are in base units (A, V, S, W, s, Hz); the spin box underneath shows them divided by the
// factor of the SI prefix. Every committed (Return, focus loss, Escape) or stepped value is
// reported in base units through valuePrefixChanged(). Set the SI prefix before range and step:
// a later prefix change rescales only the shown value.
//
// Digit index n is the digit worth 10^-n of the shown number: 0 units, 1 tenths, -1 tens.
// GUI thread only.
class zoDoubleSpinBox : public QDoubleSpinBox, public IBoundValueWidget
{
    Q_OBJECT

public:
    explicit zoDoubleSpinBox(QWidget *parent = nullptr);

    // Shows value / SI factor (rounded and bounded by the spin box) and keeps value, unbounded,
    // as the stored value that Escape restores.
    void setValue(double value) override;
    // The shown number times the SI factor.
    virtual double value() const;
    // Selects digit n, clamped to the last decimal and to the coarsest selectable digit (the
    // one below the leading digit of the maximum, moved by the lead offset).
    virtual void setCursorResolution(int index);
    // Rebuilds the key-filter pattern from the decimals and the single step.
    virtual void createRegPattern();

    // Also selects the last decimal.
    void setDecimals(int decimals) override;
    void setMaximum(double max);
    void setMinimum(double min);
    // Base units; divided by the SI factor in force. The stored value is kept even where the
    // spin box bounds what it shows.
    void setRange(double min, double max) override;
    // The step of the last decimal, in base units (converted once, with the factor in force).
    void setSingleStep(double step) override;
    void setSuffix(const QString &suffix) override;
    // The caller's prefix; the digit selection pads it with blanks so that the number stands
    // right-aligned at the width of the maximum.
    void setPrefix(const QString &prefix);
    // "n", "u" or "μ", "m", "", "k", "M", "G"; any other text counts as factor 1.
    void setSiPrefix(const QString &prefix) override;
    // Adds steps units of the selected digit (the last decimal moves by the single step); the
    // spin box bounds the result. Reached from Up/Down, Page Up/Down and the encoder.
    void stepBy(int steps) override;
    // Moves the selection one digit: Qt::Key_Left coarser, Qt::Key_Right finer.
    void selectCursor(int key);

    QString siPrefix() const { return m_siPrefix; }
    double siFactor() const { return m_siFactor; }
    int cursorResolution() const { return m_cursorResolution; }
    QString regPattern() const { return m_regPattern; }
    // The SI factor of a prefix (1 for a prefix not in the table).
    static double factorOfPrefix(const QString &prefix);

Q_SIGNALS:
    // The value in base units after a commit or a step.
    void valuePrefixChanged(double value);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

    // A value within rounding noise of an integer is that integer (log10(1000) may come out
    // as 2.9999999999999996, 1000 * 0.005 as 4.999999999999999).
    static double snapToInteger(double x);
    // Band membership of the subclasses' tables: value <= bound, or equal to it within
    // rounding noise (|value - bound| * 1e12 <= the smaller magnitude).
    static bool notAbove(double value, double bound);
    // The first row of a band table (rows with a `bound`, ascending) that value does not
    // exceed; null above the last bound.
    template <class Row> static const Row *bandIn(const QVector<Row> &table, double value)
    {
        for (const Row &row : table) {
            if (notAbove(value, row.bound))
                return &row;
        }
        return nullptr;
    }
    // 10^-index: one unit of digit index.
    static double digitWeight(int index);
    // The leading-digit index of a maximum in display units: minus the integer part of its
    // decimal logarithm (0 for a maximum of zero or below).
    static int leadResolutionOf(double shownMax);
    // Shows a number in display units without touching the stored value.
    void showNumber(double shown) { QDoubleSpinBox::setValue(shown); }

    bool m_stepping = false; // a step is under way; its value change is reported
    int m_cursorResolution = 0;
    int m_leadResolution = 0;
    double m_siFactor = 1.0; // base units per display unit
    QString m_regPattern;
    int m_leadOffset = 0; // moves the coarsest selectable digit (set by the subclasses' tables)
    double m_value = 0.0; // base units, as last set, committed or stepped
    QString m_prefix; // without the filler blanks
    QString m_siPrefix;

private:
    void onEditingFinished();
    void onSpinValueChanged();
    // The key filter: whether the line edit's text with the key's printable text inserted at
    // the caret matches the pattern as a whole.
    bool admits(const QString &text) const;
};
