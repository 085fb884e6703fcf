// libFuzzer target: arbitrary bytes as program messages through the instrument's own parser
// (its dictionary, deny rules and command handlers) with the engine absent, as at start-up
// before the board link is up.

#include "commands/DictIndexNative.h"
#include "commands/MyParser.h"
#include "commands/ValueObjects.h"
#include "platform/BoardPath.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/FuzzParse.h"

#include <QTemporaryDir>

#include <cstdint>

namespace {

zo4882::ZO4882ParserDelegate *instrumentParser()
{
    // Whatever a handler stores goes to a board root of its own.
    static QTemporaryDir root;
    platform::BoardPath::setRoot(root.path());
    createValueObjects(ValueEngine {});
    static const DictIndexNative index;
    // Its thread stays idle: the units run here, through its handlers and deny rules.
    static MyParser parser(&index, {});
    static zo4882::ZO4882ParserDelegate delegate(&parser);
    delegate.registerDictionary(&index, zo4882::NODE_SOURCE);
    return &delegate;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static zo4882::ZO4882ParserDelegate *parser = instrumentParser();
    if (size == 0 || size > 8192)
        return 0;
    const unsigned deny = (data[0] & 1u) ? MyParser::DenyAdministrator : 0u;

    parseEveryMessage(*parser, reinterpret_cast<const char *>(data) + 1, int(size - 1), deny);
    // Every queued error reads back as one bounded line.
    while (!zo4882::s_systErrCue.isEmpty()) {
        const QString text = zo4882::s_systErrCue.decue().getFullErrorMessage();
        if (text.size() > zo4882::SYST_ERR_INFO::MaxFullLength || text.contains(QLatin1Char('\n')))
            __builtin_trap();
    }
    return 0;
}
