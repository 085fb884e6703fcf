#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QTextStream;

// Waits of the controller commands, in milliseconds; tests shorten them.
struct IocToolsTiming
{
    int bootStartMs = 10; // after starting the register writer, before the first write
    int bootPairGapMs = 100; // between the two writes of a boot-mode pair
    int bootEndMs = 10; // after the second write, before stopping the writer
    int gpioSetupMs = 100; // after the GPIO set-up, before switching
    int diskTimeoutMs = 10000; // the ISP disk must appear within this after the ISP boot
    int diskPollMs = 100;
    int childTimeoutMs = 120000; // mount, copy and umount each
};

// The tool's I/O-controller commands: iocboot (boot), usbswitch (usbSwitch) and iocupdate
// (update). Each returns the tool's exit code: Success, Failed (a write, copy or verify failed,
// or the ISP disk did not appear) or Missing (a missing device, file or argument; nothing was
// changed). Messages go to the error stream, one line each; the child programs' own output goes
// to the tool's. File names given by the user are board paths, or relative to the working
// folder.
class iocTools
{
public:
    enum Exit { Success = 0, Failed = 1, Missing = 2 };

    iocTools();
    // errors: where messages go (standard error when null); it must outlive the object.
    explicit iocTools(const IocToolsTiming &timing, QTextStream *errors = nullptr);
    ~iocTools();
    iocTools(const iocTools &) = delete;
    iocTools &operator=(const iocTools &) = delete;

    // ISP boot when isp is true, flash boot otherwise: the boot-mode pair, about 120 ms.
    int boot(bool isp);
    // The USB host to the controller's ISP port when toIoc is true, else to the front socket;
    // the GPIO set-up first when it has not run since boot or init is true.
    int usbSwitch(bool toIoc, bool init);
    // Copies the one file in files onto the controller's ISP disk as firmware.bin and boots the
    // controller from its flash again. A failure before the copy leaves the controller booting
    // its flash and the USB host at the front socket; a failure of the copy or its check leaves
    // the controller in ISP mode (booting a half-written firmware would lose the controller), to
    // be updated again.
    int update(const QStringList &files);

    bool m_ddMode = false; // copy with dd (whole 512-byte blocks) instead of cp

private:
    QString waitForIspDisk();
    int mountIspDisk(const QString &device, const QString &mountPoint);
    int copyFirmware(const QString &file, const QString &target);
    int verifyFirmware(const QByteArray &image, const QString &file, const QString &target);
    int leaveIspMode();
    int run(const QString &program, const QStringList &arguments);
    int fail(int code, const QString &message);

    IocToolsTiming m_timing;
    QTextStream *m_errors;
    QTextStream *m_ownErrors = nullptr;
};
