#pragma once

#include "platform/ZOProcessWrapper.h"

#include <QString>
#include <QStringList>

// The tools the network manager runs with a process object of their own, each a type of its
// own with its fixed board program and argument list. run() starts it unless it is still
// running; it returns 0 or a negative errno (-EBUSY while running, or ChildProcess's errors).
class NetworkToolProcess : public zostd::ZOProcessWrapper
{
    Q_OBJECT

public:
    NetworkToolProcess(const QString &program, const QStringList &arguments);
    int run();

private:
    const QString m_program;
    const QStringList m_arguments;
};

// "ifup -v eth0"
class IfUp : public NetworkToolProcess
{
    Q_OBJECT
public:
    IfUp();
};

// "ifdown -v eth0"
class IfDown : public NetworkToolProcess
{
    Q_OBJECT
public:
    IfDown();
};

// "ifconfig eth0"
class IfConfig : public NetworkToolProcess
{
    Q_OBJECT
public:
    IfConfig();
};

// "route -A inet6"
class Route6 : public NetworkToolProcess
{
    Q_OBJECT
public:
    Route6();
};

// "route -A inet"
class Route4 : public NetworkToolProcess
{
    Q_OBJECT
public:
    Route4();
};

// "zodns6", the IPv6 DNS program
class ZoDns6 : public NetworkToolProcess
{
    Q_OBJECT
public:
    ZoDns6();
};

// "dmesg": the kernel log, left as it is (the reader remembers the last time stamp it handled).
// The lines are filtered for eth0 by the reader, so that no shell pipeline runs.
class Dmesg : public NetworkToolProcess
{
    Q_OBJECT
public:
    Dmesg();
};
