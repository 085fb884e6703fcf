#include "sim/Board.h"
#include "sim/BoardRoot.h"
#include "sim/BoardServer.h"
#include "sim/BootController.h"
#include "sim/ConfigFlash.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vek-powerboard"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated power board of the load"));
    parser.addHelpOption();
    const QCommandLineOption rootOption(
        QStringLiteral("root"), QStringLiteral("Board root directory."), QStringLiteral("DIR"));
    const QCommandLineOption templateOption(QStringLiteral("template"),
        QStringLiteral("Template that seeds an empty root."),
        QStringLiteral("DIR"),
        QStringLiteral(VEK_BOARDROOT_TEMPLATE));
    parser.addOption(rootOption);
    parser.addOption(templateOption);
    parser.process(app);
    if (!parser.isSet(rootOption)) {
        std::fprintf(stderr, "vek-powerboard: --root DIR is required\n");
        return 2;
    }

    const QString root = parser.value(rootOption);
    QString error;
    if (!sim::BoardRoot::prepare(root, parser.value(templateOption), &error)) {
        std::fprintf(stderr, "vek-powerboard: %s\n", qPrintable(error));
        return 1;
    }
    sim::Board board(sim::BoardServer::nowMicros());
    sim::ConfigFlash flash(root);
    sim::BootController boot(root, sim::BoardServer::nowMicros());
    sim::BoardServer server(board, flash, &boot);
    if (!server.listen(root, &error)) {
        std::fprintf(stderr, "vek-powerboard: %s\n", qPrintable(error));
        return 1;
    }
    server.run();
    return 0;
}
