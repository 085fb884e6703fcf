#pragma once

#include "gui/toolkit/zoDoubleSpinBox.h"

#include <QVector>

// One frequency band of FreqDoubleSpinBox: values up to bound (Hz) are stepped at digit index
// resolution at the finest; a step landing in the band is replaced by replace unless it is 0.
struct rangeResolutionData
{
    double bound;
    int resolution;
    double replace;
};

// Entry for switching and sine frequencies, in Hz (SI factor 1). Its band table sets the finest
// digit per band: with the built-in table 0.1 Hz up to 10 Hz, 1 Hz up to 100 Hz, 10 Hz up to
// 1 kHz, 100 Hz up to 10 kHz, and above only 10, 20, 50 and 100 kHz. The caller supplies the
// key-filter pattern.
class FreqDoubleSpinBox : public zoDoubleSpinBox
{
    Q_OBJECT

public:
    explicit FreqDoubleSpinBox(QWidget *parent = nullptr);

    // Rows in ascending order of bound; at least one row. leadOffset moves the coarsest
    // selectable digit.
    void setTable(const QVector<rangeResolutionData> &table, int leadOffset);
    void setRegPattern(const QString &pattern) { m_regPattern = pattern; }
    // Limits the index to the finest digit of the current value's band, then selects it.
    void setCursorResolution(int index) override;
    // The pattern is the caller's (setRegPattern).
    void createRegPattern() override { }

    // Steps the selected digit, band by band (also reached from Up/Down and the encoder).
    void stepBy(int steps) override;

    static const QVector<rangeResolutionData> &defaultTable();

private:
    QVector<rangeResolutionData> m_table;
};
