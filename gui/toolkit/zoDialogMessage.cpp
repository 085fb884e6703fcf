#include "gui/toolkit/zoDialogMessage.h"

#include "gui/toolkit/ui_zoDialogMessage.h"

#include <QKeyEvent>

zoDialogMessage::zoDialogMessage(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui_zoDialogMessage)
{
    ui->setupUi(this);
}

zoDialogMessage::~zoDialogMessage()
{
    delete ui;
}

void zoDialogMessage::setTextLabel(const QString &text)
{
    ui->textEdit->setText(text);
}

void zoDialogMessage::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    reject();
}
