#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The instrument-wide settings that are neither communication preferences nor part of a setup,
// kept in one flat JSON file. A setup recall or *RST leaves them alone. The engine root owns the
// one record; the command set's value objects bind to its fields and change them in place.
struct InstrumentConfigInfo
{
    static constexpr const char *DefaultPath = "/etc/instr/instr_config_sig0624_vek3r.info";

    // Board path of the file (mapped with BoardPath::map() at every load and save).
    QString filePath = QString::fromLatin1(DefaultPath);

    // The fields start at the defaults that clear() sets.
    bool remoteSensing = false;
    bool showEtime = true;
    bool keyLock = false;
    qint32 keyLockLevel = 3; // 1 to 3
    bool trigin = false;
    bool trigout = false;
    bool digital0 = false;
    bool digital1 = false;
    bool digital2 = false;
    quint8 digital2Direction = 0; // 0 input, 1 output
    quint8 pon = 2; // power-on setting: 0 *RST, 1 recall "00.info", 2 recall "auto.info"
    bool wdogEnabled = false;
    qint32 wdogDelay = 60; // s
    bool saver = false;
    bool saverRemoteWakeup = false;
    qint32 saverDelay = 60; // s
    bool keyBeep = true;
    bool scpiBeep = true;
    bool protectionBeep = true;

    // The engine root's record; set by the engine root.
    static InstrumentConfigInfo *s_pSelf;

    // Receives errors: a SCPI error number and its detail text. Install once at start-up,
    // before any thread saves; the default drops them.
    using ErrorSink = std::function<void(int code, const QString &detail)>;
    static void setErrorSink(ErrorSink sink);

    // Sets every field to its default; the file is not touched.
    InstrumentConfigInfo &clear();
    // Reads the file member by member; a missing or mistyped member takes false or 0. Returns
    // false and changes nothing when the file cannot be opened or holds no JSON object.
    bool load();
    // Replaces the file atomically with toJsonString(). A failure is reported as -310 with the
    // path, returns false and leaves the old file as it was.
    bool save() const;
    // The start-up sequence: defaults, then the file; when the file cannot be loaded, writes
    // the defaults and reports -315 once. A file that exists but cannot be read is first kept
    // as <path>.bad (see keepUnreadableFile()). Returns whether the file was loaded.
    bool loadOrRestoreDefaults();

    // The 19 members as indented JSON text: the content of the file.
    QByteArray toJsonString() const;
};
