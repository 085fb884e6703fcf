#include "platform/InstanceLock.h"
#include "tools/hwmaint/fpgaTools.h"
#include "tools/hwmaint/iocTools.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
const QString MANUFACTURER = QStringLiteral("ZORVANE");
const QString APPLICATION_NAME = QStringLiteral("IOC Maintenance Tools");
const QString PRODUCT_DESCRITION = QStringLiteral("hwmaint multi-call binary.");
const QString FIRMWARE_REVISION = QStringLiteral("v0.07.0021");

QCommandLineOption option(const QStringList &names, const char *description)
{
    return QCommandLineOption(names, QCoreApplication::translate("main", description));
}

// The tool and a running front-panel program never drive the board's lines at once.
bool takeBoard(platform::InstanceLock *lock)
{
    const int rc = lock->tryLock();
    if (rc == 0)
        return true;
    if (rc == -EWOULDBLOCK) {
        const QString holder = lock->holder();
        std::fprintf(stderr,
            "hwmaint: the power board is in use%s (%s is held); stop that program first\n",
            holder.isEmpty() ? "" : qPrintable(QStringLiteral(" by pid ") + holder),
            platform::InstanceLock::PowerBoardLock);
    } else {
        std::fprintf(stderr,
            "hwmaint: cannot take %s: %s\n",
            platform::InstanceLock::PowerBoardLock,
            std::strerror(-rc));
    }
    return false;
}

int iocboot(QCoreApplication &app, QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Start the IOC boot mode by choosing the normal flash memory or the NXP ISP mode."));
    const QCommandLineOption flash =
        option({ QStringLiteral("f"), QStringLiteral("flash") }, "Booting from Flash Memory.");
    const QCommandLineOption isp =
        option({ QStringLiteral("i"), QStringLiteral("isp") }, "Booting from NXP ISP mode.");
    parser.addOption(flash);
    parser.addOption(isp);
    parser.process(app);
    platform::InstanceLock lock;
    if (!takeBoard(&lock))
        return iocTools::Missing;
    iocTools tools;
    return tools.boot(parser.isSet(isp));
}

int usbswitch(QCoreApplication &app, QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Select the IFC USB host on the front panel USB or the IOC (ISP mode) USB."));
    const QCommandLineOption front = option({ QStringLiteral("f"), QStringLiteral("front") },
        "Switch the IFC USB host to the USB on the front panel.");
    const QCommandLineOption ioc = option({ QStringLiteral("i"), QStringLiteral("ioc") },
        "Switch the IFC USB host to the IOC (ISP mode) USB.");
    const QCommandLineOption init = option(
        { QStringLiteral("init"), QStringLiteral("initialize") }, "Initializes the IFC GPIO..");
    parser.addOption(front);
    parser.addOption(ioc);
    parser.addOption(init);
    parser.process(app);
    platform::InstanceLock lock;
    if (!takeBoard(&lock))
        return iocTools::Missing;
    iocTools tools;
    return tools.usbSwitch(parser.isSet(ioc), parser.isSet(init));
}

int iocupdate(QCoreApplication &app, QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("This is a tool to update the IOC firmware."));
    parser.addPositionalArgument(
        QStringLiteral("file"), QStringLiteral("Specifies the bin file to update."));
    const QCommandLineOption dd = option({ QStringLiteral("d"), QStringLiteral("ddmode") },
        "Use the dd command instead of the cp command.");
    parser.addOption(dd);
    parser.process(app);
    platform::InstanceLock lock;
    if (!takeBoard(&lock))
        return iocTools::Missing;
    iocTools tools;
    tools.m_ddMode = parser.isSet(dd);
    return tools.update(parser.positionalArguments());
}

int fpgaupdate(QCoreApplication &app, QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("This is a tool to update the FPGA firmware."));
    parser.addPositionalArgument(QStringLiteral("file"),
        QStringLiteral("Specifies the mcs(INTEL MCS-86 Hexadecimal Object) file to update."));
    const QCommandLineOption message =
        option({ QStringLiteral("m"), QStringLiteral("message") }, "Output record message.");
    const QCommandLineOption blockErase =
        option({ QStringLiteral("b"), QStringLiteral("blockerase") }, "block erase mode.");
    const QCommandLineOption lsbFirst =
        option({ QStringLiteral("l"), QStringLiteral("lsbfirst") }, "LSB first mode.");
    parser.addOption(message);
    parser.addOption(blockErase);
    parser.addOption(lsbFirst);
    parser.process(app);
    platform::InstanceLock lock;
    if (!takeBoard(&lock))
        return fpgaTools::Failed;
    fpgaTools tools;
    tools.m_message = parser.isSet(message);
    tools.m_lsbFirst = parser.isSet(lsbFirst);
    tools.m_blockErase = parser.isSet(blockErase);
    return tools.update(parser.positionalArguments());
}

int fpgaverify(QCoreApplication &app, QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString());
    parser.addPositionalArgument(QStringLiteral("file"),
        QStringLiteral("Source path file to INTEL MCS-86 Hexadecimal Object."));
    const QCommandLineOption message =
        option({ QStringLiteral("m"), QStringLiteral("message") }, "Output record message.");
    const QCommandLineOption lsbFirst =
        option({ QStringLiteral("l"), QStringLiteral("lsbfirst") }, "LSB first mode.");
    parser.addOption(message);
    parser.addOption(lsbFirst);
    parser.process(app);
    platform::InstanceLock lock;
    if (!takeBoard(&lock))
        return fpgaTools::Failed;
    fpgaTools tools;
    tools.m_message = parser.isSet(message);
    tools.m_lsbFirst = parser.isSet(lsbFirst);
    return tools.verify(parser.positionalArguments());
}

int flash(QCoreApplication &app, QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString());
    const QCommandLineOption operate({ QStringLiteral("o"), QStringLiteral("operate") },
        QCoreApplication::translate("main", "The command to execute <execute-command>."),
        QCoreApplication::translate("main", "rdid|res|ce"));
    parser.addOption(operate);
    parser.process(app);
    platform::InstanceLock lock;
    if (!takeBoard(&lock))
        return fpgaTools::Failed;
    fpgaTools tools;
    return tools.spiFlashCommand(parser.value(operate));
}

struct Command
{
    const char *name;
    int (*run)(QCoreApplication &, QCommandLineParser &);
};

const Command s_commands[] = {
    { "iocboot", iocboot },
    { "usbswitch", usbswitch },
    { "iocupdate", iocupdate },
    { "fpgaupdate", fpgaupdate },
    { "fpgaverify", fpgaverify },
    { "flash", flash },
};
} // namespace

// The entry of the multi-call tool: the command is the name the program was started under (a
// link named like the command) or, started as hwmaint, the value of -c/--command.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(MANUFACTURER + QLatin1Char(' ') + APPLICATION_NAME);
    QCoreApplication::setApplicationVersion(FIRMWARE_REVISION);

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.setApplicationDescription(PRODUCT_DESCRITION);

    const QStringList arguments = QCoreApplication::arguments();
    QString selector = QFileInfo(arguments.value(0)).fileName();
    if (selector == QLatin1String("hwmaint")) {
        QCommandLineOption command({ QStringLiteral("c"), QStringLiteral("command") },
            QCoreApplication::translate("main", "The command to execute <execute-command>."),
            QCoreApplication::translate("main", "execute-command"));
        parser.addOption(command);
        parser.parse(arguments);
        selector = parser.value(command);
    }

    for (const Command &c : s_commands) {
        if (selector == QLatin1String(c.name))
            return c.run(app, parser);
    }
    // Started as hwmaint without a command: nothing to do. A command nobody knows is an error.
    if (selector.isEmpty())
        return 0;
    std::fprintf(stderr,
        "hwmaint: unknown command \"%s\" (iocboot, usbswitch, iocupdate, fpgaupdate, fpgaverify,"
        " flash)\n",
        qPrintable(selector));
    return 1;
}
