#pragma once

#include "engine/ioc/IocProtocol.h"
#include "instrument/BoundValue.h"
#include "instrument/CustomOption.h"
#include "remote/IModelInfo.h"

#include <QByteArray>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class ModelHandler;
namespace ioc {
class IoControl;
}

// Which instrument this is and what it can do: serial number and MAC address from the EEPROM,
// model codes and versions from the controller's report, ratings from the model definition
// file, the installed options and the fifteen maps of bound values every level check and
// read-out scale rests on. Built once by the engine root; afterwards only read, from any
// thread, without locking.
//
// Setting and range maps are keyed by the engine's range index (current and conductance
// Low 0, Medium 1, High 2; voltage Low 0, High 1; power voltage index x 3 + current index),
// measurement maps by the controller's range code (current High 0, Low 1, Medium 2; voltage
// High 0, Low 1; energy voltage code x 4 + current code). No map is ever empty: when the model
// is unknown or a map was refused, a safe entry (limits 0, factor 0) stands in.
class ModelInformation : public zostd::IModelInfo
{
public:
    // A start-up problem: SCPI error number and detail text. Start-up connects it to the error
    // queue once that exists; every problem is also kept in startupErrors().
    using ErrorSink = std::function<void(int code, const QString &detail)>;
    // Shows a message to the operator (title, text); the panel passes a message box. Must not
    // be left blocking in tests.
    using MessageReporter = std::function<void(const QString &title, const QString &text)>;
    // Starts the writer link's thread, then the monitor link's, and returns the monitor link's
    // model report (waiting up to 2 s for it).
    using ReportSource = std::function<ioc::MODELS_INFO()>;

    // Board paths; every use goes through platform::BoardPath.
    static const QString eepromDevice;
    static const QString fileName;
    static const QString modelNameFile;
    static const QString optionDirectory;
    // Model name and flag when the reported model is not in the model file.
    static const QString fallbackModelName;

    // Starts both link threads, waits for the monitor link's report and, once built, hands the
    // measurement factors to the links (until then records convert with factor 0).
    ModelInformation(ioc::IoControl *writer,
        ioc::IoControl *monitor,
        const ErrorSink &errorSink = {},
        const MessageReporter &parseErrorReporter = {});
    // The same with the report from reportSource and the links left alone; for tests and tools.
    explicit ModelInformation(const ReportSource &reportSource,
        const ErrorSink &errorSink = {},
        const MessageReporter &parseErrorReporter = {});
    ~ModelInformation() override;

    // The one instance; cleared again by its destructor.
    static ModelInformation *s_pSelf;

    QString getManufacturer() const override;
    QString getModel() const override;
    QString getSerial() const override;
    // "IFC2.11.0000 FPGA1.02.0003 IOC2.05.0017"; a missing version record reads 0.00.0000.
    QString getRevision() const override;
    QString getProductDescription() const override;
    QString getIviDriverIdentifier() const override;
    quint16 getUsbVID() const override;
    quint16 getUsbPID() const override;
    QString getHwAdr() const override;

    // EEPROM access. readEepRom returns up to length bytes (empty when the file cannot be
    // read). The writers return whether every byte was written; they change the EEPROM only,
    // the new serial and MAC are read at the next start.
    QByteArray readEepRom(int offset, int length) const;
    bool writeEepRom(int offset, QByteArray data, int length) const;
    // Latin-1 serial plus a NUL, cut to the 12-byte field at offset 16.
    bool setSerial(const QString &serial) const;
    // Exactly six octets at offset 60; any other length is refused.
    bool setMacAddress(const QByteArray &mac) const;

    // The entry for key, else the entry of the smallest key, else (empty map) a safe entry
    // with limits 0 and factor 0. Never inserts.
    template <typename T> static const T &rangeValue(const QMap<int, T> &map, int key);
    // A range's full scale in its prefixed unit, up to six significant digits ("150mA", "30A");
    // unit follows the prefix directly.
    static QString rangeText(const BoundValueBase &entry, const QString &unit);

    // The measurement maps' factors for every range code a record can carry.
    ioc::AcqFactors acqFactors() const;

    bool usesFallbackModel() const { return m_modelNames.isEmpty(); }
    QStringList modelNames() const { return m_modelNames; }
    QVector<QPair<int, QString>> startupErrors() const { return m_startupErrors; }

    const QMap<int, BoundValueBase> &currRangeMap() const { return m_currRangeMap; }
    const QMap<int, BoundValueBase> &condRangeMap() const { return m_condRangeMap; }
    const QMap<int, BoundValueBase> &voltRangeMap() const { return m_voltRangeMap; }
    const QMap<int, BoundValue> &currentMap() const { return m_currentMap; }
    const QMap<int, BoundValue> &conductanceMap() const { return m_conductanceMap; }
    const QMap<int, BoundValue> &voltageMap() const { return m_voltageMap; }
    const QMap<int, BoundValue> &powerMap() const { return m_powerMap; }
    const QMap<int, BoundValue> &slewRateMap() const { return m_slewRateMap; }
    // The level bound of a function mode (0 CC, 1 CR, 2 CV, 3 CP) at the given range keys;
    // null for ARB and any other mode.
    const BoundValue *levelBound(
        int mode, int currentRange, int voltageRange, int powerRange) const;
    const QMap<int, BoundValue> &oppMap() const { return m_oppMap; }
    const QMap<int, BoundValue> &ocpMap() const { return m_ocpMap; }
    const QMap<int, BoundValue> &uvpMap() const { return m_uvpMap; }
    const QMap<int, BoundValueAcq> &acqCurrentMap() const { return m_acqCurrentMap; }
    const QMap<int, BoundValueAcq> &acqVoltageMap() const { return m_acqVoltageMap; }
    const QMap<int, BoundValueAcq> &capacityMap() const { return m_capacityMap; }
    const QMap<int, BoundValueAcq> &energyMap() const { return m_energyMap; }

    double cutoffCapacityMin() const { return m_cutoffCapacityMin; }
    double cutoffCapacityMax() const { return m_cutoffCapacityMax; }
    double cutoffEnergyMin() const { return m_cutoffEnergyMin; }
    double cutoffEnergyMax() const { return m_cutoffEnergyMax; }
    double pulseMin() const { return m_pulseMin; }
    double pulseMax() const { return m_pulseMax; }
    double sineMin() const { return m_sineMin; }
    double sineMax() const { return m_sineMax; }
    // The model has sine modulation only when both limits are non-zero.
    bool hasSine() const { return m_sineMin != 0.0 && m_sineMax != 0.0; }
    quint32 arbPoints() const { return m_arbPoints; }
    // (time in seconds, controller code) pairs.
    const QVector<QPair<double, qint32>> &arbResponse() const { return m_arbResponse; }
    const QVector<QPair<double, qint32>> &softStart() const { return m_softStart; }
    bool iocCutoff() const { return m_iocCutoff; }
    bool iocShort() const { return m_iocShort; }
    bool iocTrigAcquireEx() const { return m_iocTrigAcquireEx; }
    double stepTimeMin() const { return m_stepTimeMin; }
    double stepTimeMax() const { return m_stepTimeMax; }
    double stepTimeSingleStep() const { return m_stepTimeSingleStep; }
    int stepTimeDecimals() const { return m_stepTimeDecimals; }
    double measMin() const { return m_measMin; }
    double measMax() const { return m_measMax; }
    double measSingleStep() const { return m_measSingleStep; }
    int measDecimals() const { return m_measDecimals; }
    double adSampleBaseTime() const { return m_adSampleBaseTime; }
    ioc::IOC_VERSION fpgaVersion() const { return m_fpgaVersion; }
    ioc::IOC_VERSION iocVersion() const { return m_iocVersion; }
    const QVector<CustomOption> &options() const { return m_options; }

private:
    friend class ModelHandler;

    // Which of the single-entry maps have taken their entry during this build.
    struct Decided
    {
        bool voltageRange = false;
        bool voltage = false;
        bool uvp = false;
        bool acquireVoltage = false;
    };

    void getModelsInfo();
    void modelFile(const QVector<long> &ids);
    void calculation();
    void readOptions();
    void writeModelName();
    void useFallbackModel();
    template <typename T> void calculateMap(QMap<int, T> &map, const char *name);
    void reportError(int code, const QString &detail);

    ReportSource m_reportSource;
    ErrorSink m_errorSink;
    MessageReporter m_parseErrorReporter;
    QVector<QPair<int, QString>> m_startupErrors;
    Decided m_decided;

    QString m_hwAdr;
    QStringList m_modelNames;
    QMap<int, BoundValueBase> m_currRangeMap;
    QMap<int, BoundValueBase> m_condRangeMap;
    QMap<int, BoundValueBase> m_voltRangeMap;
    QMap<int, BoundValue> m_currentMap;
    QMap<int, BoundValue> m_conductanceMap;
    QMap<int, BoundValue> m_voltageMap;
    QMap<int, BoundValue> m_powerMap;
    QMap<int, BoundValue> m_slewRateMap;
    QMap<int, BoundValue> m_oppMap;
    QMap<int, BoundValue> m_ocpMap;
    QMap<int, BoundValue> m_uvpMap;
    QMap<int, BoundValueAcq> m_acqCurrentMap;
    QMap<int, BoundValueAcq> m_acqVoltageMap;
    QMap<int, BoundValueAcq> m_capacityMap;
    QMap<int, BoundValueAcq> m_energyMap;
    double m_cutoffCapacityMin = 0.0;
    double m_cutoffCapacityMax = 0.0;
    double m_cutoffEnergyMin = 0.0;
    double m_cutoffEnergyMax = 0.0;
    double m_pulseMin = 1.0; // Hz
    double m_pulseMax = 100000.0;
    double m_sineMin = 0.0;
    double m_sineMax = 0.0;
    quint32 m_arbPoints = 1024;
    QVector<QPair<double, qint32>> m_arbResponse;
    QVector<QPair<double, qint32>> m_softStart;
    bool m_iocCutoff = false;
    bool m_iocShort = true;
    bool m_iocTrigAcquireEx = false;
    double m_stepTimeMin = 2.5e-5; // s
    double m_stepTimeMax = 3600000.0;
    double m_stepTimeSingleStep = 1e-6;
    int m_stepTimeDecimals = 6;
    double m_measMin = 0.0002; // s
    double m_measMax = 1.0;
    double m_measSingleStep = 0.0002;
    int m_measDecimals = 4;
    double m_adSampleBaseTime = 8e-6; // s
    QString m_serial;
    ioc::IOC_VERSION m_fpgaVersion;
    ioc::IOC_VERSION m_iocVersion;
    QVector<CustomOption> m_options;
};

template <typename T> const T &ModelInformation::rangeValue(const QMap<int, T> &map, int key)
{
    const auto it = map.constFind(key);
    if (it != map.constEnd())
        return it.value();
    if (!map.isEmpty())
        return map.constBegin().value();
    static const T safe = T::safeEntry();
    return safe;
}
