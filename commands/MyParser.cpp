#include "commands/MyParser.h"

#include "commands/MeasurementWait.h"
#include "engine/Source.h"
#include "remote/IValue.h"
#include "remote/ZOScpiMessage.h"
#include "remote/ZOValueManager.h"

#include <QByteArray>
#include <QMutexLocker>
#include <QRegularExpression>

namespace {

constexpr unsigned AcquisitionAbortId = 2103;

} // namespace

MyParser::MyParser(
    const zo4882::IDictIndex *dict, std::function<void()> watchdogProtection, int tickMs)
    : zo4882::ZO4882Parser(dict, zo4882::NODE_SOURCE, tickMs)
{
    setWatchdogHandler(std::move(watchdogProtection));
    setArrivalHook([this](const zo4882::SCPIMSG_T &message) {
        onArrival(message);
    });
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

void MyParser::OnMsgPost(const zo4882::SCPIMSG_T *message)
{
    m_running.store(message ? message->responder.get() : nullptr);
    zo4882::ZO4882Parser::OnMsgPost(message);
    m_running.store(nullptr);
}

// In the posting session's thread. The waiting session's own messages keep their order.
void MyParser::onArrival(const zo4882::SCPIMSG_T &message) const
{
    if (!MeasurementWait::anyWaiting() || message.responder.get() == m_running.load())
        return;
    if (!isAbortMessage(message.text(), message.length))
        return;
    zostd::ZOValueManager *registry = zostd::ZOValueManager::s_pSelf;
    zostd::IValue *abort = registry ? registry->find(AcquisitionAbortId) : nullptr;
    if (!abort)
        return;
    QMutexLocker lock(registry->getMutex());
    abort->commit();
}

bool MyParser::isAbortMessage(const char *text, int length)
{
    static const QRegularExpression abort(QStringLiteral("^\\s*:?ABORT?(:ALL|:ACQ(UIRE)?)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    if (!text || length <= 0 || length > 64)
        return false;
    return abort.match(QString::fromLatin1(text, length)).hasMatch();
}
