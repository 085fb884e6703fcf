#include "tools/hwmaint/Console.h"

#include <QTextStream>

#include <cstdio>

namespace {
QTextStream *s_out = nullptr;
QTextStream *s_err = nullptr;
bool s_progressOpen = false; // text without a line end went to s_out last

QTextStream &out()
{
    static QTextStream standard(stdout);
    return s_out ? *s_out : standard;
}

QTextStream &err()
{
    static QTextStream standard(stderr);
    return s_err ? *s_err : standard;
}
} // namespace

void Console::print(const QString &text)
{
    out() << text << Qt::flush;
    s_progressOpen = !text.isEmpty() || s_progressOpen;
}

void Console::printLine(const QString &text)
{
    out() << text << '\n' << Qt::flush;
    s_progressOpen = false;
}

void Console::errorLine(const QString &text)
{
    err() << text << '\n' << Qt::flush;
}

void Console::endProgress()
{
    if (s_progressOpen)
        printLine(QString());
}

void Console::redirect(QTextStream *o, QTextStream *e)
{
    s_out = o;
    s_err = e;
    s_progressOpen = false;
}
