// libFuzzer target: arbitrary bytes as program messages through the instrument's own parser
// (its dictionary, deny rules and command handlers) and its engine, with the board link
// absent: a board root seeded from the template, but no simulated board behind the SPI paths.

#include "commands/DictIndexNative.h"
#include "commands/MyParser.h"
#include "platform/BoardPath.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZOSystErrCue.h"
#include "sim/BoardRoot.h"
#include "gui/shell/HeadlessInstrument.h"
#include "tests/remote/support/FuzzParse.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// Without a board no acquisition ever ends: the waits for one (*OPC?, *WAI, FETCh?, READ?,
// MEASure?) are ended every few milliseconds, as a device clear ends them. Made after the
// tracker, so it stops before the tracker goes at exit.
class WaitInterrupter
{
public:
    WaitInterrupter()
        : m_thread([this] {
            while (!m_stop.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                zo4882::s_opc.interruptWaits();
            }
        })
    { }
    ~WaitInterrupter()
    {
        m_stop.store(true);
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

zo4882::ZO4882ParserDelegate *instrumentParser()
{
    static int argc = 1;
    static char name[] = "fuzz_instrument";
    static char *argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    // Whatever a handler stores goes to a board root of its own.
    static QTemporaryDir root;
    QString error;
    if (!sim::BoardRoot::prepare(
            root.path(), QStringLiteral(VEK_SOURCE_DIR "/sim/boardroot"), &error)) {
        std::fprintf(stderr, "fuzz_instrument: %s\n", qPrintable(error));
        std::abort();
    }
    platform::BoardPath::setRoot(root.path());
    // Engine, preferences, value objects and parser, as the program builds them; its listeners
    // take free ports and carry no traffic.
    static HeadlessInstrument instrument(0, 0, 0);
    static const DictIndexNative index;
    // The units run here, through the instrument parser's handlers and deny rules.
    static zo4882::ZO4882ParserDelegate delegate(zo4882::ZO4882Parser::s_pSelf.load());
    delegate.registerDictionary(&index, zo4882::NODE_SOURCE);
    static WaitInterrupter interrupter;
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
