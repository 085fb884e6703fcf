#pragma once

class DataLogger;
struct InstrumentConfigInfo;
class ModelInformation;

namespace vek {
class AbcMemories;
class AcquireTrigger;
class ArbitraryModel;
class Basic;
class Calibration;
class Program;
class Status;
} // namespace vek

// The engine objects that the value objects act on, handed to createValueObjects() by whoever
// builds the engine. They must outlive every use of the values. A test that only looks at the
// registry may leave them null: no value object touches the engine while it is built.
struct ValueEngine
{
    vek::Basic *basic = nullptr;
    vek::Status *status = nullptr;
    ModelInformation *info = nullptr;
    InstrumentConfigInfo *config = nullptr;
    vek::AcquireTrigger *acquire = nullptr;
    DataLogger *logger = nullptr;
    vek::Program *program = nullptr;
    vek::ArbitraryModel *arbitrary = nullptr;
    vek::AbcMemories *presets = nullptr;
    vek::Calibration *calibration = nullptr;
};
