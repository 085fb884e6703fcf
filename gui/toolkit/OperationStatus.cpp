#include "gui/toolkit/OperationStatus.h"

#include "gui/toolkit/StatusTiles.h"
#include "resources/PanelResources.h"

#include <iterator>

OperationStatus::OperationStatus(QWidget *parent)
    : QLabel(parent)
{
    PanelResources::init();
}

void OperationStatus::onOperationStatusChange(vek::Status::StatusOperation status)
{
    struct Tile
    {
        const char *text;
        const QString *style;
    };
    // Indexed by the status value 1 .. 7.
    static const Tile tiles[] = {
        { QT_TR_NOOP("C.C"), &CC_HStatus },
        { QT_TR_NOOP("C.R"), &CR_Status },
        { QT_TR_NOOP("C.V"), &CV_HStatus },
        { QT_TR_NOOP("C.P"), &CP_Status },
        { QT_TR_NOOP("OCP"), &CC_HStatus },
        { QT_TR_NOOP("OPP"), &CP_Status },
        { QT_TR_NOOP("UVP"), &CV_HStatus },
    };
    const int index = int(status) - 1;
    if (index < 0 || index >= int(std::size(tiles))) {
        setText(QString());
        setStyleSheet(OFF_Status);
        return;
    }
    setText(tr(tiles[index].text));
    setStyleSheet(*tiles[index].style);
}
