#pragma once

#include "remote/ZOCmdArg.h"

// Argument-type arrays of the instrument dictionary: one word per parameter position, the
// accepted forms in the low byte and the unit class in bits 24..31 (ZOCmdArg::argfactory).
// Inline, so that each array has one address in the whole program: the program-step level
// entries are pointed at one of them by the function mode (DictIndexNative::swapUnitSuffix).
// The table generator reads this file to count the words of each array.
namespace dictargs {

using zo4882::ZOCmdArg;

constexpr unsigned KindNrf = ZOCmdArg::ARG_INT | ZOCmdArg::ARG_REAL; // 0x03
constexpr unsigned KindNrfMinMax = KindNrf | ZOCmdArg::ARG_MINMAX; // 0x13
constexpr unsigned KindBool = ZOCmdArg::ARG_INT | ZOCmdArg::ARG_BOOL; // 0x05
constexpr unsigned KindMinMax = ZOCmdArg::ARG_MINMAX; // 0x10
constexpr unsigned KindChar = ZOCmdArg::ARG_CHAR; // 0x20
constexpr unsigned KindNrfOrChar = KindNrf | ZOCmdArg::ARG_CHAR; // 0x23
constexpr unsigned KindString = ZOCmdArg::ARG_STRING; // 0x40
constexpr unsigned KindBlock = ZOCmdArg::ARG_BLOCK; // 0x80

constexpr unsigned unit(unsigned kinds, unsigned unitClass)
{
    return kinds | ZOCmdArg::unitWord(unitClass);
}

inline constexpr unsigned args_nrf[] = { KindNrf };
inline constexpr unsigned args_nrfp[] = { KindNrfMinMax };
inline constexpr unsigned args_bool[] = { KindBool };
inline constexpr unsigned args_mm[] = { KindMinMax };
inline constexpr unsigned args_char[] = { KindChar };
inline constexpr unsigned args_nrf_or_char[] = { KindNrfOrChar };
inline constexpr unsigned args_string[] = { KindString };
inline constexpr unsigned args_block[] = { KindBlock };

inline constexpr unsigned args_amps[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_AMPERE) };
inline constexpr unsigned args_hertz[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_HERTZ) };
inline constexpr unsigned args_pcts[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_PERCENT) };
inline constexpr unsigned args_secs[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_SECOND) };
inline constexpr unsigned args_siem[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_SIEMENS) };
inline constexpr unsigned args_volts[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_VOLT) };
inline constexpr unsigned args_watts[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_WATT) };
inline constexpr unsigned args_amphours[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_AMPERE_HOUR) };
inline constexpr unsigned args_watthours[] = { unit(KindNrfMinMax, ZOCmdArg::UNIT_WATT_HOUR) };

inline constexpr unsigned args_amps_noMM[] = { unit(KindNrf, ZOCmdArg::UNIT_AMPERE) };
inline constexpr unsigned args_secs_noMM[] = { unit(KindNrf, ZOCmdArg::UNIT_SECOND) };
inline constexpr unsigned args_siem_noMM[] = { unit(KindNrf, ZOCmdArg::UNIT_SIEMENS) };
inline constexpr unsigned args_volts_noMM[] = { unit(KindNrf, ZOCmdArg::UNIT_VOLT) };
inline constexpr unsigned args_watts_noMM[] = { unit(KindNrf, ZOCmdArg::UNIT_WATT) };

// OUTPut state[,on-time]; ARBitrary:MAP index,volts,amps.
inline constexpr unsigned args_bool_secs[] = { KindBool,
    unit(KindNrfMinMax, ZOCmdArg::UNIT_SECOND) };
inline constexpr unsigned args_vimap[] = {
    KindNrf, unit(KindNrf, ZOCmdArg::UNIT_VOLT), unit(KindNrf, ZOCmdArg::UNIT_AMPERE)
};
inline constexpr unsigned args_string_string[] = { KindString, KindString };
inline constexpr unsigned args_char_x10[] = { KindChar,
    KindChar,
    KindChar,
    KindChar,
    KindChar,
    KindChar,
    KindChar,
    KindChar,
    KindChar,
    KindChar };
inline constexpr unsigned args_nrf_x10[] = {
    KindNrf, KindNrf, KindNrf, KindNrf, KindNrf, KindNrf, KindNrf, KindNrf, KindNrf, KindNrf
};

} // namespace dictargs
