#pragma once

class FuncButton;
class GroupFunc;
class QHBoxLayout;
class QStackedWidget;
class QVBoxLayout;
class QWidget;

// The main window's form: the page row above the soft-key bar FuncMode, whose four pages are the
// menu groups Source (blue), Measure (red), Program (green) and System (yellow), each a row of
// keys bound to F6 (left) to F10. Column groups stack two keys under one panel key.
class Ui_Vek3r
{
public:
    QVBoxLayout *verticalLayout;
    QHBoxLayout *topLayout; // the main window adds its page stack here
    QStackedWidget *FuncMode;

    GroupFunc *FuncModeSource;
    FuncButton *SourceMode;
    FuncButton *SourceRange;
    FuncButton *SourceMore;
    GroupFunc *SourceWaveform; // F9
    FuncButton *SourceSine;
    FuncButton *SourcePulse;
    GroupFunc *SourceLevels; // F10
    FuncButton *SourceLevel;
    FuncButton *SourceABC;

    GroupFunc *FuncModeMeasure;
    FuncButton *subsystAcquire;
    FuncButton *subsystData;
    FuncButton *subsystDisplay;
    FuncButton *subsystSource;
    FuncButton *subsystMemory;

    GroupFunc *FuncModeProgram;
    FuncButton *progSelect;
    FuncButton *progEdit;
    FuncButton *progExecute;
    FuncButton *ProgTriger;
    FuncButton *progMemory;

    GroupFunc *FuncModeSystem;
    GroupFunc *systConfigs; // F6
    FuncButton *systConfig;
    FuncButton *systInterface;
    FuncButton *systFile;
    FuncButton *systError;
    FuncButton *systAdmin;
    FuncButton *systInfomation;

    void setupUi(QWidget *Vek3r);
    // Texts, then the panel keys they would otherwise replace.
    void retranslateUi(QWidget *Vek3r);
};
