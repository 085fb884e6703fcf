#include "commands/SystErrCustom.h"

#include "commands/keywords/InstrumentErrorTexts.h"

SystErrCustom::SystErrCustom(Notify beep, Notify queued, Notify dequeued)
    : m_beep(std::move(beep))
    , m_queued(std::move(queued))
    , m_dequeued(std::move(dequeued))
{ }

void SystErrCustom::OnQueue(const zo4882::SYST_ERR_INFO &)
{
    if (m_beep)
        m_beep();
    if (m_queued)
        m_queued();
}

void SystErrCustom::OnDequeue(const zo4882::SYST_ERR_INFO &)
{
    if (m_dequeued)
        m_dequeued();
}

void SystErrCustom::OnEmpty()
{
    if (m_dequeued)
        m_dequeued();
}

QString SystErrCustom::getMessage(short code) const
{
    return QString::fromLatin1(InstrumentErrorTexts::text(code));
}
