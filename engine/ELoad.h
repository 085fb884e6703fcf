#pragma once

#include "instrument/InstrumentConfigInfo.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

class DataLogger;
class ModelInformation;

namespace ioc {
class IoControl;
}

namespace vek {

class AbcMemories;
class AcquireTrigger;
class ArbitraryModel;
class Basic;
class Calibration;
class Program;
class Status;

// The root of the load control engine: both controller links, the model information, the record
// logger, the basic settings, the program object, the status object, the acquisition, the
// calibration access, the arbitrary table, the instrument configuration and the A/B/C presets,
// built in this order and wired to each other. Start-up problems go to the SCPI error queue:
// -313 when the controller holds no valid calibration data, -315 when the configuration file
// could not be loaded (the defaults are then written back).
//
// Build it in the thread whose event loop the engine objects use (the GUI thread); the status
// object's slots run in a thread of the root's own. Every other subsystem reaches the engine
// through s_pSelf. One per process.
class ELoad : public QObject
{
    Q_OBJECT

public:
    // Registers the command set's value objects on the finished engine (the command set lies
    // above the engine, so its caller hands it down); may be empty.
    using ValueObjectsHook = std::function<void(ELoad &root)>;

    // settleMs: the pause at the end of the construction, in which the status thread takes the
    // first status word (the product waits one second; tests may shorten it).
    explicit ELoad(ValueObjectsHook createValueObjects = {}, int settleMs = 1000);
    // Stops both links first, then destroys the members in reverse order.
    ~ELoad() override;
    ELoad(const ELoad &) = delete;
    ELoad &operator=(const ELoad &) = delete;

    // The one engine root; null before its construction and after its destruction.
    static ELoad *s_pSelf;

    ioc::IoControl *writer() const { return m_writer.get(); }
    ioc::IoControl *monitor() const { return m_monitor.get(); }
    ModelInformation *info() const { return m_info.get(); }
    DataLogger *logger() const { return m_logger.get(); }
    Basic *basic() const { return m_basic.get(); }
    Program *program() const { return m_program.get(); }
    Status *status() const { return m_status.get(); }
    AcquireTrigger *acquire() const { return m_acquire.get(); }
    Calibration *calibration() const { return m_calibration.get(); }
    ArbitraryModel *arbitrary() const { return m_arbitrary.get(); }
    InstrumentConfigInfo *config() const { return m_config.get(); }
    AbcMemories *presets() const { return m_presets.get(); }

private:
    void createMembers();
    void createConnections();
    void reportStartupErrors();

    std::unique_ptr<ioc::IoControl> m_writer;
    std::unique_ptr<ioc::IoControl> m_monitor;
    std::unique_ptr<ModelInformation> m_info;
    std::unique_ptr<DataLogger> m_logger; // Qt child of the root: moves with it
    std::unique_ptr<InstrumentConfigInfo> m_config;
    std::unique_ptr<Status> m_status; // lives in m_statusThread
    QThread m_statusThread;
    std::unique_ptr<Basic> m_basic;
    std::unique_ptr<Program> m_program;
    std::unique_ptr<AcquireTrigger> m_acquire;
    std::unique_ptr<Calibration> m_calibration;
    std::unique_ptr<ArbitraryModel> m_arbitrary;
    std::unique_ptr<AbcMemories> m_presets;
};

} // namespace vek
