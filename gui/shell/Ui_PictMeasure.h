#pragma once

class QFrame;
class QHBoxLayout;
class QLabel;
class QTextEdit;
class QVBoxLayout;
class QWidget;

// The measurement screen's form: the status row (mode, current range, voltage range, remote and
// LAN tiles), the message row (message box, indicator icons, error badge) and a white line; the
// screen adds its meter/chart stack and settings views below the line and its soft keys on the
// right.
class Ui_PictMeasure
{
public:
    QHBoxLayout *horizontalLayout; // the screen's top layout; the key stack goes on its right
    QVBoxLayout *topLayout;
    QHBoxLayout *infomationUpperLayout;
    QLabel *InfoMode;
    QLabel *infoCRange;
    QLabel *infoVRange;
    QLabel *infoRemote;
    QLabel *infoLan;
    QHBoxLayout *infomationUnderLayout;
    QTextEdit *Message;
    QLabel *cutoffEnable;
    QLabel *cutoffTime;
    QLabel *cutoffVolt;
    QLabel *cutoffCap;
    QLabel *cutoffEner;
    QLabel *infoMeas;
    QLabel *infoProg;
    QLabel *infoSensing;
    QLabel *infoExtLoad;
    QLabel *infoSine;
    QLabel *infoPulse;
    QLabel *infoKeyLock;
    QLabel *infoError;
    QVBoxLayout *SetLayout;
    QFrame *line_info;

    void setupUi(QWidget *PictMeasure);
    void retranslateUi(QWidget *PictMeasure);
};
