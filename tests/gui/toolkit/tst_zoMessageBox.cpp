#include <QtTest>
class tst_zoMessageBox : public QObject { Q_OBJECT };
QTEST_MAIN(tst_zoMessageBox)
#include "tst_zoMessageBox.moc"
