#pragma once

#include "remote/ISystErrCustom.h"

#include <functional>

// The instrument's hook on the error queue: the remote-error beep, the main window's error list
// and the texts of the instrument's own error numbers. Made once by the remote start-up and
// installed with s_systErrCue.setHook(); never deleted. The notifications are called in
// whichever thread queues or takes an error, so they must only post.
class SystErrCustom : public zo4882::ISystErrCustom
{
public:
    using Notify = std::function<void()>;

    // beep: the panel's remote-error beep; queued and dequeued: the main window's
    // scpiErrorQueued() and scpiErrorDecued(). Any may be empty.
    SystErrCustom(Notify beep, Notify queued, Notify dequeued);

    void OnQueue(const zo4882::SYST_ERR_INFO &error) override;
    void OnDequeue(const zo4882::SYST_ERR_INFO &error) override;
    void OnEmpty() override;
    // The instrument's text of code (101 to 313); empty for any other number.
    QString getMessage(short code) const override;

private:
    const Notify m_beep;
    const Notify m_queued;
    const Notify m_dequeued;
};
