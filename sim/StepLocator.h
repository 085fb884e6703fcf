#pragma once

#include "sim/RegisterMemory.h"

namespace sim {

// Finds the step that the program tree in register memory runs first. A node record
// (8 words at 0x400000 + 32 * slot) holds the loop count in word 0, the data address in word 4
// and the child node addresses in words 5 and 6 (0xFFFFFFFF: none). A data address below
// 0x400000 is the node's own step data record; one at or above it is a node to run as a tree:
// the head names the tree's root, a sub-program step names the called program's head.
// The tree runs in key order, so the first step is the leftmost one.
// This is the one place the active step is looked up; a program executor that follows dwell
// times, loops and trigger waits replaces it as a class of its own.
class StepLocator
{
public:
    struct Step
    {
        bool valid = false;
        quint32 nodeAddress = 0;
        quint32 dataAddress = 0;
        // Step data record words, in controller register units.
        quint32 operate = 0;
        quint32 dcLevel = 0;
        quint32 ccLimit = 0;
        quint32 cvLimit = 0;
        quint32 cpLevel = 0;
        quint32 uvLevel = 0;

        bool loadOn() const { return operate & 0x10000; }
        bool shorted() const { return operate & 0x80000; }
    };

    static constexpr quint32 NoChild = 0xFFFFFFFF;
    static constexpr int PoolSlots = 20000;

    static Step firstStep(const RegisterMemory &memory);
    static bool isNodeAddress(quint32 address);
};

} // namespace sim
