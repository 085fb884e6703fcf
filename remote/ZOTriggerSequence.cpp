#include "remote/ZOTriggerSequence.h"

namespace zo4882 {

ZO4882Opc &ZOTriggerSequence::s_opc = zo4882::s_opc;

ZOTriggerSequence::ZOTriggerSequence(QObject *parent)
    : QObject(parent)
{
    connect(this,
        &ZOTriggerSequence::initiated,
        this,
        &ZOTriggerSequence::OnInitiate,
        Qt::DirectConnection);
    connect(this,
        &ZOTriggerSequence::triggered,
        this,
        &ZOTriggerSequence::OnTrigger,
        Qt::DirectConnection);
    connect(
        this, &ZOTriggerSequence::aborted, this, &ZOTriggerSequence::OnAbort, Qt::DirectConnection);
    connect(this,
        &ZOTriggerSequence::completed,
        this,
        &ZOTriggerSequence::OnComplete,
        Qt::DirectConnection);
}

int ZOTriggerSequence::initiate(bool continuous, bool waitTrigger)
{
    m_continuous = continuous;
    m_waitTrigger = waitTrigger;
    if (m_initiated)
        return 0;
    m_initiated = true;
    emit initiated();
    if (!m_waitTrigger) {
        m_triggered = true;
        emit triggered();
    }
    return 1;
}

bool ZOTriggerSequence::trigger()
{
    if (m_waitTrigger) {
        m_triggered = true;
        emit triggered();
    }
    return m_waitTrigger;
}

int ZOTriggerSequence::complete()
{
    m_initiated = false;
    m_triggered = false;
    m_completed = true;
    emit completed();
    return 1;
}

int ZOTriggerSequence::abort()
{
    m_initiated = false;
    m_triggered = false;
    m_aborted = true;
    emit aborted();
    return 1;
}

} // namespace zo4882
