#pragma once

#include "commands/NotAvailable.h"
#include "remote/ZOCommand.h"

#include <QByteArray>
#include <QList>

#include <functional>

namespace zostd {
class ZOProcessWrapper;
}

// SYSTem: remote state, clock and time zone, factory data and the RS-232 meta-command flag,
// in dictionary order (the password commands are in IFMAIN_SystPass.h).
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_SystCommRlst = IFMAIN_NotAvailable;
using IFMAIN_SystRemX = IFMAIN_NotAvailable;
using IFMAIN_SystFactMac = IFMAIN_NotAvailable;
using IFMAIN_SystFactSer = IFMAIN_NotAvailable;

// SYSTem:COMMunicate:ZOSTD:SAFU[:STATe] b: switches the RS-232 meta-command mode of the
// preferences (not saved; off at every start); the query answers it as 1 or 0. -200 while the
// preferences do not exist.
class IFMAIN_SystCommZostdSafu : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// SYSTem:DATE y,m,d: sets the date of the board's clock, keeping the local time of day (-224 for
// an invalid date, a year outside 2016 to 2037 or a clock that refuses it), then copies the clock
// into the hardware clock in the background. The query answers the local date as three integers.
class IFMAIN_SystDate : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// SYSTem:TIME h,m,s: as SYSTem:DATE for the local time of day (-224 outside 0-23, 0-59, 0-59).
class IFMAIN_SystTime : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};

// SYSTem:TIME:ADJust: starts one clock setting by the NTP program and returns at once; when the
// program reports "Server did not respond", -221 with the detail "SYST:TIME:ADJ" is queued.
// -310 when the program cannot be started, -200 while no launcher is installed.
class IFMAIN_SystTimeAdj : public zo4882::ZOCommand
{
public:
    // Starts the NTP program once (no hardware-clock write, threshold 1 s, the preferences'
    // server) in the caller's thread and returns its process, which deletes itself when the
    // program has ended; null when it could not be started. Installed by whoever builds the
    // network services, before the parser runs; empty to remove it.
    using Launcher = std::function<zostd::ZOProcessWrapper *()>;
    static void setLauncher(Launcher launcher);

    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
};

// SYSTem:TZONe "id": makes a zone of the board's zone database the time zone (case matters;
// -224 for an unknown one, -310 when the board's zone files cannot be changed, the old zone then
// stays). The query answers the program's zone identifier.
class IFMAIN_SystTzon : public zo4882::ZOCommand
{
public:
    using zo4882::ZOCommand::ZOCommand;
    short OnSet(const zo4882::ZO_PARSER_RESULT *result) const override;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;

    // The zone identifiers whose file the board's zone database holds, built on first use.
    static QList<QByteArray> zoneList();
};

// SYSTem:TZONe:CATalog?: the zone list joined by "," as one string, at most CatalogLimit
// characters (cut at an identifier).
class IFMAIN_SystTzonCat : public zo4882::ZOCommand
{
public:
    static constexpr int CatalogLimit = 8191;

    using zo4882::ZOCommand::ZOCommand;
    short OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const override;
};
