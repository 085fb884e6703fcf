#pragma once

class FuncButton;
class GroupFunc;
class QVBoxLayout;
class QWidget;
class zoDoubleSpinBox;

// The level page's basic keys: the value key (the mode's level), slew rate, OPP, OCP and UVP in
// the radio group "basic", and the action key below it with a check state of its own.
class Ui_FuncSourLevelBasic2
{
public:
    QVBoxLayout *verticalLayout;
    GroupFunc *basic;
    QVBoxLayout *verticalLayoutBasic;
    FuncButton *value;
    FuncButton *slewRate;
    FuncButton *opp;
    FuncButton *ocp;
    FuncButton *uvp;
    FuncButton *action;

    void setupUi(QWidget *form);
    void retranslateUi(QWidget *form);
};

// The level page's arbitrary-table keys: table, slew rate, OPP and UVP in the group "arbitray",
// and the count key with the entry of the number of curve points over its lower half.
class Ui_FuncSourLevelArbitrary
{
public:
    QVBoxLayout *verticalLayout;
    GroupFunc *arbitray;
    QVBoxLayout *verticalLayout_3;
    FuncButton *table;
    FuncButton *slewRate;
    FuncButton *opp;
    FuncButton *uvp;
    GroupFunc *count;
    FuncButton *countButton;
    zoDoubleSpinBox *arbCount;

    void setupUi(QWidget *form);
    void retranslateUi(QWidget *form);
};
