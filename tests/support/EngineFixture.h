#pragma once

#include "engine/Status.h"
#include "engine/ioc/IoControl.h"
#include "instrument/InstrumentConfigInfo.h"
#include "instrument/ModelInformation.h"
#include "tests/support/PowerBoard.h"

#include <QList>
#include <QThread>
#include <QVector>

#include <memory>

// The engine's links on the simulated board (a single unit), wired as the engine root wires
// them, for the tests of the engine objects: a writer and a monitor link, the model information
// built from the board's model file, and the status object. The test builds its engine object
// over them and destroys it before stop(). Every call is bounded in time.
class EngineFixture
{
public:
    // Puts the class-wide source state back to power-on and starts the board; a test may edit
    // the board root's files before buildLinks().
    bool startBoard();
    // statusThread: the status object runs in a thread of its own, fed by both links'
    // statusChanged; otherwise it stays in this thread, unconnected.
    bool buildLinks(bool statusThread = false, const ioc::LinkTiming &timing = ioc::LinkTiming());
    // Stops and frees everything, the board last; true when the board had run and exited
    // cleanly (errorString() says why not).
    bool stop();
    QString errorString() const { return m_error; }

    // Waits until the writer has sent everything pending: it answers a register read only
    // after everything queued before it (counting its status reports could be satisfied by a
    // report of an earlier cycle).
    bool flushWriter();
    // Words of the board's memory at address, read after flushWriter(); empty on failure.
    QVector<quint32> peek(quint32 address, int count = 1);
    // The mode word the board holds, read after flushWriter().
    quint32 modeWord();
    // Word index of each write to one register address, oldest first.
    static QList<quint32> writesTo(
        const QList<PowerBoard::LogEntry> &log, quint32 address, int index = 0);

    static constexpr quint32 ProgramGroupAddress = 0x50000000;
    static constexpr quint32 CommandAddress = 0x50000004;
    static constexpr quint32 ModeWordAddress = 0x60000000;
    static constexpr quint32 AlarmAddress = 0x6000000C;

    std::unique_ptr<PowerBoard> board;
    std::unique_ptr<ioc::IoControl> writer;
    std::unique_ptr<ioc::IoControl> monitor;
    std::unique_ptr<ModelInformation> info;
    std::unique_ptr<QThread> statusThread;
    std::unique_ptr<vek::Status> status;
    InstrumentConfigInfo config;

private:
    QString m_error;
};
