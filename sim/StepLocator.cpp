#include "sim/StepLocator.h"

namespace sim {

bool StepLocator::isNodeAddress(quint32 address)
{
    const quint32 base = RegisterMemory::NodeBase;
    return address >= base && address < base + 32u * PoolSlots && (address - base) % 32 == 0;
}

StepLocator::Step StepLocator::firstStep(const RegisterMemory &memory)
{
    Step step;
    quint32 node = memory.programRoot();
    // Garbage in memory may link nodes in a circle; a real tree is far shallower than this.
    for (int hops = 0; hops < 4096 && isNodeAddress(node); ++hops) {
        const quint32 left = memory.word(node + 20);
        if (isNodeAddress(left)) {
            node = left;
            continue;
        }
        const quint32 data = memory.word(node + 16);
        if (data >= RegisterMemory::NodeBase) {
            node = data;
            continue;
        }
        step.valid = true;
        step.nodeAddress = node;
        step.dataAddress = data;
        step.operate = memory.word(data + 8);
        step.dcLevel = memory.word(data + 12);
        step.ccLimit = memory.word(data + 16);
        step.cvLimit = memory.word(data + 20);
        step.cpLevel = memory.word(data + 24);
        step.uvLevel = memory.word(data + 28);
        return step;
    }
    return step;
}

} // namespace sim
