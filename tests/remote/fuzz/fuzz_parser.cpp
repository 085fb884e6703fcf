// libFuzzer target: arbitrary bytes go through the message splitter and the parser with the
// test dictionary, and through the parameter conversion with a type word taken from the input.

#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOMessageSplitter.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/FuzzParse.h"
#include "tests/remote/support/ParserTestDictionary.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static parsertest::Sink sink;
    static auto *parser = [] {
        auto *p = new zo4882::ZO4882ParserDelegate(&sink);
        p->registerDictionary(parsertest::dictionary(), zo4882::NODE_SOURCE);
        parsertest::setAbortTarget(p);
        return p;
    }();

    if (size > 8192)
        return 0;
    const unsigned deny = size > 0 ? (data[0] & 1u) : 0u;

    parseEveryMessage(*parser, reinterpret_cast<const char *>(data), int(size), deny);
    zo4882::s_systErrCue.clear();
    parsertest::log().clear();

    if (size >= 4) {
        unsigned type;
        std::memcpy(&type, data, sizeof type);
        short error = 0;
        std::unique_ptr<zo4882::ZOCmdArg> arg(zo4882::ZOCmdArg::argfactory(
            reinterpret_cast<const char *>(data) + 4, int(size - 4), type, &error));
        if (arg) {
            const QByteArray text = arg->toString();
            (void)text;
        } else if (error == 0) {
            __builtin_trap();
        }
    }
    return 0;
}
