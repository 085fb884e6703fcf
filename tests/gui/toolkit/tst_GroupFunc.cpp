#include <QtTest>
class tst_GroupFunc : public QObject { Q_OBJECT };
QTEST_MAIN(tst_GroupFunc)
#include "tst_GroupFunc.moc"
