// libFuzzer target: arbitrary bytes as a program's program.data and laststep.data, read by the
// step table model in the mode the file names (CC for a header too short to name one), then
// written back, which must give exactly the layout's size for the steps that were taken.

#include "engine/ProgramStepsModel.h"
#include "engine/Source.h"
#include "engine/ioc/AvlTree.h"
#include "instrument/ModelInformation.h"
#include "platform/BoardPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdint>
#include <memory>

namespace {

const QString source = QStringLiteral("/etc/instr/programs/cc/Fuzz");
const QString copy = QStringLiteral("/etc/instr/programs/cc/Copy");

bool writeBoardFile(const QString &boardPath, const QByteArray &data)
{
    const QString path = platform::BoardPath::map(boardPath);
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// A board root in memory where there is one, with the board's model file and EEPROM.
ModelInformation *setUp()
{
    static QTemporaryDir root(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/vek-fuzz-XXXXXX")
                                                        : QDir::tempPath() + "/vek-fuzz-XXXXXX");
    platform::BoardPath::setRoot(root.path());
    QFile model(QStringLiteral(VEK_SOURCE_DIR "/sim/boardroot/usr/bin/model.info"));
    QByteArray eeprom(256, '\xff');
    if (!root.isValid() || !model.open(QIODevice::ReadOnly)
        || !writeBoardFile("/sys/bus/i2c/devices/0-0050/eeprom", eeprom)
        || !writeBoardFile(ModelInformation::fileName, model.readAll())
        || !QDir().mkpath(platform::BoardPath::map(source))
        || !QDir().mkpath(platform::BoardPath::map(copy)))
        __builtin_trap();
    return new ModelInformation([] {
        ioc::MODELS_INFO report;
        report.modelCode = 4101;
        return report;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ModelInformation *info = setUp();
    static ProgramStepsModel model(info);
    if (size > (1u << 20))
        return 0;

    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    if (!writeBoardFile(source + "/program.data", bytes)
        || !writeBoardFile(source + "/laststep.data", bytes))
        __builtin_trap();
    const qint16 mode = size >= 22 ? qFromBigEndian<qint16>(data + 20) : 0;
    vek::Source::m_functionMode =
        mode >= 0 && mode <= 4 ? vek::SourceMode(mode) : vek::SourceMode(0);

    const int freeSlots = ioc::ProgramStep::freeSlots();
    {
        ioc::AvlTree tree;
        model.setProgramObject(&tree);
        if (!model.load(source) || !model.loadLaststep(source))
            __builtin_trap();
        const int rows = model.rowCount();
        if (rows != tree.count() || rows > ProgramStepsModel::MaxSteps)
            __builtin_trap();
        model.setStepsProtections();
        if (!model.save(copy) || !model.saveLaststep(copy))
            __builtin_trap();
        QFile saved(platform::BoardPath::map(copy + "/program.data"));
        QFile savedLaststep(platform::BoardPath::map(copy + "/laststep.data"));
        if (saved.size() != 61 + 28 * rows || savedLaststep.size() != 91)
            __builtin_trap();
        model.setProgramObject(nullptr);
    }
    if (ioc::ProgramStep::freeSlots() != freeSlots)
        __builtin_trap();
    return 0;
}
