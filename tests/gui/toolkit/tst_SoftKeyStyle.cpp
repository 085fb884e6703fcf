#include <QtTest>
class tst_SoftKeyStyle : public QObject { Q_OBJECT };
QTEST_MAIN(tst_SoftKeyStyle)
#include "tst_SoftKeyStyle.moc"
