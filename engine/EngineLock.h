#pragma once

#include <QMutexLocker>
#include <QRecursiveMutex>

#include <functional>
#include <utility>
#include <vector>

namespace vek {

// The engine's one serialisation point. Every setter of the engine objects (source, basic
// settings, protections, acquisition, program object, presets, setups) runs its checks, the
// hand-over to the writer link and the store of its state as one step under this mutex, so that
// a panel edit and a remote command can never interleave a half-applied change. Recursive,
// because setters call setters (a mode change re-applies levels; a recall runs many setters).
//
// Lock order (outermost first):
//   value registry's mutex (a remote command's set runs under it)
//   ->  engineMutex()  ->  Source::stateMutex() or the status object's load mutex
//   ->  writer link's shadow-register mutex  ->  transient-state mutex  ->  SPI mutex
// So nothing run within a step (adjusters, the engine's own callbacks) takes the registry's.
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

// One setter's step under engineMutex(). Every setter follows the same pattern:
//
//   SCPIERR_T Thing::setX(Value v)
//   {
//       EngineStep step;                        // held to the end of the setter
//       if (refused)                            // checks, in the specified order
//           return Error::...;                  //   nothing sent, nothing stored
//       m_writer->...; m_writer->transfer();    // send
//       m_x = v;                                // store
//       step.announce([this, v] { emit xChanged(v); });
//       return Error::None;
//   }
//
// announce() defers a signal until the outermost step of this thread has released the mutex,
// so that no signal is emitted with the engine locked, and a setter that calls setters
// announces after the whole change. unlock() ends a step early (a setter that then waits).
class EngineStep
{
public:
    EngineStep()
    {
        engineMutex().lock();
        ++depth();
    }
    ~EngineStep() { unlock(); }
    EngineStep(const EngineStep &) = delete;
    EngineStep &operator=(const EngineStep &) = delete;

    // Whether this thread is within a step (its blocking calls into other threads would hold
    // the mutex across them).
    static bool held() { return depth() > 0; }

    // Runs in this thread, in the order announced, once no step of this thread holds the mutex.
    void announce(std::function<void()> announcement)
    {
        pending().push_back(std::move(announcement));
    }

    // Leaves the step; the last step of this thread runs the announcements after unlocking.
    void unlock()
    {
        if (!m_locked)
            return;
        m_locked = false;
        if (--depth() > 0) {
            engineMutex().unlock();
            return;
        }
        std::vector<std::function<void()>> due;
        due.swap(pending());
        engineMutex().unlock();
        for (const std::function<void()> &announcement : due)
            announcement();
    }

private:
    static int &depth()
    {
        thread_local int steps = 0;
        return steps;
    }
    static std::vector<std::function<void()>> &pending()
    {
        thread_local std::vector<std::function<void()>> announcements;
        return announcements;
    }

    bool m_locked = true;
};

} // namespace vek
