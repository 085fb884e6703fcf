#include "commands/IFMAIN_Prog.h"
#include "commands/IFMAIN_Trig.h"

#include "commands/AnswerList.h"
#include "commands/ValueObjects.h"
#include "commands/keywords/KeywordsProgram.h"
#include "commands/keywords/KeywordsSource.h"
#include "commands/keywords/KeywordsTrigger.h"
#include "engine/Program.h"
#include "engine/ProgramsModel.h"
#include "remote/ZOCmdArg.h"

#include <QVector>

#include <cstring>
#include <functional>

namespace {

using vek::Program;
using vek::SCPIERR_T;
using zo4882::ZO_PARSER_RESULT;
using zo4882::ZOCmdArg;
using Triggers = KeywordBridge_ImmBusAndMore;

// The checks a command makes before its work, in this order.
enum Check : unsigned {
    Selected = 1, // 304
    NotRunning = 2, // 104
    CcMode = 4, // 106
    CvOption = 8, // 107
};

// The step trigger sources a wait list may hold besides IMM or BUS alone, and the targets a
// generate list may hold, as bit sets over the keyword indexes.
constexpr unsigned WaitSources = 0x547;
constexpr unsigned GenerateTargets = 0xF8;

Program *program()
{
    return valueEngine().program;
}

bool selected(Program *p)
{
    return !p->programsModel()->selectProgramName().isEmpty();
}

short failedCheck(Program *p, unsigned checks)
{
    if ((checks & Selected) && !selected(p))
        return 304;
    if ((checks & NotRunning) && p->transientState() != 0)
        return 104;
    if ((checks & CcMode) && vek::Source::m_functionMode != KeywordBridge_CcCrCvCpArb::CC)
        return 106;
    if ((checks & CvOption) && !vek::Source::m_functionModeCvOption)
        return 107;
    return 0;
}

// Runs work on the program object after the checks; -200 without a program object.
short run(
    const ZO_PARSER_RESULT *result, unsigned checks, const std::function<short(Program *)> &work)
{
    Program *p = program();
    if (!p)
        return zo4882::notAvailable(result);
    if (const short e = failedCheck(p, checks))
        return e;
    return work(p);
}

// A setting made through the handshake: the request's own result.
short handshake(const ZO_PARSER_RESULT *result,
    unsigned checks,
    const std::function<SCPIERR_T(Program *)> &work)
{
    return run(result, checks, [&work](Program *p) {
        return short(p->request([p, &work] {
            return work(p);
        }));
    });
}

// A setting queued to the program object: 0 once it is sent.
short queued(
    const ZO_PARSER_RESULT *result, unsigned checks, const std::function<void(Program *)> &send)
{
    return run(result, checks, [&send](Program *p) {
        send(p);
        return short(0);
    });
}

// A program-wide query: the getter's value into a cleared one; the getter's result is not used.
template <class T>
short programQuery(const ZO_PARSER_RESULT *result,
    ZOCmdArg **answer,
    SCPIERR_T (Program::*get)(T *),
    const std::function<ZOCmdArg *(T)> &item)
{
    return run(result, Selected, [&](Program *p) {
        T value {};
        (p->*get)(&value);
        *answer = item(value);
        return short(0);
    });
}

// A step or last-step query: a getter error is returned without an answer.
template <class T>
short checkedQuery(const ZO_PARSER_RESULT *result,
    ZOCmdArg **answer,
    const std::function<SCPIERR_T(Program *, T *)> &get,
    const std::function<ZOCmdArg *(T)> &item)
{
    return run(result, Selected, [&](Program *p) {
        T value {};
        if (const SCPIERR_T e = get(p, &value))
            return short(e);
        *answer = item(value);
        return short(0);
    });
}

ZOCmdArg *real(double v)
{
    return new ZOCmdArg(v, ZOCmdArg::KIND_REAL);
}

ZOCmdArg *boolean(bool v)
{
    return new ZOCmdArg(v ? 1 : 0, ZOCmdArg::KIND_BOOL);
}

ZOCmdArg *word(const std::string &text)
{
    return new ZOCmdArg(text.c_str(), ZOCmdArg::KIND_CHAR);
}

ZOCmdArg *limitOrTrip(bool trip)
{
    return word(KeywordBridge_LimitTrip().getMappedKeyword(trip ? 1 : 0));
}

const char *text(const ZOCmdArg *arg)
{
    const char *t = arg ? static_cast<const char *>(*arg) : nullptr;
    return t ? t : "";
}

double number(const ZO_PARSER_RESULT *result)
{
    return result->args ? double(*result->args) : 0.0;
}

bool flag(const ZO_PARSER_RESULT *result)
{
    return result->args && result->args->isTrue();
}

QString name(const ZO_PARSER_RESULT *result)
{
    return QString::fromUtf8(text(result->args));
}

// Programs are named remotely as the panel shows them ("A", a sub-program "A/B"); the programs
// model knows them by path ("/A", "/A/B").
QString pathOf(const QString &name)
{
    return name.isEmpty() || name.startsWith(QLatin1Char('/')) ? name : QLatin1Char('/') + name;
}

QByteArray nameOf(const QString &path)
{
    return (path.startsWith(QLatin1Char('/')) ? path.mid(1) : path).toUtf8();
}

unsigned step(const ZO_PARSER_RESULT *result)
{
    return unsigned(result->suffix);
}

// The keyword index of the only argument in bridge, -1 when it is none of its words.
template <class Bridge> int keyword(const ZO_PARSER_RESULT *result)
{
    return Bridge().getMappedValue(text(result->args));
}

// Collects the trigger keywords of the arguments in order: -224 for an unknown word, 202 for
// one given twice; *seen gets their bit set.
short triggerList(const ZO_PARSER_RESULT *result, QVector<uint8_t> *codes, unsigned *seen)
{
    const Triggers bridge;
    *seen = 0;
    for (const ZOCmdArg *arg = result->args; arg; arg = arg->next()) {
        const int k = bridge.getMappedValue(text(arg));
        if (k < 0)
            return -224;
        if (*seen & (1u << k))
            return 202;
        *seen |= 1u << k;
        codes->append(uint8_t(k));
    }
    return 0;
}

ZOCmdArg *triggerItems(const QVector<uint8_t> &codes)
{
    const Triggers bridge;
    ZOCmdArg *items = nullptr;
    for (uint8_t code : codes) {
        ZOCmdArg *item = word(bridge.getMappedKeyword(code));
        if (items)
            *items << item;
        else
            items = item;
    }
    return items;
}

using EventGet = SCPIERR_T (Program::*)(unsigned, uint8_t *);
using EventSet = SCPIERR_T (Program::*)(unsigned, uint8_t);

// The event a STEP<n>:EVENt header names, searched as ":OC", ":OP", ":UV"; false for none.
bool eventOf(const ZO_PARSER_RESULT *result, EventGet *get, EventSet *set)
{
    static const struct
    {
        const char *node;
        EventGet get;
        EventSet set;
    } events[] = {
        { ":OC", &Program::getStepEventOc, &Program::setStepEventOc },
        { ":OP", &Program::getStepEventOp, &Program::setStepEventOp },
        { ":UV", &Program::getStepEventUv, &Program::setStepEventUv },
    };
    for (const auto &e : events) {
        if (std::strstr(result->header, e.node)) {
            *get = e.get;
            *set = e.set;
            return true;
        }
    }
    return false;
}

} // namespace

short IFMAIN_ProgCre::OnSet(const ZO_PARSER_RESULT *result) const
{
    const QString n = pathOf(name(result));
    return handshake(result, 0, [&n](Program *p) {
        return p->doCreate(n);
    });
}

short IFMAIN_ProgDel::OnSet(const ZO_PARSER_RESULT *result) const
{
    const QString n = pathOf(name(result));
    return handshake(result, 0, [&n](Program *p) {
        return p->doDelete(n);
    });
}

short IFMAIN_ProgList::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, 0, [answer](Program *p) {
        const QStringList names = p->list();
        if (names.isEmpty()) {
            *answer = new ZOCmdArg("", ZOCmdArg::KIND_STRING);
            return short(0);
        }
        QList<QByteArray> quoted;
        for (const QString &n : names)
            quoted << '"' + nameOf(n) + '"';
        *answer = new ZOCmdArg(joinWithinLimit(quoted, ListLimit).constData(), ZOCmdArg::KIND_CHAR);
        return short(0);
    });
}

short IFMAIN_ProgSel::OnSet(const ZO_PARSER_RESULT *result) const
{
    const QString n = pathOf(name(result));
    return handshake(result, 0, [&n](Program *p) {
        return p->setSelected(n);
    });
}

short IFMAIN_ProgSel::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, 0, [answer](Program *p) {
        const QByteArray n = nameOf(p->programsModel()->selectProgramName());
        *answer = new ZOCmdArg(n.constData(), ZOCmdArg::KIND_STRING);
        return short(0);
    });
}

short IFMAIN_ProgRen::OnSet(const ZO_PARSER_RESULT *result) const
{
    const QString n = name(result);
    return handshake(result, Selected | NotRunning, [&n](Program *p) {
        return p->rename(n);
    });
}

short IFMAIN_ProgLoop::OnSet(const ZO_PARSER_RESULT *result) const
{
    unsigned loop = 0;
    if (result->args && result->args->kind() == ZOCmdArg::KIND_CHAR) {
        const QByteArray w = text(result->args);
        if (w != "INF" && w != "INFINITE" && w != "INFINITY")
            return run(result, Selected | NotRunning, [](Program *) {
                return short(-224);
            });
    } else {
        const double n = number(result);
        if (!(n >= 0.5))
            return run(result, Selected | NotRunning, [](Program *) {
                return short(-222);
            });
        loop = n >= 4e9 ? 4000000000u : unsigned(int(*result->args));
    }
    return handshake(result, Selected | NotRunning, [loop](Program *p) {
        return p->setLoop(loop);
    });
}

short IFMAIN_ProgLoop::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, 0, [answer](Program *p) {
        if (!selected(p)) {
            *answer = new ZOCmdArg(0, ZOCmdArg::KIND_INT);
            return short(0);
        }
        unsigned loop = 0;
        p->getLoop(&loop);
        *answer = loop == 0 ? new ZOCmdArg("INF", ZOCmdArg::KIND_CHAR)
                            : new ZOCmdArg(double(loop), ZOCmdArg::KIND_INT);
        return short(0);
    });
}

short IFMAIN_ProgSave::OnSet(const ZO_PARSER_RESULT *result) const
{
    return queued(result, Selected, [](Program *p) {
        emit p->saved();
    });
}

short IFMAIN_ProgChain::OnSet(const ZO_PARSER_RESULT *) const
{
    return -102;
}

short IFMAIN_ProgChain::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **) const
{
    return -102;
}

short IFMAIN_ProgCurrProtAction::OnSet(const ZO_PARSER_RESULT *result) const
{
    const int k = keyword<KeywordBridge_LimitTrip>(result);
    return run(result, Selected | NotRunning, [k](Program *p) {
        if (k < 0)
            return short(-224);
        emit p->currentProtectionStateChanged(k == KeywordBridge_LimitTrip::TRIP);
        return short(0);
    });
}

short IFMAIN_ProgCurrProtAction::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<bool>(result, answer, &Program::getCurrentProtectionTripState, limitOrTrip);
}

short IFMAIN_ProgCurrProtLev::OnSet(const ZO_PARSER_RESULT *result) const
{
    const double x = number(result);
    return queued(result, Selected | NotRunning, [x](Program *p) {
        emit p->currentProtectionLevelChanged(x);
    });
}

short IFMAIN_ProgCurrProtLev::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<double>(result, answer, &Program::getCurrentProtectionLevel, real);
}

short IFMAIN_ProgCurrProtStat::OnSet(const ZO_PARSER_RESULT *result) const
{
    const bool b = flag(result);
    return queued(result, Selected | NotRunning, [b](Program *p) {
        emit p->currentProtectionStateChanged(b);
    });
}

short IFMAIN_ProgCurrProtStat::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<bool>(result, answer, &Program::getCurrentProtectionTripState, boolean);
}

short IFMAIN_ProgPowProtAction::OnSet(const ZO_PARSER_RESULT *result) const
{
    const int k = keyword<KeywordBridge_LimitTrip>(result);
    return run(result, Selected | NotRunning, [k](Program *p) {
        if (k < 0)
            return short(-224);
        emit p->powerProtectionStateChanged(k == KeywordBridge_LimitTrip::TRIP);
        return short(0);
    });
}

short IFMAIN_ProgPowProtAction::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<bool>(result, answer, &Program::getPowerProtectionTripState, limitOrTrip);
}

short IFMAIN_ProgPowProtLev::OnSet(const ZO_PARSER_RESULT *result) const
{
    const double x = number(result);
    return queued(result, Selected | NotRunning, [x](Program *p) {
        emit p->powerProtectionLevelChanged(x);
    });
}

short IFMAIN_ProgPowProtLev::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<double>(result, answer, &Program::getPowerProtectionLevel, real);
}

short IFMAIN_ProgPowProtStat::OnSet(const ZO_PARSER_RESULT *result) const
{
    const bool b = flag(result);
    return queued(result, Selected | NotRunning, [b](Program *p) {
        emit p->powerProtectionStateChanged(b);
    });
}

short IFMAIN_ProgPowProtStat::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<bool>(result, answer, &Program::getPowerProtectionTripState, boolean);
}

short IFMAIN_ProgVoltProtAction::OnSet(const ZO_PARSER_RESULT *result) const
{
    const int k = keyword<KeywordBridge_LimitTrip>(result);
    return run(result, Selected | NotRunning, [k](Program *p) {
        if (k < 0)
            return short(-224);
        emit p->voltageProtectionTripStateChanged(k == KeywordBridge_LimitTrip::TRIP);
        return short(0);
    });
}

short IFMAIN_ProgVoltProtAction::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<bool>(result, answer, &Program::getVoltageProtectionTripState, limitOrTrip);
}

short IFMAIN_ProgVoltProtLevLow::OnSet(const ZO_PARSER_RESULT *result) const
{
    const double x = number(result);
    return queued(result, Selected | NotRunning, [x](Program *p) {
        emit p->voltageProtectionLevelChanged(x);
    });
}

short IFMAIN_ProgVoltProtLevLow::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<double>(result, answer, &Program::getVoltageProtectionLevel, real);
}

short IFMAIN_ProgVoltProtStat::OnSet(const ZO_PARSER_RESULT *result) const
{
    const bool b = flag(result);
    return queued(result, Selected | NotRunning, [b](Program *p) {
        emit p->voltageProtectionStateChanged(b);
    });
}

short IFMAIN_ProgVoltProtStat::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<bool>(result, answer, &Program::getVoltageProtectionState, boolean);
}

short IFMAIN_ProgCvopLev::OnSet(const ZO_PARSER_RESULT *result) const
{
    const double x = number(result);
    return queued(result, Selected | NotRunning | CvOption, [x](Program *p) {
        emit p->voltageLevelChanged(x);
    });
}

short IFMAIN_ProgCvopLev::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return programQuery<double>(result, answer, &Program::getVoltageLevel, real);
}

short IFMAIN_ProgStepsCoun::OnSet(const ZO_PARSER_RESULT *result) const
{
    const int n = result->args ? int(*result->args) : 0;
    return handshake(result, Selected | NotRunning, [n](Program *p) {
        return p->setStepsCount(n);
    });
}

short IFMAIN_ProgStepsCoun::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, 0, [answer](Program *p) {
        int count = 0;
        if (selected(p))
            p->getStepsCount(&count);
        *answer = new ZOCmdArg(count, ZOCmdArg::KIND_INT);
        return short(0);
    });
}

short IFMAIN_ProgStepDwel::OnSet(const ZO_PARSER_RESULT *result) const
{
    const unsigned s = step(result);
    const double x = number(result);
    return handshake(result, Selected, [s, x](Program *p) {
        return p->setStepDwell(s, x);
    });
}

short IFMAIN_ProgStepDwel::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const unsigned s = step(result);
    return checkedQuery<double>(
        result,
        answer,
        [s](Program *p, double *v) {
            return p->getStepDwell(s, v);
        },
        real);
}

short IFMAIN_ProgStepLev::OnSet(const ZO_PARSER_RESULT *result) const
{
    const unsigned s = step(result);
    const double x = number(result);
    return handshake(result, Selected, [s, x](Program *p) {
        return p->setStepLevel(s, x);
    });
}

short IFMAIN_ProgStepLev::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const unsigned s = step(result);
    return checkedQuery<double>(
        result,
        answer,
        [s](Program *p, double *v) {
            return p->getStepLevel(s, v);
        },
        real);
}

short IFMAIN_ProgStepSlew::OnSet(const ZO_PARSER_RESULT *result) const
{
    const unsigned s = step(result);
    const double x = number(result);
    return handshake(result, Selected | CcMode, [s, x](Program *p) {
        return p->setStepSlewRate(s, x);
    });
}

short IFMAIN_ProgStepSlew::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const unsigned s = step(result);
    return checkedQuery<double>(
        result,
        answer,
        [s](Program *p, double *v) {
            return p->getStepSlewRate(s, v);
        },
        real);
}

short IFMAIN_ProgStepOutp::OnSet(const ZO_PARSER_RESULT *result) const
{
    const unsigned s = step(result);
    const bool b = flag(result);
    return handshake(result, Selected, [s, b](Program *p) {
        return p->setStepOutput(s, b);
    });
}

short IFMAIN_ProgStepOutp::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const unsigned s = step(result);
    return checkedQuery<bool>(
        result,
        answer,
        [s](Program *p, bool *v) {
            return p->getStepOutput(s, v);
        },
        boolean);
}

short IFMAIN_ProgStepTran::OnSet(const ZO_PARSER_RESULT *result) const
{
    const unsigned s = step(result);
    const int k = keyword<KeywordBridge_ImmRamp>(result);
    if (k < 0)
        return run(result, Selected, [](Program *) {
            return short(-224);
        });
    return handshake(result, Selected, [s, k](Program *p) {
        return p->setStepTransient(s, k == KeywordBridge_ImmRamp::RAMP);
    });
}

short IFMAIN_ProgStepTran::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const unsigned s = step(result);
    return checkedQuery<bool>(
        result,
        answer,
        [s](Program *p, bool *v) {
            return p->getStepTransient(s, v);
        },
        [](bool ramp) {
            return word(KeywordBridge_ImmRamp().getMappedKeyword(ramp ? 1 : 0));
        });
}

short IFMAIN_ProgStepTranStar::OnSet(const ZO_PARSER_RESULT *result) const
{
    return run(result, Selected, [](Program *) {
        return short(0);
    });
}

short IFMAIN_ProgStepTranStar::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, Selected, [answer](Program *) {
        *answer = real(0.0);
        return short(0);
    });
}

short IFMAIN_ProgStepTrigWait::OnSet(const ZO_PARSER_RESULT *result) const
{
    const unsigned s = step(result);
    QVector<uint8_t> codes;
    unsigned seen = 0;
    const short listError = triggerList(result, &codes, &seen);
    return run(result, Selected, [&](Program *p) {
        if (listError)
            return listError;
        const bool several = codes.size() > 1;
        if ((seen & (1u << Triggers::IMM)) && several)
            return short(204);
        if ((seen & (1u << Triggers::BUS)) && several)
            return short(205);
        if (seen & ~WaitSources)
            return short(-224);
        return short(p->request([p, s, &codes] {
            return p->setStepTrigWait(s, codes);
        }));
    });
}

short IFMAIN_ProgStepTrigWait::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const unsigned s = step(result);
    return checkedQuery<QVector<uint8_t>>(
        result,
        answer,
        [s](Program *p, QVector<uint8_t> *v) {
            return p->getStepTrigWait(s, v);
        },
        triggerItems);
}

short IFMAIN_ProgStepTrigGen::OnSet(const ZO_PARSER_RESULT *result) const
{
    const unsigned s = step(result);
    QVector<uint8_t> codes;
    unsigned seen = 0;
    short listError = 0;
    if (std::strcmp(text(result->args), "NONE") != 0) {
        listError = triggerList(result, &codes, &seen);
        if (!listError && (seen & ~GenerateTargets))
            listError = -224;
    }
    return run(result, Selected, [&](Program *p) {
        if (listError)
            return listError;
        return short(p->request([p, s, &codes] {
            return p->setStepTrigGen(s, codes);
        }));
    });
}

short IFMAIN_ProgStepTrigGen::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const unsigned s = step(result);
    return checkedQuery<QVector<uint8_t>>(
        result,
        answer,
        [s](Program *p, QVector<uint8_t> *v) {
            return p->getStepTrigGen(s, v);
        },
        [](QVector<uint8_t> codes) {
            return codes.isEmpty() ? word("NONE") : triggerItems(codes);
        });
}

short IFMAIN_ProgStepEvenAny::OnSet(const ZO_PARSER_RESULT *result) const
{
    const unsigned s = step(result);
    const int k = keyword<KeywordBridge_DefNextEnd>(result);
    return run(result, Selected, [&](Program *p) {
        EventGet get = nullptr;
        EventSet set = nullptr;
        if (!eventOf(result, &get, &set))
            return short(-113);
        if (k < 0)
            return short(-224);
        return short((p->*set)(s, uint8_t(k)));
    });
}

short IFMAIN_ProgStepEvenAny::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const unsigned s = step(result);
    return run(result, Selected, [&](Program *p) {
        EventGet get = nullptr;
        EventSet set = nullptr;
        if (!eventOf(result, &get, &set))
            return short(-113);
        uint8_t event = 0;
        if (const SCPIERR_T e = (p->*get)(s, &event))
            return short(e);
        *answer = word(KeywordBridge_DefNextEnd().getMappedKeyword(event));
        return short(0);
    });
}

short IFMAIN_ProgLastStat::OnSet(const ZO_PARSER_RESULT *result) const
{
    const bool b = flag(result);
    return queued(result, Selected | NotRunning, [b](Program *p) {
        emit p->laststepStateChanged(b);
    });
}

short IFMAIN_ProgLastStat::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return checkedQuery<bool>(
        result,
        answer,
        [](Program *p, bool *v) {
            return p->getLaststepState(v);
        },
        boolean);
}

short IFMAIN_ProgLastOutp::OnSet(const ZO_PARSER_RESULT *result) const
{
    const bool b = flag(result);
    return handshake(result, Selected, [b](Program *p) {
        return p->setLaststepOutput(b);
    });
}

short IFMAIN_ProgLastOutp::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return checkedQuery<bool>(
        result,
        answer,
        [](Program *p, bool *v) {
            return p->getLaststepOutput(v);
        },
        boolean);
}

short IFMAIN_ProgLastLev::OnSet(const ZO_PARSER_RESULT *result) const
{
    const double x = number(result);
    return handshake(result, Selected, [x](Program *p) {
        return p->setLaststepLevel(x);
    });
}

short IFMAIN_ProgLastLev::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return checkedQuery<double>(
        result,
        answer,
        [](Program *p, double *v) {
            return p->getLaststepLevel(v);
        },
        real);
}

short IFMAIN_ProgLastSlew::OnSet(const ZO_PARSER_RESULT *result) const
{
    const double x = number(result);
    return handshake(result, Selected | CcMode, [x](Program *p) {
        return p->setLaststepSlewrate(x);
    });
}

short IFMAIN_ProgLastSlew::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return checkedQuery<double>(
        result,
        answer,
        [](Program *p, double *v) {
            return p->getLaststepSlewrate(v);
        },
        real);
}

short IFMAIN_TrigTranExec::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return run(result, 0, [answer](Program *p) {
        using State = KeywordBridge_IdleWtgRun;
        State::values state = State::IDLE;
        switch (p->transientState()) {
        case Program::WaitingForTrigger:
            state = State::WTG;
            break;
        case Program::Suspended:
            state = State::SUSP;
            break;
        case Program::Running:
            state = State::RUN;
            break;
        case Program::Idle:
            if (vek::Source::m_pulseState)
                state = State::PULS;
            else if (vek::Source::m_sineState)
                state = State::SINE;
            break;
        default:
            break;
        }
        *answer = ZOCmdArg::linkChains(3,
            word(State().getMappedKeyword(state)),
            new ZOCmdArg(int(p->transientStep()), ZOCmdArg::KIND_INT),
            new ZOCmdArg(int(p->transientLoop()), ZOCmdArg::KIND_INT));
        return short(0);
    });
}
