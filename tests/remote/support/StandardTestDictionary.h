#pragma once

namespace zo4882 {
class IDictIndex;
} // namespace zo4882

// The library's standard rows (common commands, STATus, SYSTem:ERRor and :VERSion) plus a few
// for the tests: "CURR n" (0 to 1, else -222), "ADMIN" (deny class 1) and the instrument and
// instrument-summary STATus registers.
namespace standardtest {

const zo4882::IDictIndex *dictionary();

} // namespace standardtest
