#include "remote/ZOSystErrCue.h"

#include "remote/ISystErrCustom.h"
#include "remote/ZOErrorTexts.h"
#include "remote/ZO_ESR_REGISTER.h"
#include "remote/ZO_STB_REGISTER.h"

namespace zo4882 {

ZOSystErrCue::ZOSystErrCue(ZO_STB_REGISTER *stb, ZO_ESR_REGISTER *esr)
    : m_stb(stb)
    , m_esr(esr)
{ }

int ZOSystErrCue::cue(const SYST_ERR_INFO &e)
{
    if (e.code() == 0)
        return 1;
    SYST_ERR_INFO queued;
    {
        // Service requests raised here go out after the queue's mutex is released.
        ZO_STB_REGISTER::NotifyHold hold;
        QMutexLocker lock(&m_mutex);
        // Check and append under one lock, so concurrent posts never exceed 16 entries.
        if (m_entries.size() >= MaxEntries) {
            if (m_entries.last().code() == OverflowCode)
                return 1;
            m_entries.removeLast();
            queued = SYST_ERR_INFO(OverflowCode, INTF_PANEL, QString());
        } else {
            queued = e;
        }
        m_stb->setCondition(ZO_STB_REGISTER::ErrorAvailable, 1);
        if (const unsigned char classBit = ZOErrorTexts::classBit(queued.code()))
            m_esr->setCondition(classBit, 1);
        m_entries.append(queued);
    }
    if (ISystErrCustom *h = hook())
        h->OnQueue(queued);
    return 1;
}

SYST_ERR_INFO ZOSystErrCue::decue()
{
    SYST_ERR_INFO oldest;
    {
        ZO_STB_REGISTER::NotifyHold hold;
        QMutexLocker lock(&m_mutex);
        if (m_entries.isEmpty())
            return oldest;
        oldest = m_entries.takeFirst();
        if (m_entries.isEmpty()) {
            m_stb->setCondition(ZO_STB_REGISTER::ErrorAvailable, 0);
            m_esr->setCondition(ZO_ESR_REGISTER::ErrorClasses, 0);
        }
    }
    // Outside the mutex, so the hook may read the queue or post without deadlock.
    if (ISystErrCustom *h = hook())
        h->OnDequeue(oldest);
    return oldest;
}

QString ZOSystErrCue::getMessage(short code) const
{
    if (const char *text = ZOErrorTexts::text(code))
        return QString::fromLatin1(text);
    if (ISystErrCustom *h = hook())
        return h->getMessage(code);
    return QString();
}

int ZOSystErrCue::count() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries.size();
}

QVector<SYST_ERR_INFO> ZOSystErrCue::snapshot() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries;
}

void ZOSystErrCue::clear()
{
    bool discarded = false;
    {
        ZO_STB_REGISTER::NotifyHold hold;
        QMutexLocker lock(&m_mutex);
        discarded = discardLocked();
    }
    if (ISystErrCustom *h = hook(); h && discarded)
        h->OnEmpty();
}

void ZOSystErrCue::clearWithStatus()
{
    bool discarded = false;
    {
        ZO_STB_REGISTER::NotifyHold hold;
        QMutexLocker lock(&m_mutex);
        m_esr->clearEvent();
        m_esr->resetCondition();
        m_stb->resetCondition();
        discarded = discardLocked();
    }
    if (ISystErrCustom *h = hook(); h && discarded)
        h->OnEmpty();
}

bool ZOSystErrCue::discardLocked()
{
    if (m_entries.isEmpty())
        return false;
    m_entries.clear();
    m_stb->setCondition(ZO_STB_REGISTER::ErrorAvailable, 0);
    m_esr->setCondition(ZO_ESR_REGISTER::ErrorClasses, 0);
    return true;
}

} // namespace zo4882
