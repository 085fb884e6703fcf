#pragma once

#include <QLineEdit>
#include <QStringList>

class QRegExpValidator;

// Text entry of a panel without a keyboard: Up and Down (and so the rotary encoder) replace the
// selected character by the next or previous one of a fixed list of 95 printable characters,
// skipping every character the pattern of setRegPattern() would reject at that place. With
// nothing selected, the new character is inserted at the caret. The stepped character stays
// selected, so the next Up or Down continues from it. A read-only edit does not step.
class zoUpDownLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit zoUpDownLineEdit(QWidget *parent = nullptr);

    // A regular expression (case-sensitive) that typed and stepped text must fit; an empty
    // pattern removes the restriction.
    void setRegPattern(const QString &pattern);

    // The character list in stepping order: the blank, A-Z, a-z, 0-9, then the punctuation.
    static const QStringList &asciiList() { return m_asciiList; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // steps is +1 (Up) or -1 (Down).
    void stepCharacter(int steps);

    QRegExpValidator *m_validator = nullptr; // child of the edit; kept for a later pattern
    static const QStringList m_asciiList;
};
