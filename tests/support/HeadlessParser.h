#pragma once

#include "commands/DictIndexNative.h"
#include "platform/BoardPath.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserDelegate.h"
#include "sim/BoardRoot.h"
#include "gui/shell/HeadlessInstrument.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <memory>

// The instrument's engine, value objects and parser as the program builds them, on a board root
// seeded from the template but without a board behind it (no service started): enough for the
// panel's tests to send program messages through the instrument's own dictionary and handlers.
// Build it once per process, in the main thread; query() runs a message in the calling thread,
// one thread at a time.
class HeadlessParser
{
public:
    // Empty on success, else what failed.
    QString start()
    {
        if (!m_root.isValid())
            return QStringLiteral("no temporary board root");
        QString error;
        if (!sim::BoardRoot::prepare(
                m_root.path(), QStringLiteral(VEK_SOURCE_DIR "/sim/boardroot"), &error))
            return error;
        platform::BoardPath::setRoot(m_root.path());
        m_instrument = std::make_unique<HeadlessInstrument>(0, 0);
        m_delegate =
            std::make_unique<zo4882::ZO4882ParserDelegate>(zo4882::ZO4882Parser::s_pSelf.load());
        m_delegate->registerDictionary(&m_index, zo4882::NODE_SOURCE);
        return QString();
    }

    // The answer to one program message (without its terminator), empty for none.
    QByteArray query(const QByteArray &message)
    {
        const unsigned deny = 0;
        const int length =
            m_delegate->parse(zo4882::INTF_SOCKET, message.constData(), message.size(), deny);
        return QByteArray(m_delegate->response(), length).trimmed();
    }

private:
    QTemporaryDir m_root;
    const DictIndexNative m_index;
    std::unique_ptr<HeadlessInstrument> m_instrument;
    std::unique_ptr<zo4882::ZO4882ParserDelegate> m_delegate;
};
