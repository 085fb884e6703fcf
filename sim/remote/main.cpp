#include "network/NetworkInfo.h"
#include "platform/BoardPath.h"
#include "gui/shell/HeadlessInstrument.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QUrl>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

int s_signalFds[2] = { -1, -1 };

// Only writes a byte: the event loop turns it into a clean quit.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(s_signalFds[0], &byte, 1);
}

bool catchTermination()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_signalFds) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

// One line per LAN update, for scripts and tests: the code, then name=value pairs.
void printLanUpdate(const NetworkInfo &info, unsigned lctx)
{
    std::printf("lan %u ip4=%s mask4=%s gw4=%s dns4=%s,%s wins4=%s,%s src4=%d status4=%d "
                "status6=%d lamp=%d host=%s domain=%s mdns=%s service=%s nbns=%s\n",
        lctx,
        qPrintable(info.getIpAdr4()),
        qPrintable(info.getNetMask4()),
        qPrintable(info.getDefGW4()),
        qPrintable(info.getPriDNS4()),
        qPrintable(info.getSecDNS4()),
        qPrintable(info.getPriWINS4()),
        qPrintable(info.getSecWINS4()),
        info.getAdrsSrc4(),
        info.getLanStatus4(),
        info.getLanStatus6(),
        info.getLanIndicator(),
        QUrl::toPercentEncoding(info.getResolvedDdnsHostname()).constData(),
        QUrl::toPercentEncoding(info.getResolvedDomainName()).constData(),
        QUrl::toPercentEncoding(info.getResolvedMdnsHostname()).constData(),
        QUrl::toPercentEncoding(info.getResolvedMdnsServiceName()).constData(),
        QUrl::toPercentEncoding(info.getResolvedNbnsName()).constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    // Qt's own event dispatcher wakes a thread with fewer system calls than the GLib one; every
    // remote query crosses two thread hops, so this is most of the transport's own latency.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vek-remote"));

    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("The load's remote control without its panel, for development and tests"));
    options.addHelpOption();
    const QCommandLineOption rootOption(QStringLiteral("root"),
        QStringLiteral("Board root directory (default: BOARD_ROOT)."),
        QStringLiteral("DIR"));
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("Raw-socket port in place of the preferences' (0: any free port)."),
        QStringLiteral("PORT"));
    const QCommandLineOption telnetOption(QStringLiteral("telnet-port"),
        QStringLiteral("Telnet port in place of the preferences' (0: any free port)."),
        QStringLiteral("PORT"));
    const QCommandLineOption networkOption(QStringLiteral("network"),
        QStringLiteral("Run the LAN manager on eth0 and print a line at every LAN update. It "
                       "reconfigures eth0: use it only in a private network namespace."));
    const QCommandLineOption vxi11Option(QStringLiteral("vxi11"),
        QStringLiteral("Serve VXI-11 (TCP 4510, 4511) and the portmapper (TCP and UDP 111) when "
                       "the preferences enable the LAN."));
    const QCommandLineOption hislipOption(QStringLiteral("hislip-port"),
        QStringLiteral("HiSLIP port in place of the preferences' (0: any free port)."),
        QStringLiteral("PORT"));
    options.addOption(networkOption);
    options.addOption(rootOption);
    options.addOption(vxi11Option);
    options.addOption(hislipOption);
    options.addOption(portOption);
    options.addOption(telnetOption);
    options.process(app);

    if (options.isSet(rootOption))
        platform::BoardPath::setRoot(options.value(rootOption));
    if (platform::BoardPath::root().isEmpty()) {
        std::fprintf(stderr, "vek-remote: --root DIR or BOARD_ROOT is required\n");
        return 2;
    }
    int port = -1;
    int telnetPort = -1;
    int hislipPort = -1;
    for (const auto &[option, value] : { std::pair { &portOption, &port },
             std::pair { &telnetOption, &telnetPort },
             std::pair { &hislipOption, &hislipPort } }) {
        if (!options.isSet(*option))
            continue;
        bool ok = false;
        *value = options.value(*option).toInt(&ok);
        if (!ok || *value < 0 || *value > 65535) {
            std::fprintf(stderr, "vek-remote: bad port %s\n", qPrintable(options.value(*option)));
            return 2;
        }
    }
    if (!catchTermination()) {
        std::fprintf(stderr, "vek-remote: cannot catch SIGTERM\n");
        return 1;
    }
    QSocketNotifier terminate(s_signalFds[1], QSocketNotifier::Read);
    QObject::connect(&terminate, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    int result = 0;
    {
        HeadlessInstrument instrument(port, telnetPort, hislipPort, options.isSet(vxi11Option));
        if (instrument.start() != 0) {
            std::fprintf(
                stderr, "vek-remote: %s cannot be bound\n", qPrintable(instrument.startError()));
            return 1;
        }
        // Before the line below, so that no client's settings race with the recall.
        instrument.applyPowerOnSetting();
        // Scripts and tests wait for this line; "hislip 0" when HiSLIP is not served.
        std::printf("port %u telnet %u hislip %u\n",
            unsigned(instrument.rawPort()),
            unsigned(instrument.telnetPort()),
            unsigned(instrument.hislipPort()));
        std::fflush(stdout);
        if (options.isSet(networkOption))
            instrument.startNetwork(printLanUpdate);
        result = app.exec();
        QString failure;
        if (!instrument.saveForShutDown(&failure)) {
            std::fprintf(stderr, "vek-remote: shut-down: %s\n", qPrintable(failure));
            result = 1;
        }
    }
    return result;
}
