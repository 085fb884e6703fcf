// libFuzzer target: the USBTMC transfer state as the endpoints drive it. The input is a run of
// records: one operation byte, a 16-bit little-endian length and that many bytes. Operations:
// 0 a Bulk-OUT read, 1 an answer from the parser, 2 a Bulk-IN transfer taken, 3 a device clear.

#include "remote/ZOMessageSplitter.h"
#include "remote/ZOUsbtmcTransfer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

class Sink : public zo4882::ZOUsbtmcTransfer::Sink
{
public:
    int postInput(char *data, int len, bool eom, unsigned) override
    {
        if (len < 0 || len > zo4882::ZOUsbtmcTransfer::InputCapacity)
            __builtin_trap();
        zo4882::PARSER_SPLITTED_PACK pack;
        zo4882::ZOMessageSplitter::split(data, len, eom, &pack);
        return int(pack.rest - data);
    }
    void postTrigger(unsigned tag) override
    {
        if (tag > 0xff)
            __builtin_trap();
    }
    void answerDropped() override { }
    void queueError(int, const QString &) override { }
};

void checkBulkIn(const QByteArray &transfer)
{
    if (transfer.isEmpty())
        return;
    const auto *p = reinterpret_cast<const unsigned char *>(transfer.constData());
    const quint32 size = p[4] | p[5] << 8 | p[6] << 16 | quint32(p[7]) << 24;
    if (transfer.size() % 4 != 0 || transfer.size() < 12 || p[0] != 2
        || p[2] != static_cast<unsigned char>(~p[1]) || size > quint32(transfer.size() - 12)
        || transfer.size() - 12 - int(size) >= 4)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Sink sink;
    zo4882::ZOUsbtmcTransfer transfer(&sink);
    size_t at = 0;
    while (at + 3 <= size) {
        const int op = data[at] & 3;
        const size_t len =
            std::min<size_t>(size_t(data[at + 1] | data[at + 2] << 8), size - at - 3);
        const char *bytes = reinterpret_cast<const char *>(data + at + 3);
        at += 3 + len;
        switch (op) {
        case 0:
            transfer.bulkOut(bytes, int(std::min<size_t>(len, zo4882::ZOUsbtmcTransfer::ReadSize)));
            break;
        case 1:
            transfer.appendAnswer(bytes, int(len));
            break;
        case 2: {
            bool more = false;
            checkBulkIn(transfer.takeBulkIn(&more));
            if (more != transfer.hasAnswer())
                __builtin_trap();
            break;
        }
        default:
            transfer.clear();
            if (transfer.hasAnswer() || transfer.heldInput() != 0)
                __builtin_trap();
            break;
        }
        if (transfer.heldInput() < 0
            || transfer.heldInput() > zo4882::ZOUsbtmcTransfer::InputCapacity)
            __builtin_trap();
    }
    return 0;
}
