#include "gui/source/FuncSourLevelBasic.h"

#include "gui/toolkit/FuncButton.h"

#include <QLayout>

namespace {

FuncButton *key(QWidget *parent, const char *name, const QString &text)
{
    auto *button = new FuncButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    parent->layout()->addWidget(button);
    return button;
}

} // namespace

FuncSourLevelBasic::FuncSourLevelBasic(QWidget *parent)
    : FuncWidget(parent)
    , StandIn(this, "FuncSourLevelBasic")
{
    slewRate = key(this, "slewRate", tr("Slew Rate"));
    opp = key(this, "opp", tr("OPP"));
    uvp = key(this, "uvp", tr("UVP"));
    for (FuncButton *button : { slewRate, opp, uvp })
        connect(button, &FuncButton::clicked, this, [this, button] {
            record(QStringLiteral("clicked ") + button->objectName());
            refuse(this);
        });
}

void FuncSourLevelBasic::onCcModeUiChange()
{
    record(QStringLiteral("onCcModeUiChange"));
}

void FuncSourLevelBasic::onCrModeUiChange()
{
    record(QStringLiteral("onCrModeUiChange"));
}

void FuncSourLevelBasic::onCvModeUiChange()
{
    record(QStringLiteral("onCvModeUiChange"));
}

void FuncSourLevelBasic::onCpModeUiChange()
{
    record(QStringLiteral("onCpModeUiChange"));
}

void FuncSourLevelBasic::onArbModeUiChange()
{
    record(QStringLiteral("onArbModeUiChange"));
}
