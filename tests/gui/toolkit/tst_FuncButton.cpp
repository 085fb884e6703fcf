#include <QtTest>
class tst_FuncButton : public QObject { Q_OBJECT };
QTEST_MAIN(tst_FuncButton)
#include "tst_FuncButton.moc"
