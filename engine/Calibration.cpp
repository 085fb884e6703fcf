#include "engine/Calibration.h"

#include "engine/ioc/IoControl.h"
#include "engine/ioc/IocProtocol.h"

#include <QDate>
#include <QThread>

namespace vek {

namespace {

bool validIndex(unsigned index)
{
    return index % 4 == 0 && index < Calibration::BlockSize;
}

} // namespace

Calibration::Calibration(ioc::IoControl *writer, int savePauseMs, int datePauseMs, QObject *parent)
    : QObject(parent)
    , m_writer(writer)
    , m_savePauseMs(savePauseMs)
    , m_datePauseMs(datePauseMs)
{ }

SCPIERR_T Calibration::getCalibrateData(unsigned index, unsigned *value) const
{
    if (!validIndex(index))
        return Error::IllegalParameter;
    qint32 word = 0;
    if (const int e = m_writer->readRegister(ioc::Address::CalRead + index, &word))
        return SCPIERR_T(e);
    *value = quint32(word);
    return 0;
}

SCPIERR_T Calibration::setCalibrateData(unsigned index, unsigned value)
{
    if (!validIndex(index))
        return Error::IllegalParameter;
    m_writer->setRegisterData(ioc::Address::CalWrite + index, qint32(value));
    m_writer->transfer();
    return 0;
}

void Calibration::doCalibrateApply()
{
    m_writer->progCommand(ioc::IoControl::TranAbort, ioc::IoControl::ViaProgramGroup);
    m_writer->transfer();
    m_writer->progCommand(ioc::IoControl::Tran, ioc::IoControl::ViaCommandRegister);
    m_writer->transfer();
}

void Calibration::doCalibrateSave()
{
    m_writer->setCopyCalData();
    m_writer->transfer();
    QThread::msleep(ulong(m_savePauseMs));
    m_writer->setProgramCalData();
    m_writer->transfer();
}

bool Calibration::setCalibrationDate(unsigned year, unsigned month, unsigned day)
{
    setCalibrateData(YearIndex, year);
    QThread::msleep(ulong(m_datePauseMs));
    setCalibrateData(MonthDayIndex, (month << 16) + (day & 0xFFFF));
    return QDate::isValid(int(year), int(month), int(day));
}

bool Calibration::getCalibrationDate(unsigned *year, unsigned *month, unsigned *day) const
{
    const ioc::CAL_INFO cal = ioc::IoControl::calInfo();
    *year = unsigned(cal.year);
    *month = cal.month;
    *day = cal.day;
    return QDate::isValid(cal.year, cal.month, cal.day);
}

QString Calibration::getCalibrationDateString() const
{
    const ioc::CAL_INFO cal = ioc::IoControl::calInfo();
    const QDate date(cal.year, cal.month, cal.day);
    return date.isValid() ? date.toString(Qt::TextDate) : QStringLiteral("Unknown Date");
}

} // namespace vek
