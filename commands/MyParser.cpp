#include "commands/MyParser.h"

#include "engine/Source.h"

MyParser::MyParser(
    const zo4882::IDictIndex *dict, std::function<void()> watchdogProtection, int tickMs)
    : zo4882::ZO4882Parser(dict, zo4882::NODE_SOURCE, tickMs)
{
    setWatchdogHandler(std::move(watchdogProtection));
}

MyParser::~MyParser()
{
    stop();
}

void MyParser::OnShutdown()
{
    zo4882::ZO4882Parser::OnShutdown();
    vek::Source::interruptRequests();
}

short MyParser::OnSettingsConflict(unsigned deniedBits) const
{
    return (deniedBits & DenyAdministrator) ? short(-203) : short(-221);
}
