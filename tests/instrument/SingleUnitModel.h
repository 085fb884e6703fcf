#pragma once

#include "instrument/ModelInformation.h"
#include "tests/instrument/BoardRootFixture.h"

#include <QFile>

#include <memory>

// The board template's model file (single unit 4101: 150 V, 30/3/0.3 A, 150 W) for tests that
// need real ratings.
namespace SingleUnitModel {

inline QByteArray ratings()
{
    QFile file(QStringLiteral(VEK_SOURCE_DIR "/sim/boardroot/usr/bin/model.info"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Prepares root as a board with the model file (the template's, or the given text) and reads
// it; null when the board root or the model file cannot be had.
inline std::unique_ptr<ModelInformation> load(
    const BoardRootFixture &root, const QByteArray &modelFile = ratings())
{
    if (!root.isValid() || !root.prepareBoard() || modelFile.isEmpty()
        || !root.write(ModelInformation::fileName, modelFile))
        return nullptr;
    auto info = std::make_unique<ModelInformation>([] {
        ioc::MODELS_INFO report;
        report.modelCode = 4101;
        return report;
    });
    return info->modelNames().size() == 1 ? std::move(info) : nullptr;
}

} // namespace SingleUnitModel
