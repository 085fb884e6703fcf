#pragma once

#include "engine/EngineTypes.h"

#include <QObject>
#include <QString>

namespace ioc {
class IoControl;
}

namespace vek {

// Access to the I/O controller's calibration registers for the calibration commands, and the
// calibration date read at start-up for the information page. The values are the controller's:
// this object moves 32-bit words and never interprets them.
//
// A register index is a byte offset into the calibration block (0x70000000 write, 0xF0000000
// read): a multiple of 4 below 0x10000000, else -224 with nothing sent. Register reads wait for
// the writer link's reply, so they are made from any thread but the writer's own.
class Calibration : public QObject
{
    Q_OBJECT

public:
    static constexpr unsigned BlockSize = 0x10000000;
    static constexpr unsigned YearIndex = 0x508;
    static constexpr unsigned MonthDayIndex = 0x50C; // month in bits 16-31, day in bits 0-15

    // savePauseMs: between copying the calibration data and storing it; datePauseMs: between
    // the two date words. The product's values are the defaults.
    explicit Calibration(ioc::IoControl *writer,
        int savePauseMs = 1000,
        int datePauseMs = 10,
        QObject *parent = nullptr);

    // 0, -224 for a bad index, or the link's error when no reply came in time (-365); *value is
    // set only on success.
    SCPIERR_T getCalibrateData(unsigned index, unsigned *value) const;
    // 0 once the write is queued, or -224 for a bad index.
    SCPIERR_T setCalibrateData(unsigned index, unsigned value);
    // Stops the transient and restarts the steady operation with the present calibration.
    void doCalibrateApply();
    // Copies the calibration data, waits savePauseMs in the caller's thread, then has the
    // controller store it.
    void doCalibrateSave();
    // Writes the date words; whether they form a valid calendar date (the words are written
    // either way: the command handler checks the date first). Reported after the next start.
    bool setCalibrationDate(unsigned year, unsigned month, unsigned day);
    // The date read at start-up; whether it is a valid date.
    bool getCalibrationDate(unsigned *year, unsigned *month, unsigned *day) const;
    // That date in Qt's text form, or "Unknown Date".
    QString getCalibrationDateString() const;

private:
    ioc::IoControl *const m_writer;
    const int m_savePauseMs;
    const int m_datePauseMs;
};

} // namespace vek
