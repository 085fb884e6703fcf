#pragma once

// SCPI error numbers returned by the instrument layer (0 is success). The texts live in the
// remote-control library's error table.
namespace InstrumentErrors {
constexpr int DataOutOfRange = -222;
constexpr int SystemError = -310;
} // namespace InstrumentErrors
