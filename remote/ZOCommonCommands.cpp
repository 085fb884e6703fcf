#include "remote/ZOCommonCommands.h"

#include "remote/IModelInfo.h"
#include "remote/IPreferenceInfo.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOCmdArgRange.h"

#include <QByteArray>
#include <QMutex>

namespace zo4882 {

namespace {

ZOCmdArg *integer(int value)
{
    return new ZOCmdArg(value, ZOCmdArg::KIND_INT);
}

ZOCmdArg *characters(const char *text)
{
    return new ZOCmdArg(text, ZOCmdArg::KIND_CHAR);
}

// The identification text once the model identity exists; empty fields before that, which
// are not kept.
QByteArray identification()
{
    static QMutex mutex; // guards built and text
    static bool built = false;
    static QByteArray text;
    QMutexLocker lock(&mutex);
    if (built)
        return text;
    const zostd::IModelInfo *info = zostd::getInterface_IModelInfo();
    if (!info)
        return QByteArrayLiteral(",,,");
    text =
        QStringLiteral("%1,%2,%3,%4")
            .arg(info->getManufacturer(), info->getModel(), info->getSerial(), info->getRevision())
            .toLatin1();
    built = true;
    return text;
}

} // namespace

short _IFMAIN_Cls::OnSet(const ZO_PARSER_RESULT *) const
{
    cls();
    return 0;
}

short _IFMAIN_Ese::OnSet(const ZO_PARSER_RESULT *result) const
{
    long long value = 0;
    if (const short e = zoRoundedArg(result->args, 0, 255, &value))
        return e;
    s_esr.setEnabler(static_cast<unsigned char>(value));
    if (zostd::IPreferenceInfo *preferences = zostd::getInterface_IPreferenceInfo())
        preferences->setESE(static_cast<unsigned char>(value));
    return 0;
}

short _IFMAIN_Ese::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = integer(s_esr.enabler());
    return 0;
}

short _IFMAIN_Esr::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = integer(s_esr.getEvent());
    return 0;
}

short _IFMAIN_Idn::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = characters(identification().constData());
    return 0;
}

short _IFMAIN_Opc::OnSet(const ZO_PARSER_RESULT *) const
{
    s_opc.armOrLatch();
    return 0;
}

short _IFMAIN_Opc::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    switch (s_opc.waitUntilComplete(OPC_WAITING)) {
    case ZO4882Opc::Deadlocked:
        return -430;
    case ZO4882Opc::Interrupted:
        return -410;
    case ZO4882Opc::Completed:
        break;
    }
    *answer = characters("1");
    return 0;
}

short _IFMAIN_Opt::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = characters("0");
    return 0;
}

short _IFMAIN_Psc::OnSet(const ZO_PARSER_RESULT *result) const
{
    if (!result->args)
        return -109;
    if (zostd::IPreferenceInfo *preferences = zostd::getInterface_IPreferenceInfo())
        preferences->setPSC(result->args->isTrue());
    return 0;
}

short _IFMAIN_Psc::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    const zostd::IPreferenceInfo *preferences = zostd::getInterface_IPreferenceInfo();
    *answer = new ZOCmdArg(preferences && preferences->getPSC() ? 1 : 0, ZOCmdArg::KIND_BOOL);
    return 0;
}

short _IFMAIN_Rcl::OnSet(const ZO_PARSER_RESULT *result) const
{
    return notAvailable(result);
}

short _IFMAIN_Rst::OnSet(const ZO_PARSER_RESULT *result) const
{
    return notAvailable(result);
}

short _IFMAIN_Sav::OnSet(const ZO_PARSER_RESULT *result) const
{
    return notAvailable(result);
}

short _IFMAIN_Sre::OnSet(const ZO_PARSER_RESULT *result) const
{
    long long value = 0;
    if (const short e = zoRoundedArg(result->args, 0, 255, &value))
        return e;
    s_stb.setEnabler(static_cast<unsigned char>(value));
    if (zostd::IPreferenceInfo *preferences = zostd::getInterface_IPreferenceInfo())
        preferences->setSRE(static_cast<unsigned char>(value));
    return 0;
}

short _IFMAIN_Sre::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = integer(s_stb.enabler());
    return 0;
}

short _IFMAIN_Stb::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = integer(s_stb.readStatusByte());
    return 0;
}

short _IFMAIN_Trg::OnSet(const ZO_PARSER_RESULT *result) const
{
    return notAvailable(result);
}

short _IFMAIN_Tst::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    *answer = characters("0");
    return 0;
}

short _IFMAIN_Wai::OnSet(const ZO_PARSER_RESULT *) const
{
    return s_opc.waitUntilComplete(OPC_IDLE) == ZO4882Opc::Deadlocked ? short(-214) : short(0);
}

} // namespace zo4882
