#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Holds the place of a screen or page whose work is not built yet: it shows its class name in
// grey on the widget and keeps, in order, the calls the rest of the panel made on it, so that
// the screens that drive it can be tested. GUI thread only.
class StandIn
{
public:
    // Adds the name label to self's layout (making a vertical one when self has none).
    StandIn(QWidget *self, const char *className);

    const QStringList &calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

    // A key whose work is not built yet (or that has no engine to work on): the self-closing
    // box with -200 ("not available").
    static void refuse(QWidget *over);

protected:
    void record(const QString &call) { m_calls.append(call); }

private:
    QStringList m_calls;
};
