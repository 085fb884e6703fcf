#pragma once

#include "engine/Status.h"

#include <QWidget>

class QFrame;
class QLabel;
class QTextEdit;
class QVBoxLayout;

class Ui_SlaveScreen
{
public:
    QVBoxLayout *verticalLayout;
    QLabel *mode;
    QTextEdit *alarmMessage;
    QFrame *line;
    QLabel *parallelMessage;

    void setupUi(QWidget *SlaveScreen);
    void retranslateUi(QWidget *SlaveScreen);
};

// Shown instead of the main window while the unit works as a slave of a parallel group: the
// fixed explanation and the sentence of the present protection alarm, which it follows itself.
// GUI thread; the status object's signals arrive queued.
class SlaveScreen : public QWidget
{
    Q_OBJECT

public:
    // status: the status object whose alarms the screen shows; may be null.
    explicit SlaveScreen(vek::Status *status, QWidget *parent = nullptr);
    ~SlaveScreen() override;

    const Ui_SlaveScreen *form() const { return ui; }

public Q_SLOTS:
    void onStateProtecte(vek::Status::StatusProtections protections);
    void onStateIdle();

private:
    Ui_SlaveScreen *ui;
};
