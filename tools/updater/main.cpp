// zoUpdater [-s|--silent]: the update tool's window, shown maximised on the panel. It ends only
// when the unit is switched off.

#include "tools/updater/zoUpdater.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QStyleFactory>

namespace {
Q_LOGGING_CATEGORY(lcUpdate, "zoupdater")

const QString MANUFACTURER = QStringLiteral("ZORVANE");
const QString APPLICATION_NAME = QStringLiteral("IFC Update Tool");
const QString PRODUCT_DESCRIPTION = QStringLiteral("This is a tool for updating IFC applications.");
const QString FIRMWARE_REVISION = QStringLiteral("v1.00.0001");
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(MANUFACTURER + QLatin1Char(' ') + APPLICATION_NAME);
    QApplication::setApplicationVersion(FIRMWARE_REVISION);

    QCommandLineParser parser;
    parser.setApplicationDescription(PRODUCT_DESCRIPTION);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption silent({ QStringLiteral("s"), QStringLiteral("silent") },
        QCoreApplication::translate("main", "silent install"));
    parser.addOption(silent);
    parser.process(app);

    const bool isSilent = parser.isSet(silent);
    QMessageLogger().debug(lcUpdate()) << (isSilent ? "true" : "false");

    zoUpdater window(isSilent);
    window.showMaximized();
    return app.exec();
}
