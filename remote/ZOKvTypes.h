#pragma once

namespace zostd {

// Type tags that have generic command handlers but no value class in this library; the value
// classes of the other tags carry theirs as their static kvtype member.
struct ZOKvTypes
{
    static const char int64_t_engX[];
    static const char StringValue[];
};

} // namespace zostd
