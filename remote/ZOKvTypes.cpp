#include "remote/ZOKvTypes.h"

namespace zostd {

const char ZOKvTypes::int64_t_engX[] = "int64_t_engX";
const char ZOKvTypes::StringValue[] = "StringValue";

} // namespace zostd
