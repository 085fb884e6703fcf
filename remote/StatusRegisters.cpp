#include "remote/StatusRegisters.h"

#include "remote/ZOSystErrCue.h"

namespace zo4882 {

// All in this one file so that they are built in this order, the queue after the registers it
// drives, before any object of another file can queue an error.
ZO_STB_REGISTER s_stb;
ZO_ESR_REGISTER s_esr(&s_stb);
ZO_STAT_REGISTER s_statOper(&s_stb, ZO_STB_REGISTER::OperationSummary);
ZO_STAT_REGISTER s_statQues(&s_stb, ZO_STB_REGISTER::QuestionableSummary);
ZO_STAT_INST_REGISTER s_statOperInst(&s_statOper);
ZO_STAT_INST_REGISTER s_statQuesInst(&s_statQues);
ZO_STAT_INST_ISUM_REGISTER s_statOperInstIsum[ZO_STAT_INST_ISUM_REGISTER::Count] = {
    { &s_statOper, &s_statOperInst, s_statOperInstIsum, 0 },
    { &s_statOper, &s_statOperInst, s_statOperInstIsum, 1 },
    { &s_statOper, &s_statOperInst, s_statOperInstIsum, 2 },
    { &s_statOper, &s_statOperInst, s_statOperInstIsum, 3 },
};
ZO_STAT_INST_ISUM_REGISTER s_statQuesInstIsum[ZO_STAT_INST_ISUM_REGISTER::Count] = {
    { &s_statQues, &s_statQuesInst, s_statQuesInstIsum, 0 },
    { &s_statQues, &s_statQuesInst, s_statQuesInstIsum, 1 },
    { &s_statQues, &s_statQuesInst, s_statQuesInstIsum, 2 },
    { &s_statQues, &s_statQuesInst, s_statQuesInstIsum, 3 },
};
ZOSystErrCue s_systErrCue(&s_stb, &s_esr);

namespace {

void presetGroupBelow(ZO_STAT_INST_REGISTER &instrument, ZO_STAT_INST_ISUM_REGISTER *isum)
{
    instrument.preset();
    for (int i = 1; i < ZO_STAT_INST_ISUM_REGISTER::Count; ++i)
        isum[i].preset();
}

} // namespace

void init4882()
{
    s_stb.powerOn();
    s_esr.powerOn();
    s_statOper.powerOn();
    s_statQues.powerOn();
    s_statOperInst.powerOn();
    s_statQuesInst.powerOn();
    for (int i = 0; i < ZO_STAT_INST_ISUM_REGISTER::Count; ++i) {
        s_statOperInstIsum[i].powerOn();
        s_statQuesInstIsum[i].powerOn();
    }
}

void statPreset()
{
    s_statOper.preset();
    s_statQues.preset();
    presetGroupBelow(s_statOperInst, s_statOperInstIsum);
    presetGroupBelow(s_statQuesInst, s_statQuesInstIsum);
}

void cls()
{
    ZO_STB_REGISTER::NotifyHold hold;
    s_statOper.clearEvent();
    s_statQues.clearEvent();
    presetGroupBelow(s_statOperInst, s_statOperInstIsum);
    presetGroupBelow(s_statQuesInst, s_statQuesInstIsum);
    s_systErrCue.clearWithStatus();
}

} // namespace zo4882
