#include "sim/Board.h"

#include <QtTest>

class tst_PowerBoard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { }
};

QTEST_GUILESS_MAIN(tst_PowerBoard)
#include "tst_PowerBoard.moc"
