#pragma once

#include <QDialog>

class Ui_zoDialogMessage;

// The small blue identify indication ("LXI Web Identify"); any key closes it.
class zoDialogMessage : public QDialog
{
    Q_OBJECT

public:
    explicit zoDialogMessage(QWidget *parent = nullptr);
    ~zoDialogMessage() override;

    // Plain or rich text, told apart by the text itself.
    void setTextLabel(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    Ui_zoDialogMessage *ui;
};
