#pragma once

#include "remote/ZO4882Parser.h"

#include <functional>

// The instrument's parser: the instrument dictionary with the optional SOURce root, the error
// numbers of refused settings, and the communication watchdog tripping the source's watchdog
// protection.
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

protected:
    // Ends, besides the base's waits, a request to the engine the running message waits for.
    void OnShutdown() override;
};
