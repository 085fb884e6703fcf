#pragma once

#include <QSemaphore>
#include <QStringList>

namespace zo4882 {
class IDictIndex;
} // namespace zo4882

// The library's standard rows (common commands, STATus, SYSTem:ERRor and :VERSion) plus a few
// for the tests: "CURR n" (0 to 1, else -222), "ADMIN" (deny class 1) and the instrument and
// instrument-summary STATus registers; "LOG n" records n in log(), "HOLD" blocks the parser
// thread until hold() lets it go.
namespace standardtest {

const zo4882::IDictIndex *dictionary();
// What LOG recorded, in order; any thread.
QStringList takeLog();
// HOLD releases entered once it runs and waits (at most 10 s) for release.
struct Hold
{
    QSemaphore entered;
    QSemaphore release;
};
Hold &hold();

} // namespace standardtest
