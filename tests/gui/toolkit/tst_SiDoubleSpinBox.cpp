#include <QtTest>
class tst_SiDoubleSpinBox : public QObject { Q_OBJECT };
QTEST_MAIN(tst_SiDoubleSpinBox)
#include "tst_SiDoubleSpinBox.moc"
