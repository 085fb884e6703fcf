#include "remote/Vxi11LinkTable.h"

#include <QElapsedTimer>
#include <QThread>

namespace zo4882 {

int Vxi11LinkTable::freeLinks() const
{
    return Size - usedLinks();
}

int Vxi11LinkTable::usedLinks() const
{
    QMutexLocker lock(&s_mtxForLinkObj);
    int used = 0;
    for (const VXI11_LINKOBJ &link : m_links)
        used += link.core ? 1 : 0;
    return used;
}

qint32 Vxi11LinkTable::registerLink(const void *core, bool locked)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    for (VXI11_LINKOBJ &link : m_links) {
        if (link.core)
            continue;
        // Ids count up and skip 0, so a stale id from an ended link names nothing.
        m_nextLid = m_nextLid == INT32_MAX ? 1 : m_nextLid + 1;
        link.core = core;
        link.lid = m_nextLid;
        link.locked = locked;
        link.aborted = 0;
        link.srqEnabled = false;
        link.handle.clear();
        link.lastReadXid = 0;
        return link.lid;
    }
    return 0;
}

bool Vxi11LinkTable::belongsTo(qint32 lid, const void *core) const
{
    QMutexLocker lock(&s_mtxForLinkObj);
    const VXI11_LINKOBJ *link = find(lid);
    return link && link->core == core;
}

bool Vxi11LinkTable::exists(qint32 lid) const
{
    QMutexLocker lock(&s_mtxForLinkObj);
    return find(lid) != nullptr;
}

bool Vxi11LinkTable::unregisterLink(qint32 lid, const void *core)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    VXI11_LINKOBJ *link = find(lid);
    if (!link || link->core != core)
        return false;
    link->core = nullptr;
    link->lid = 0;
    link->locked = false;
    link->srqEnabled = false;
    link->handle.clear();
    return true;
}

std::vector<qint32> Vxi11LinkTable::unregisterAll(const void *core)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    std::vector<qint32> ids;
    for (VXI11_LINKOBJ &link : m_links) {
        if (link.core == core)
            ids.push_back(link.lid);
    }
    for (qint32 lid : ids)
        unregisterLink(lid, core);
    return ids;
}

qint32 Vxi11LinkTable::findLockOwner() const
{
    QMutexLocker lock(&s_mtxForLinkObj);
    for (const VXI11_LINKOBJ &link : m_links) {
        if (link.core && link.locked)
            return link.lid;
    }
    return 0;
}

bool Vxi11LinkTable::tryLock(qint32 lid)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    const qint32 owner = findLockOwner();
    VXI11_LINKOBJ *link = find(lid);
    if (!link || (owner != 0 && owner != lid))
        return false;
    link->locked = true;
    return true;
}

bool Vxi11LinkTable::unlock(qint32 lid)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    VXI11_LINKOBJ *link = find(lid);
    if (!link || !link->locked)
        return false;
    link->locked = false;
    return true;
}

bool Vxi11LinkTable::abort(qint32 lid)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    VXI11_LINKOBJ *link = find(lid);
    if (!link)
        return false;
    link->aborted = 1;
    return true;
}

void Vxi11LinkTable::setSrq(qint32 lid, bool enable, const QByteArray &handle)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    VXI11_LINKOBJ *link = find(lid);
    if (!link)
        return;
    link->srqEnabled = enable;
    link->handle = enable ? handle.left(VXI11_LINKOBJ::MaxHandle) : QByteArray();
}

std::vector<QByteArray> Vxi11LinkTable::srqHandles() const
{
    QMutexLocker lock(&s_mtxForLinkObj);
    std::vector<QByteArray> handles;
    for (const VXI11_LINKOBJ &link : m_links) {
        if (link.core && link.srqEnabled)
            handles.push_back(link.handle);
    }
    return handles;
}

void Vxi11LinkTable::setLastReadXid(qint32 lid, quint32 xid)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    if (VXI11_LINKOBJ *link = find(lid))
        link->lastReadXid = xid;
}

int Vxi11LinkTable::waitLock(qint32 lid, int timeoutMs, bool abortable, bool takeLock)
{
    QElapsedTimer clock;
    clock.start();
    int result = 0;
    forever {
        const qint32 owner = findLockOwner();
        const bool free = takeLock ? tryLock(lid) : (owner == 0 || owner == lid);
        if (free)
            break;
        if (abortable && takeAborted(lid)) {
            result = 23;
            break;
        }
        if (clock.elapsed() >= timeoutMs) {
            result = 11;
            break;
        }
        QThread::usleep(PollMicroseconds);
    }
    takeAborted(lid);
    return result;
}

void Vxi11LinkTable::clear()
{
    QMutexLocker lock(&s_mtxForLinkObj);
    for (VXI11_LINKOBJ &link : m_links) {
        if (link.core)
            unregisterLink(link.lid, link.core);
    }
}

VXI11_LINKOBJ *Vxi11LinkTable::find(qint32 lid)
{
    for (VXI11_LINKOBJ &link : m_links) {
        if (link.core && link.lid == lid && lid != 0)
            return &link;
    }
    return nullptr;
}

const VXI11_LINKOBJ *Vxi11LinkTable::find(qint32 lid) const
{
    return const_cast<Vxi11LinkTable *>(this)->find(lid);
}

bool Vxi11LinkTable::takeAborted(qint32 lid)
{
    QMutexLocker lock(&s_mtxForLinkObj);
    VXI11_LINKOBJ *link = find(lid);
    return link && link->aborted.exchange(0) != 0;
}

} // namespace zo4882
