#include <QtTest>
class tst_zoDialogMessage : public QObject { Q_OBJECT };
QTEST_MAIN(tst_zoDialogMessage)
#include "tst_zoDialogMessage.moc"
