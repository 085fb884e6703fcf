// libFuzzer target: the readers of an update medium. The first byte chooses what the rest is:
// 0 a check list, 1 a gzip-compressed archive as found on the medium, 2 a tar archive that is
// compressed here first, so that the fuzzer reaches the member headers.

#include "tests/tools/updater/TarBuilder.h"
#include "tools/updater/ArchiveListing.h"
#include "tools/updater/CheckList.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), int(size - 1));
    QString reason;
    switch (data[0] % 3) {
    case 0: {
        QString name;
        QByteArray digest;
        if (updater::CheckList::parse(bytes, &name, &digest, &reason) && digest.size() != 16)
            __builtin_trap();
        break;
    }
    case 1:
    case 2: {
        if (data[0] % 3 == 2)
            bytes = TarBuilder::compress(bytes);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        if (!updater::ArchiveListing::isContained(&buffer, &reason) && reason.isEmpty())
            __builtin_trap();
        break;
    }
    }
    return 0;
}
