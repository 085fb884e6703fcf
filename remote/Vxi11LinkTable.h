#pragma once

#include <QByteArray>
#include <QRecursiveMutex>

#include <atomic>
#include <vector>

namespace zo4882 {

// One VXI-11 link, as the table keeps it. Everything but aborted is guarded by the table's
// mutex; the link's input, answer and read state belong to its core session.
struct VXI11_LINKOBJ
{
    static constexpr int MaxHandle = 40;

    const void *core = nullptr; // the core session that created the link; null: free entry
    qint32 lid = 0; // never 0 for a used entry
    bool locked = false; // holds the device lock
    std::atomic<int> aborted { 0 }; // set by device_abort, cleared when a lock wait ends
    bool srqEnabled = false;
    QByteArray handle; // device_enable_srq's handle, at most MaxHandle bytes
    quint32 lastReadXid = 0; // transaction id of the last device_read reply
};

// The device's four links, the device lock and the abort marks, shared by every core and abort
// session. Every operation takes s_mtxForLinkObj, which guards all entries (but aborted).
// Lock order: this mutex is taken last; nothing is called out of the table while it is held.
class Vxi11LinkTable
{
public:
    static constexpr int Size = 4;
    // Lock waits look at the owner this often, outside the mutex.
    static constexpr int PollMicroseconds = 100;

    int freeLinks() const;
    int usedLinks() const;
    // The first free entry for core; its new link id, 0 when all are used.
    qint32 registerLink(const void *core, bool locked);
    // True when lid is a link of core.
    bool belongsTo(qint32 lid, const void *core) const;
    bool exists(qint32 lid) const;
    // Frees the link (and its lock); true when it was core's.
    bool unregisterLink(qint32 lid, const void *core);
    // Frees every link of core; returns their ids.
    std::vector<qint32> unregisterAll(const void *core);
    // The link holding the lock, 0 when none.
    qint32 findLockOwner() const;
    // Takes the lock for lid when nobody holds it; true when lid holds it now.
    bool tryLock(qint32 lid);
    // Releases lid's lock; false when lid does not hold it.
    bool unlock(qint32 lid);
    // device_abort: marks lid; false when no such link.
    bool abort(qint32 lid);
    void setSrq(qint32 lid, bool enable, const QByteArray &handle);
    // Handles of the links with service requests enabled, in table order.
    std::vector<QByteArray> srqHandles() const;
    void setLastReadXid(qint32 lid, quint32 xid);

    // Waits until no other link holds the lock (takeLock: and lid took it), polling outside
    // the mutex. Returns 0, 11 when timeoutMs passed, or 23 when abortable and lid was aborted
    // meanwhile. The link's abort mark is cleared when the wait ends, however it ends.
    int waitLock(qint32 lid, int timeoutMs, bool abortable, bool takeLock);

    // Every entry freed; tests only.
    void clear();

private:
    VXI11_LINKOBJ *find(qint32 lid);
    const VXI11_LINKOBJ *find(qint32 lid) const;
    bool takeAborted(qint32 lid);

    mutable QRecursiveMutex s_mtxForLinkObj; // guards m_links (but aborted) and m_nextLid
    VXI11_LINKOBJ m_links[Size];
    qint32 m_nextLid = 0;
};

} // namespace zo4882
