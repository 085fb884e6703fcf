#pragma once

#include "platform/ZOProcessWrapper.h"

#include <QString>

namespace zostd {
class IPreferenceInfo;
}

// Runs the mDNS daemon "/usr/sbin/avahi-daemon" with a configuration written from the board's
// template: the host name replaces the template's place marker %1. The host name chosen last
// (after a name collision the daemon picks "NAME-2") is kept in a cache file and used at the next
// start in place of the preference. The daemon's standard error arrives as lines
// (readyReadLines); its configuration folder /etc/avahi is removed whenever the daemon ends.
//
// Lives and signals in the network thread.
class AvahiDaemonProcess : public zostd::ZOProcessWrapper
{
    Q_OBJECT

public:
    static constexpr const char *Program = "/usr/sbin/avahi-daemon";
    static constexpr const char *TemplatePath = "/usr/bin/avahi-daemon.conf.template";
    static constexpr const char *ConfDir = "/etc/avahi";
    static constexpr const char *ConfPath = "/etc/avahi/avahi-daemon.conf";
    static constexpr const char *HostnameCachePath = "/etc/instr/avahi-hostname-cache";

    explicit AvahiDaemonProcess(const zostd::IPreferenceInfo *preferences);
    // A daemon still running is killed, and its folder removed.
    ~AvahiDaemonProcess() override;

    // Writes the configuration from the cached or preferred host name and starts the daemon
    // unless it runs (a running daemon keeps its configuration). Returns 0, or an error number
    // with a detail in *detail: -224 when neither name is a valid host name (nothing is
    // written and no daemon starts), -256 without a template (the daemon starts all the same),
    // -310 when the configuration cannot be written, or ChildProcess's negative errno.
    int startService(QString *detail = nullptr);
    // Kills the running daemon (SIGKILL); nothing when none runs.
    int stopService();
    // The template with %1 replaced, written atomically as Latin-1: 0, -224 for an invalid host
    // name, -256 without a template, -310 when the file cannot be written.
    int generateConfFile(const QString &hostname, QString *detail = nullptr);
    // Removes the host-name cache; true when it is gone.
    static bool deleteCache();
    // The cached host name (first line, trimmed), empty when there is none.
    static QString cachedHostname();
    // Caches the bare host name atomically; 0 or -310.
    static int writeHostnameCache(const QString &hostname);
    // One DNS label of letters, digits and hyphens, 1 to 63 characters, no hyphen at either end.
    static bool isValidHostname(const QString &hostname);

    // The running daemon's process id, 0 when none runs.
    qint64 runningPid() const { return m_pid; }

public slots:
    void onStart() override;
    void onFinish(int exitcode, QProcess::ExitStatus exitstatus) override;

private:
    const zostd::IPreferenceInfo *m_preferences;
    qint64 m_pid = 0;
};
