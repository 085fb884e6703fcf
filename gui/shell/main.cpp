#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "gui/shell/HeadlessInstrument.h"
#include "gui/shell/PanelShutdown.h"
#include "gui/shell/PanelStartup.h"
#include "gui/shell/PictMeasure.h"
#include "gui/shell/ShutdownSignals.h"
#include "gui/shell/Vek3r.h"
#include "gui/toolkit/PanelLook.h"
#include "platform/BoardPath.h"
#include "remote/Scpi4882Starter.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Qt's own event dispatcher wakes a thread with fewer system calls than the GLib one; every
    // remote query crosses two thread hops.
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vek3r"));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("The load's front-panel program"));
    options.addHelpOption();
    const QCommandLineOption rootOption(QStringLiteral("root"),
        QStringLiteral("Board root directory (default: BOARD_ROOT; on the board: /)."),
        QStringLiteral("DIR"));
    options.addOption(rootOption);
    options.process(app);
    if (options.isSet(rootOption))
        platform::BoardPath::setRoot(options.value(rootOption));

    // Before anything is saved or started: a shut-down signal from here on runs the shut-down.
    ShutdownSignals shutdownSignals;
    if (!shutdownSignals.isValid()) {
        std::fprintf(stderr, "Vek3r: cannot catch the shut-down signals\n");
        return 1;
    }

    PanelStartup::prepareBoard();
    PanelLook::apply();

    int result = 0;
    bool saveFailed = false;
    {
        // Builds the engine root, loads the preferences (factory defaults and -315 when they
        // cannot be), starts the remote control and checks the board's programs and scripts.
        HeadlessInstrument instrument(-1,
            -1,
            -1,
            true,
            &Vek3r::notifyScpiErrorQueued,
            &Vek3r::notifyScpiErrorDecued);
        // A port that could not be bound is in the error queue; the panel still runs.
        if (instrument.start() != 0)
            std::fprintf(
                stderr, "Vek3r: %s cannot be bound\n", qPrintable(instrument.startError()));
        instrument.applyPowerOnSetting();

        vek::ELoad *root = instrument.engine();
        PanelEngine engine;
        engine.basic = root->basic();
        engine.status = root->status();
        engine.model = root->info();
        engine.logger = root->logger();
        engine.acquire = root->acquire();
        engine.root = root;
        Vek3r window(engine);
        window.showFullScreen();

        PanelShutdown::Steps steps;
        steps.saveState = [&instrument, &saveFailed] {
            QString failure;
            if (!instrument.saveForShutDown(&failure)) {
                std::fprintf(stderr, "Vek3r: shut-down: %s\n", qPrintable(failure));
                saveFailed = true;
            }
        };
        // The AC-fail request tells the controller the panel went down with the mains; not after
        // a start whose preferences were lost, when the stop key may have been the cause.
        if (!instrument.preferencesRestored()) {
            vek::Basic *basic = root->basic();
            steps.raiseAcFail = [basic] {
                basic->setAcFailProtection();
            };
        }
        steps.closeUsbtmc = [] {
            if (zo4882::Scpi4882Starter::servesUsbtmc())
                zo4882::Scpi4882Starter::shutDown();
        };
        QObject::connect(&shutdownSignals, &ShutdownSignals::shutdownRequested, &app, [&](int sig) {
            const int code = PanelShutdown::run(sig, steps);
            QApplication::exit(code);
        });

        // Scripts and tests wait for this line; "hislip 0" when HiSLIP is not served.
        std::printf("port %u telnet %u hislip %u\n",
            unsigned(instrument.rawPort()),
            unsigned(instrument.telnetPort()),
            unsigned(instrument.hislipPort()));
        std::fflush(stdout);

        result = app.exec();
    }
    // A plain shut-down whose saves failed does not report success; the other codes tell the
    // start scripts what to do next and stand.
    return result == 0 && saveFailed ? 1 : result;
}
