// libFuzzer target: a TCP stream of ONC-RPC records as the instrument's RPC services take it,
// cut by record marks in a fixed receive buffer, each record decoded as a call and answered by
// the portmapper and the VXI-11 abort channel (the core channel's procedures act on the
// network and the clock, so only its call decoding runs here).

#include "remote/ZOPortmapper.h"
#include "remote/ZORpc.h"
#include "remote/ZOTcpSession_Vxi11Async.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int BufferSize = 4096;

void answerRecord(const QByteArray &record)
{
    const auto *at = reinterpret_cast<const unsigned char *>(record.constData());
    zostd::rpc::Call call;
    const zostd::rpc::CallStatus status = zostd::rpc::parseCall(at, record.size(), &call);
    if (status == zostd::rpc::CallStatus::Ok && call.argsLen < 0)
        __builtin_trap();
    zostd::rpc::replyToBadCall(status, call);
    zostd::pmap::answer(at, record.size());
    zo4882::ZOTcpSession_Vxi11Async::answer(at, record.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 65536)
        return 0;
    // First byte: the size of each read; the rest is the stream, also taken whole as one
    // datagram (the UDP portmapper).
    const int chunk = 1 + data[0] % 61;
    data += 1;
    size -= 1;
    zostd::pmap::answer(data, int(size));

    std::vector<unsigned char> buffer(BufferSize);
    QByteArray record;
    int fill = 0;
    size_t pos = 0;
    while (pos < size) {
        const int n = int(std::min<size_t>(size_t(std::min(chunk, BufferSize - fill)), size - pos));
        std::memcpy(buffer.data() + fill, data + pos, size_t(n));
        fill += n;
        pos += size_t(n);
        forever {
            const int used = zostd::rpc::takeRecord(buffer.data(), fill, BufferSize - 4, &record);
            if (used < 0)
                return 0; // the session closes the connection
            if (used == 0)
                break;
            if (used > fill)
                __builtin_trap();
            answerRecord(record);
            std::memmove(buffer.data(), buffer.data() + used, size_t(fill - used));
            fill -= used;
        }
        if (fill == BufferSize)
            return 0; // buffer full without a record: closed as well
    }
    return 0;
}
