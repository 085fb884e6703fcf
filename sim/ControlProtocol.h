#pragma once

#include "sim/Board.h"
#include "sim/BootController.h"
#include "sim/ConfigFlash.h"

#include <QString>
#include <QStringList>

namespace sim {

// The line protocol of the control socket: one command per line, answered by one line
// "OK ..." or "ERR <reason>"; "log" answers with one line per write unit and a final "END".
// Numbers named HEX are hexadecimal with or without "0x"; the others are decimal.
//
//   ping                                  OK
//   source [VOC RINT]                     OK <voc V> <rint ohm>
//   model CODE                            OK
//   units [CODE ...]                      OK            (no codes: empty unit list)
//   firmware MAJOR.MINOR.BUILD            OK
//   fpga MAJOR.MINOR.BUILD                OK
//   caldate YYYY-MM-DD                    OK
//   calvalid 0|1                          OK
//   status [force HEX | clear HEX]        OK <status word> <force mask> <clear mask>  (HEX)
//   cutoff HEX                            OK
//   loadhold on|off                       OK   (the load stays off whatever is commanded)
//   limits                                OK <protection bits HEX> <cut-off byte HEX> <trigger-out pulses>
//   fail N [close|silent]                 OK
//   corruptid on|off                      OK
//   trace [inject N | trigger]            OK <written count>
//   counttime US                          OK <µs per controller count>
//   fullscale voltage|current CODE VALUE  OK
//   measure                               OK <V> <A> <load 0|1> <node HEX> <s> <Ah> <Wh>
//   peek ADDR [N]                         OK <HEX word> ...
//   program                               OK <phase> <node HEX> <loop counter>
//   trigger input|digital2                OK <phase> <node HEX> <loop counter>
//     phase: idle, trigger (start trigger wait), delay, run, wait (step trigger wait), pause
//     digital2 also triggers an acquisition whose sources include DIGITAL2
//   log [clear]                           <µs> <message> <ADDR> <count> <HEX word> ... / END
//   reset                                 OK
//   boot ...                              the maintenance side (sim/BootControl.h)
//   flash ...                             the configuration flash (sim/FlashControl.h)
class ControlProtocol
{
public:
    explicit ControlProtocol(
        Board &board, BootController *boot = nullptr, ConfigFlash *flash = nullptr)
        : m_board(board)
        , m_boot(boot)
        , m_flash(flash)
    { }

    QStringList handle(const QString &line, qint64 nowUs);

    static QString logLine(const Board::LogEntry &entry);

private:
    QString dispatch(const QString &verb, const QStringList &args, qint64 nowUs);
    QString source(const QStringList &args);
    QString units(const QStringList &args);
    QString version(const QStringList &args, quint32 *target);
    QString calDate(const QStringList &args);
    QString status(const QStringList &args);
    QString fail(const QStringList &args);
    QString trace(const QStringList &args, qint64 nowUs);
    QString fullScale(const QStringList &args);
    QString measure();
    QString peek(const QStringList &args);
    QString program();

    Board &m_board;
    BootController *m_boot; // null: no maintenance side
    ConfigFlash *m_flash; // null: no configuration flash
};

} // namespace sim
