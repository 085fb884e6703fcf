#include "gui/toolkit/zoUpDownLineEdit.h"

#include <QKeyEvent>
#include <QRegExpValidator>

namespace {

QStringList buildAsciiList()
{
    QStringList list { QStringLiteral(" ") };
    for (char c = 'A'; c <= 'Z'; ++c)
        list << QString(QLatin1Char(c));
    for (char c = 'a'; c <= 'z'; ++c)
        list << QString(QLatin1Char(c));
    for (char c = '0'; c <= '9'; ++c)
        list << QString(QLatin1Char(c));
    for (const char c : QByteArrayLiteral("`-=[]\\;',./~!@#$%^&*()_+{}|:\"<>?"))
        list << QString(QLatin1Char(c));
    return list;
}

} // namespace

const QStringList zoUpDownLineEdit::m_asciiList = buildAsciiList();

zoUpDownLineEdit::zoUpDownLineEdit(QWidget *parent)
    : QLineEdit(parent)
{ }

void zoUpDownLineEdit::setRegPattern(const QString &pattern)
{
    if (pattern.isEmpty()) {
        setValidator(nullptr);
        return;
    }
    if (!m_validator)
        m_validator = new QRegExpValidator(this);
    m_validator->setRegExp(QRegExp(pattern, Qt::CaseSensitive, QRegExp::RegExp));
    setValidator(m_validator);
}

void zoUpDownLineEdit::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        stepCharacter(1);
        event->accept();
        break;
    case Qt::Key_Down:
        stepCharacter(-1);
        event->accept();
        break;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void zoUpDownLineEdit::stepCharacter(int steps)
{
    if (isReadOnly())
        return;
    const QString selected = selectedText();
    const int count = m_asciiList.size();
    int i = m_asciiList.indexOf(selected);
    // The selection's start, whichever way it was made.
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const QValidator *check = validator();

    for (int tries = 0; tries < count; ++tries) {
        i += steps;
        if (i < 0)
            i = count - 1; // from no selection, Down offers the last entry
        else if (i >= count)
            i = 0;
        if (check) {
            QString candidate = text();
            candidate.replace(start, selected.size(), m_asciiList.at(i));
            int pos = start + 1;
            if (check->validate(candidate, pos) == QValidator::Invalid)
                continue;
        }
        insert(m_asciiList.at(i));
        setSelection(start, 1);
        return;
    }
}
