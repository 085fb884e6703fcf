#include "gui/source/FuncSourMemory.h"

FuncSourMemory::FuncSourMemory(QWidget *parent)
    : FuncWidget(parent)
    , StandIn(this, "FuncSourMemory")
{ }

void FuncSourMemory::setKeyLockMode()
{
    record(QStringLiteral("setKeyLockMode"));
}

void FuncSourMemory::clearKeyLockMode()
{
    record(QStringLiteral("clearKeyLockMode"));
}
