#pragma once

#include "remote/SYST_ERR_INFO.h"

#include <QMutex>
#include <QString>
#include <QVector>

#include <atomic>

namespace zo4882 {

class ISystErrCustom;
class ZO_ESR_REGISTER;
class ZO_STB_REGISTER;

// The SCPI error queue: at most 16 entries, oldest first. Queueing sets status byte bit 0x04
// and the error class's condition bit of the standard event status register; both clear when
// the queue becomes empty. Every operation may be called from any thread.
class ZOSystErrCue
{
public:
    static constexpr int MaxEntries = 16;
    static constexpr short OverflowCode = -350;

    ZOSystErrCue(ZO_STB_REGISTER *stb, ZO_ESR_REGISTER *esr);
    virtual ~ZOSystErrCue() = default;

    // Appends e. With 16 entries the newest becomes -350 (once) and e is lost. Code 0 is not
    // an error and is ignored. Returns 1.
    virtual int cue(const SYST_ERR_INFO &e);
    // Removes and returns the oldest entry; the empty entry (code 0) when there is none.
    virtual SYST_ERR_INFO decue();
    // Text of a code: the standard table, else the hook's text, else empty.
    virtual QString getMessage(short code) const;

    int count() const;
    bool isEmpty() const { return count() == 0; }
    // A consistent copy of the entries, oldest first, for readers such as the panel's list.
    QVector<SYST_ERR_INFO> snapshot() const;

    // Discards all entries (the hook's OnEmpty follows); nothing happens when already empty.
    void clear();
    // *CLS's share: under the queue's mutex, the standard event status event and condition and
    // the status byte condition are cleared, then the entries as clear() does.
    void clearWithStatus();

    // Installed once by the start-up; may be null.
    void setHook(ISystErrCustom *hook) { m_hook.store(hook); }
    ISystErrCustom *hook() const { return m_hook.load(); }

private:
    bool discardLocked();

    ZO_STB_REGISTER *const m_stb;
    ZO_ESR_REGISTER *const m_esr;
    std::atomic<ISystErrCustom *> m_hook { nullptr };
    // Guards m_entries and the queue's share of the status bits (0x04, the class bits), which
    // change only while it is held. Taken before any register mutex, never after one.
    mutable QMutex m_mutex;
    QVector<SYST_ERR_INFO> m_entries;
};

// The process-wide queue (defined beside the status registers, see StatusRegisters.h).
extern ZOSystErrCue s_systErrCue;

} // namespace zo4882
