#pragma once

#include <QtGlobal>

// Types shared by the engine objects and their callers.
namespace vek {

// An SCPI error number; 0 is success.
using SCPIERR_T = qint16;

// How a setter treats its value. IfChanged: an unchanged value is not sent again and a value
// outside the limits is refused with -222. Always: sent even when unchanged, clamped to the
// violated limit. StepsOnly: clamped, the controller's program steps are written, the stored
// setting stays (re-applying stored settings after a mode or range change).
enum updateTiming { UpdateIfChanged = 0, UpdateAlways = 1, UpdateStepsOnly = 2 };

// Error numbers the engine returns (texts in the error queue's tables).
namespace Error {
constexpr SCPIERR_T None = 0;
constexpr SCPIERR_T LoadOn = 102;
constexpr SCPIERR_T OutputShort = 103;
constexpr SCPIERR_T ProgramRunning = 104;
constexpr SCPIERR_T PulseRunning = 105;
constexpr SCPIERR_T InvalidFunctionMode = 106;
constexpr SCPIERR_T MSyncNotEstablished = 110;
constexpr SCPIERR_T ExternalControl = 111;
constexpr SCPIERR_T SineRunning = 113;
constexpr SCPIERR_T ImmediateInList = 204;
constexpr SCPIERR_T IllegalProgramName = 301;
constexpr SCPIERR_T ProgramNameExists = 302;
constexpr SCPIERR_T ProgramNotFound = 303;
constexpr SCPIERR_T ProgramNotSelected = 304;
constexpr SCPIERR_T SelectedProgramDelete = 305;
constexpr SCPIERR_T StepOutOfRange = 307;
constexpr SCPIERR_T SubProgramStep = 312;
constexpr SCPIERR_T CreateDuringSelection = 313;
constexpr SCPIERR_T SyntaxError = -102;
constexpr SCPIERR_T UndefinedHeader = -113;
// A request to another thread that the parser's shut-down ended before it was answered.
constexpr SCPIERR_T ExecutionError = -200;
constexpr SCPIERR_T TriggerIgnored = -211;
constexpr SCPIERR_T InitIgnored = -213;
constexpr SCPIERR_T SettingsConflict = -221;
constexpr SCPIERR_T DataOutOfRange = -222;
constexpr SCPIERR_T IllegalParameter = -224;
constexpr SCPIERR_T SystemError = -310;
constexpr SCPIERR_T MemoryError = -311;
} // namespace Error

} // namespace vek
