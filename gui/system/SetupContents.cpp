#include "gui/system/SetupContents.h"

#include "gui/toolkit/JsNode.h"

#include <QCoreApplication>

namespace {

using Options = QMap<QString, QVariant>;

QString tr(const char *text)
{
    return QCoreApplication::translate("PictFile", text);
}

Options choices(std::initializer_list<std::pair<const char *, QVariant>> list)
{
    Options options;
    for (const auto &entry : list)
        options.insert(tr(entry.first), entry.second);
    return options;
}

struct Lists
{
    Options onOff = choices({ { "Disable", false }, { "Enable", true } });
    Options mode = choices({ { "CC", 0 }, { "CR", 1 }, { "CV", 2 }, { "CP", 3 }, { "ARB", 4 } });
    Options currentRange = choices({ { "Low", 0 }, { "Medium", 1 }, { "High", 2 } });
    Options voltageRange = choices({ { "Low", 0 }, { "High", 1 } });
    Options protectionAction = choices({ { "Limit", false }, { "Trip", true } });
    // The UVP action is stored the other way round: true is "Limit".
    Options uvpAction = choices({ { "Limit", true }, { "Trip", false } });
    Options uvpState = choices({ { "OFF", false }, { "Trip", true } });
    Options response = choices({ { "Normal", 0 }, { "Fast", 1 } });
    // Seconds, stored as reals.
    Options softStart = choices({ { "OFF", 0.0 },
        { "100μs", 0.0001 },
        { "200μs", 0.0002 },
        { "500μs", 0.0005 },
        { "1ms", 0.001 },
        { "2ms", 0.002 },
        { "5ms", 0.005 },
        { "10ms", 0.01 },
        { "20ms", 0.02 } });
    Options inputLogic = choices({ { "Positive", 0 }, { "Negative", 1 } });
    // The controller's trigger-source bits.
    Options acquireSource = choices({ { "0: Immediate", 256 },
        { "1: BUS", 512 },
        { "2: DIGITAL2", 8192 },
        { "3: MSync", 32768 },
        { "4: TALink", 16384 },
        { "5: Load Off", 1024 } });
    Options integralGate = choices({ { "None", 0 }, { "Load On", 1 }, { "Program Run", 2 } });
    Options autoReset = choices({ { "Manual", false }, { "Auto", true } });
};

JsNode *heading(JsNode *parent, const char *name)
{
    return parent->addChild(tr(name), QString(), JsNode::Heading);
}

JsNode *real(JsNode *parent, const char *name, const char *key)
{
    return parent->addChild(tr(name), QLatin1String(key), JsNode::Real);
}

JsNode *choice(JsNode *parent, const char *name, const char *key, const Options &options)
{
    return parent->addChild(tr(name), QLatin1String(key), JsNode::Choice, options);
}

void opp(JsNode *protection, const Lists &l)
{
    choice(real(protection, "OPP[W]", "pow:prot"), "Action", "pow:prot:stat", l.protectionAction);
}

void ocp(JsNode *protection, const Lists &l)
{
    choice(real(protection, "OCP[A]", "curr:prot"), "Action", "curr:prot:stat", l.protectionAction);
}

void uvp(JsNode *protection, const Lists &l)
{
    JsNode *level = real(protection, "UVP[V]", "volt:prot:low");
    choice(level, "Action", "func:cvop", l.uvpAction);
    choice(level, "State", "volt:prot:stat", l.uvpState);
}

void pulse(JsNode *mode, const char *depthName, const char *depthKey, const Lists &l)
{
    JsNode *state = choice(mode, "Pulse", "curr:puls:stat", l.onOff);
    real(state, depthName, depthKey);
    real(state, "Frequency[Hz]", "curr:puls:freq");
    real(state, "Duty Cycle[%]", "curr:puls:dcyc");
}

void modes(JsNode *source, const SetupCapabilities &model, const Lists &l)
{
    JsNode *cc = heading(source, "CC");
    JsNode *current = real(cc, "Current[A]", "curr");
    if (model.shortFunction)
        choice(current, "Short", "outp:shor", l.onOff);
    real(cc, "Slew Rate[A/μs]", "curr:slew");
    JsNode *protection = heading(cc, "Protection");
    opp(protection, l);
    uvp(protection, l);
    pulse(cc, "Depth[A]", "curr:puls:lev", l);
    if (model.sine) {
        JsNode *sine = choice(cc, "Sine", "curr:sine:stat", l.onOff);
        real(sine, "Amplitude[A]", "curr:sine:lev");
        real(sine, "Frequency[Hz]", "curr:sine:freq");
    }

    JsNode *cr = heading(source, "CR");
    JsNode *conductance = real(cr, "Conductance[S]", "cond");
    if (model.shortFunction)
        choice(conductance, "Short", "outp:shor", l.onOff);
    protection = heading(cr, "Protection");
    opp(protection, l);
    ocp(protection, l);
    uvp(protection, l);
    pulse(cr, "Depth[S]", "cond:puls:lev", l);

    JsNode *cv = heading(source, "CV");
    real(cv, "Voltage[V]", "volt");
    protection = heading(cv, "Protection");
    opp(protection, l);
    ocp(protection, l);

    JsNode *cp = heading(source, "CP");
    real(cp, "Power[W]", "pow");
    protection = heading(cp, "Protection");
    ocp(protection, l);
    uvp(protection, l);

    JsNode *arb = heading(source, "ARB");
    if (!model.arbResponse)
        real(arb, "Slew Rate[A/μs]", "curr:slew");
    protection = heading(arb, "Protection");
    opp(protection, l);
    uvp(protection, l);
}

void sourceMore(JsNode *source, const SetupCapabilities &model, const Lists &l)
{
    JsNode *more = heading(source, "More");
    JsNode *response = heading(more, "Response");
    choice(response, "Voltage", "volt:resp", l.response);
    choice(response, "Conductance", "cond:resp", l.response);
    if (model.arbResponse)
        choice(response, "ARB", "arb:resp", l.response);
    choice(more, "Soft Start[s]", "curr:sst", l.softStart);
    if (!model.cutoff) {
        real(more, "Load Off Timer[s]", "outp:dwel");
    } else {
        JsNode *cutoff = heading(more, "Cutoff");
        real(choice(cutoff, "ETime", "outp:etim:stat", l.onOff), "Time[s]", "outp:etim");
        real(choice(cutoff, "Voltage", "outp:volt:stat", l.onOff), "Lower Level[V]", "outp:volt");
        real(choice(cutoff, "Capacity", "outp:cap:stat", l.onOff), "Upper Level[Ah]", "outp:cap");
        real(choice(cutoff, "Energy", "outp:ener:stat", l.onOff), "Upper Level[Wh]", "outp:ener");
    }
    JsNode *external = heading(more, "External Control");
    choice(external, "CC/CR/CP", "curr:ext:fcon", l.onOff);
    choice(external, "CV", "volt:ext:fcon", l.onOff);
    choice(external, "CC Add", "curr:ext:acon", l.onOff);
    choice(external, "Input Logic", "outp:ext:log", l.inputLogic);
}

void measure(JsNode *root, const Lists &l)
{
    JsNode *measure = heading(root, "Measure");
    JsNode *acquire = heading(measure, "Acquire");
    JsNode *trigger = heading(acquire, "Trigger");
    choice(trigger, "Source", "trig:acq:sour", l.acquireSource);
    trigger->addChild(tr("Count"), QStringLiteral("trig:acq:coun"), JsNode::Integer);
    real(trigger, "Delay[s]", "trig:acq:del");
    choice(trigger, "Interval", "trig:acq:stat", l.onOff);
    real(trigger, "Interval Time[s]", "trig:acq:time");
    real(acquire, "Sense Aperture", "sens:aper");
    JsNode *data = heading(measure, "Data");
    choice(choice(data, "Integral Gate", "data:int:gate", l.integralGate),
        "Reset",
        "data:int:gate:ares",
        l.autoReset);
    JsNode *display = heading(heading(measure, "More"), "Display");
    choice(display, "Elapsed Time", "disp:etim", l.onOff);
    choice(display, "Capacity", "disp:cap", l.onOff);
    choice(display, "Energy", "disp:ener", l.onOff);
}

} // namespace

JsNode *buildSetupContents(const SetupCapabilities &model)
{
    const Lists l;
    auto *root = new JsNode(QStringLiteral("SetupDataInfo"));
    root->addChild(tr("Date Modified"), QStringLiteral("date:modify"), JsNode::Text);
    choice(root, "Output/Input", "outp", l.onOff);
    JsNode *source = heading(root, "Source");
    choice(source, "Function:Mode", "func", l.mode);
    JsNode *range = heading(source, "Range");
    choice(range, "Current", "curr:rang", l.currentRange);
    choice(range, "Voltage", "volt:rang", l.voltageRange);
    modes(source, model, l);
    sourceMore(source, model, l);
    measure(root, l);
    return root;
}
