#include "gui/shell/AlarmText.h"

#include "engine/Source.h"

#include <QCoreApplication>

namespace {

const char alarmHead[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" "
    "\"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
    "p, li { white-space: pre-wrap; }\n"
    "</style></head><body style=\" font-family:'DejaVu Sans'; font-size:8pt; font-weight:400; "
    "font-style:normal;\">\n"
    "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; "
    "-qt-block-indent:0; text-indent:0px;\"> <img src=\":/resources/image/alarm.png\" /> "
    "<span style=\" font-weight:600;\">%1 Alarm</span> has occurred.</p>";

const char alarmClear[] =
    "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; "
    "-qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:6pt;\">"
    "  To clear the alarm, please press the Enter key.</span></p></body></html>";

} // namespace

QString alarmNames(vek::Status::StatusProtections protections, AlarmScreen screen, bool *hint)
{
    const bool panel = screen == AlarmScreen::Panel;
    const char *context = panel ? "PictMeasure" : "SlaveScreen";
    const quint32 bits = quint32(protections);
    QString text;
    bool enter = false;
    const auto add = [&](const char *name, bool asksEnter) {
        if (!text.isEmpty())
            text += QCoreApplication::translate(context, "/");
        text += QCoreApplication::translate(context, name);
        enter |= asksEnter;
    };
    const auto all = [bits](quint32 mask) {
        return (bits & mask) == mask;
    };

    if (all(0x100000))
        add(QT_TRANSLATE_NOOP("PictMeasure", "Front"), true);
    if (all(0x80000))
        add(QT_TRANSLATE_NOOP("PictMeasure", "External"), true);
    if (all(0x40000))
        add(QT_TRANSLATE_NOOP("PictMeasure", "OTP/Front"), true);
    if (all(0x20000))
        add(QT_TRANSLATE_NOOP("PictMeasure", "Reverse"), true);
    if (all(0x10000))
        add(QT_TRANSLATE_NOOP("PictMeasure", "OVP"), true);
    if (all(0x8000)) {
        const bool watchdog = !panel || vek::Source::getWatchdogProtectiont();
        add(watchdog ? QT_TRANSLATE_NOOP("PictMeasure", "Watchdog")
                     : QT_TRANSLATE_NOOP("PictMeasure", "AC Fail"),
            true);
    }
    if (all(0x4000))
        add(QT_TRANSLATE_NOOP("PictMeasure", "UVP"), true);
    if (all(0x402000))
        add(QT_TRANSLATE_NOOP("PictMeasure", "OPP"), true);
    if (all(0x401000))
        add(QT_TRANSLATE_NOOP("PictMeasure", "OCP"), true);

    // Bits 5 to 7 hold one code; the first entry whose bits are all set names it.
    if (all(0x60))
        add(QT_TRANSLATE_NOOP("PictMeasure", "Parallel Communication"), false);
    else if (all(0xA0))
        add(QT_TRANSLATE_NOOP("PictMeasure", "Parallel Master Lost"), true);
    else if (all(0xC0))
        add("", true);
    else if (all(0x80)) {
        if (panel)
            add(QT_TRANSLATE_NOOP("PictMeasure", "Parallel Slave Front"), true);
    } else if (all(0x40))
        add(QT_TRANSLATE_NOOP("PictMeasure", "Parallel Slave Over Temperature"), true);
    else if (all(0x20))
        add(QT_TRANSLATE_NOOP("PictMeasure", "AC Fail"), false);

    if (hint)
        *hint = enter;
    return text;
}

QString alarmSentence(vek::Status::StatusProtections protections, AlarmScreen screen)
{
    bool hint = false;
    const QString names = alarmNames(protections, screen, &hint);
    QString text = QString::fromLatin1(alarmHead).arg(names.toHtmlEscaped());
    if (screen == AlarmScreen::Slave)
        return text;
    text += QLatin1Char('\n');
    if (hint)
        text += QLatin1String(alarmClear);
    return text;
}
