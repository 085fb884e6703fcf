#pragma once

class QAction;
class QLabel;
class QProgressBar;
class QTextEdit;
class QVBoxLayout;
class QWidget;

// The update window's form: a page area, a status line and the update script's progress bar,
// with the two key actions. Texts pass through translation with the context "zoUpdater".
class Ui_zoUpdater
{
public:
    QAction *actionStart = nullptr; // Return: start or retry
    QAction *actionCancel = nullptr; // Escape: cancel or finish
    QVBoxLayout *verticalLayout = nullptr;
    QTextEdit *textEdit = nullptr;
    QLabel *label = nullptr;
    QProgressBar *progressBar = nullptr;

    // Builds the form's widgets as children of window and sets the window's own size and title.
    void setupUi(QWidget *window);
    void retranslateUi(QWidget *window);
};
