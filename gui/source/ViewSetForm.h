#pragma once

#include <QCoreApplication>

class Graph;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QWidget;
class zoDoubleSpinBox;
class zoMeasDoubleBox;

// The form of the level and protection view: the source half (level rows, the I-V plot, the
// resistance read-out, voltage and slew rate) and the protection half (OPP, OCP, UVP), each a
// grid of label, entry and unit. All texts are translated in the context "ViewSet".
class Ui_ViewSet
{
public:
    QHBoxLayout *horizontalLayout;
    QGridLayout *viewSourceLayout;
    QLabel *currentLabel;
    zoDoubleSpinBox *setCurrent;
    QLabel *currentUnit;
    QLabel *conductanceLabel;
    zoDoubleSpinBox *setConductance;
    QLabel *conductanceUnit;
    QLabel *powerLabel;
    zoDoubleSpinBox *setPower;
    QLabel *powerUnit;
    Graph *absPlot;
    zoMeasDoubleBox *setResistance;
    QLabel *resistanceUnit;
    QLabel *voltLabel;
    zoDoubleSpinBox *setVolt;
    QLabel *voltUnit;
    QLabel *slewRateLabel;
    zoDoubleSpinBox *setSlewRate;
    QLabel *slewRateUnit;
    QGridLayout *viewProtectLayout;
    QLabel *oppLabel;
    zoDoubleSpinBox *setOpp;
    QLabel *oppUnit;
    QLabel *ocpLabel;
    zoDoubleSpinBox *setOcp;
    QLabel *ocpUnit;
    QLabel *uvpLabel;
    zoDoubleSpinBox *setUvp;
    QLabel *uvpUnit;

    void setupUi(QWidget *form);
    void retranslateUi(QWidget *form);
};
