#pragma once

#include <QMutexLocker>
#include <QRecursiveMutex>

namespace vek {

// The engine's one serialisation point. Every setter of the engine objects (source, basic
// settings, protections, acquisition, program object, presets, setups) runs its checks, the
// hand-over to the writer link and the store of its state as one step under this mutex, so that
// a panel edit and a remote command can never interleave a half-applied change. Recursive,
// because setters call setters (a mode change re-applies levels; a recall runs many setters).
//
// Lock order (outermost first):
//   engineMutex()  ->  Source::stateMutex()  ->  writer link's shadow-register mutex
//                  ->  transient-state mutex ->  SPI mutex
// It is never held across a blocking queued call into another thread, nor while waiting for
// the board to report a state: such setters release it first (a setter running in the GUI
// thread that the parser thread waits for would otherwise deadlock).
inline QRecursiveMutex &engineMutex()
{
    static QRecursiveMutex mutex;
    return mutex;
}

// QMutexLocker takes a QRecursiveMutex too: EngineLocker lock(&engineMutex());
using EngineLocker = QMutexLocker;

} // namespace vek
