#pragma once

#include "remote/ZO4882Parser.h"

#include <atomic>
#include <functional>

// The instrument's parser: the instrument dictionary with the optional SOURce root, the error
// numbers of refused settings, and the communication watchdog tripping the source's watchdog
// protection. While a measurement query waits for the acquisition, the parser runs nothing
// else; a message of another session that is an acquisition abort alone (ABORt, ABORt:ALL,
// ABORt:ACQuire) aborts the acquisition on arrival, which ends the wait, and still runs in its
// turn.
class MyParser : public zo4882::ZO4882Parser
{
    Q_OBJECT

public:
    // Deny flag of the administrator-only settings (calibration, sanitize, factory data).
    static constexpr unsigned DenyAdministrator = 0x1;

    // watchdogProtection: the source's setWatchdogProtection(), called in the parser thread once
    // when no program message arrived for the watchdog period; may be empty.
    MyParser(const zo4882::IDictIndex *dict,
        std::function<void()> watchdogProtection,
        int tickMs = 1000);
    // Stops the parser thread while this object is whole: the thread calls its overrides.
    ~MyParser() override;

    // -203 "Command protected" for the administrator flag, otherwise -221 "Settings conflict".
    short OnSettingsConflict(unsigned deniedBits) const override;

    // Whether a message is an acquisition abort alone.
    static bool isAbortMessage(const char *text, int length);

protected:
    // Ends, besides the base's waits, a request to the engine the running message waits for.
    void OnShutdown() override;

protected Q_SLOTS:
    // Notes the session of the running message.
    void OnMsgPost(const zo4882::SCPIMSG_T *message) override;

private:
    void onArrival(const zo4882::SCPIMSG_T &message) const;

    // The responder of the message running now (null between messages); only compared.
    std::atomic<const void *> m_running { nullptr };
};
