#include "instrument/InstrumentConfigInfo.h"

#include "instrument/UnreadableFile.h"

#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"
#include "platform/JsonFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>

InstrumentConfigInfo *InstrumentConfigInfo::s_pSelf = nullptr;

namespace {
InstrumentConfigInfo::ErrorSink s_errorSink; // set once at start-up, before threads

// Guards the file: a save takes its snapshot and replaces the file under it, so that of two
// saves from different threads the later snapshot is the one left on disk.
QMutex s_fileMutex;

void report(int code, const QString &detail)
{
    if (s_errorSink)
        s_errorSink(code, detail);
}
} // namespace

void InstrumentConfigInfo::setErrorSink(ErrorSink sink)
{
    s_errorSink = std::move(sink);
}

InstrumentConfigInfo &InstrumentConfigInfo::clear()
{
    const QString path = filePath;
    *this = InstrumentConfigInfo();
    filePath = path;
    return *this;
}

bool InstrumentConfigInfo::load()
{
    QJsonObject o;
    {
        QMutexLocker lock(&s_fileMutex);
        if (!platform::readJsonObject(platform::BoardPath::map(filePath), &o))
            return false;
    }

    // toInt() gives 0 for a missing member, another type or a fraction; the 8-bit fields keep
    // the low 8 bits of what is there.
    remoteSensing = o.value("remoteSensing").toBool();
    showEtime = o.value("showEtime").toBool();
    keyLock = o.value("keyLock").toBool();
    keyLockLevel = o.value("keyLockLevel").toInt();
    trigin = o.value("trigin").toBool();
    trigout = o.value("trigout").toBool();
    digital0 = o.value("digital0").toBool();
    digital1 = o.value("digital1").toBool();
    digital2 = o.value("digital2").toBool();
    digital2Direction = quint8(o.value("digital2Direction").toInt());
    pon = quint8(o.value("pon").toInt());
    wdogEnabled = o.value("wdogEnabled").toBool();
    wdogDelay = o.value("wdogDelay").toInt();
    saver = o.value("saver").toBool();
    saverRemoteWakeup = o.value("saverRemoteWakeup").toBool();
    saverDelay = o.value("saverDelay").toInt();
    keyBeep = o.value("keyBeep").toBool();
    scpiBeep = o.value("scpiBeep").toBool();
    protectionBeep = o.value("protectionBeep").toBool();
    return true;
}

bool InstrumentConfigInfo::save() const
{
    QString reason;
    int result;
    {
        QMutexLocker lock(&s_fileMutex);
        result = platform::AtomicFile::write(
            platform::BoardPath::map(filePath), toJsonString(), &reason);
    }
    if (result != 0)
        report(result, QStringLiteral("Cannot write %1: %2").arg(filePath, reason));
    return result == 0;
}

bool InstrumentConfigInfo::loadOrRestoreDefaults()
{
    clear();
    if (load())
        return true;
    clear();
    bool overwrite = true;
    QString kept;
    {
        QMutexLocker lock(&s_fileMutex);
        kept = instrument::keepUnreadableFile(filePath, &overwrite);
    }
    if (overwrite)
        save();
    report(-315, filePath + kept);
    return false;
}

QByteArray InstrumentConfigInfo::toJsonString() const
{
    QJsonObject o;
    o.insert("remoteSensing", remoteSensing);
    o.insert("showEtime", showEtime);
    o.insert("keyLock", keyLock);
    o.insert("keyLockLevel", keyLockLevel);
    o.insert("trigin", trigin);
    o.insert("trigout", trigout);
    o.insert("digital0", digital0);
    o.insert("digital1", digital1);
    o.insert("digital2", digital2);
    o.insert("digital2Direction", int(digital2Direction));
    o.insert("pon", int(pon));
    o.insert("wdogEnabled", wdogEnabled);
    o.insert("wdogDelay", wdogDelay);
    o.insert("saver", saver);
    o.insert("saverRemoteWakeup", saverRemoteWakeup);
    o.insert("saverDelay", saverDelay);
    o.insert("keyBeep", keyBeep);
    o.insert("scpiBeep", scpiBeep);
    o.insert("protectionBeep", protectionBeep);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}
