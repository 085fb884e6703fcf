#include "gui/shell/SlaveScreen.h"

#include "gui/shell/AlarmText.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const char emptyMessage[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" "
    "\"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
    "p, li { white-space: pre-wrap; }\n"
    "</style></head><body style=\" font-family:'DejaVu Sans'; font-size:11pt; font-weight:400; "
    "font-style:normal;\">\n"
    "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; "
    "margin-right:0px; -qt-block-indent:0; text-indent:0px;\"><br /></p></body></html>";

} // namespace

void Ui_SlaveScreen::setupUi(QWidget *SlaveScreen)
{
    if (SlaveScreen->objectName().isEmpty())
        SlaveScreen->setObjectName(QStringLiteral("SlaveScreen"));
    SlaveScreen->resize(342, 241);
    SlaveScreen->setCursor(QCursor(Qt::BlankCursor));

    verticalLayout = new QVBoxLayout(SlaveScreen);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);

    mode = new QLabel(SlaveScreen);
    mode->setObjectName(QStringLiteral("mode"));
    mode->setStyleSheet(
        QStringLiteral("font: 12pt \"DejaVu Sans\";\nbackground-color: rgb(0, 0, 0);"));
    verticalLayout->addWidget(mode, 1);

    alarmMessage = new QTextEdit(SlaveScreen);
    alarmMessage->setObjectName(QStringLiteral("alarmMessage"));
    alarmMessage->setEnabled(true);
    alarmMessage->setReadOnly(true);
    alarmMessage->setStyleSheet(
        QStringLiteral("font: 11pt \"DejaVu Sans\";\nbackground-color: rgb(0, 0, 0);"));
    verticalLayout->addWidget(alarmMessage, 0);

    line = new QFrame(SlaveScreen);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(2);
    line->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    verticalLayout->addWidget(line, 1);

    parallelMessage = new QLabel(SlaveScreen);
    parallelMessage->setObjectName(QStringLiteral("parallelMessage"));
    parallelMessage->setMinimumHeight(80);
    parallelMessage->setWordWrap(true);
    parallelMessage->setStyleSheet(
        QStringLiteral("font: 7pt \"DejaVu Sans\";\nbackground-color: rgb(0, 0, 0);"));
    verticalLayout->addWidget(parallelMessage, 1);

    retranslateUi(SlaveScreen);
}

void Ui_SlaveScreen::retranslateUi(QWidget *SlaveScreen)
{
    SlaveScreen->setWindowTitle(QCoreApplication::translate("SlaveScreen", "Form"));
    mode->setText(QCoreApplication::translate("SlaveScreen",
        "<html><head/><body>"
        "<p><span style=\" font-weight:600; color:#feffff;\">Parallel operation</span></p>"
        "<p align=\"center\"><span style=\" font-size:28pt; font-weight:600; "
        "color:#174f9e;\">Slave</span></p></body></html>"));
    alarmMessage->setHtml(QString::fromLatin1(emptyMessage));
    parallelMessage->setText(QCoreApplication::translate("SlaveScreen",
        "<html><head/><body><p><span style=\" font-size:7pt; color:#ffffff;\">In parallel "
        "operation, one unit becomes a master unit in charge of all controls in parallel "
        "operation. The master unit displays the total current and total wattage of the units "
        "connected in parallel.</span></p></body></html>"));
}

SlaveScreen::SlaveScreen(vek::Status *status, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_SlaveScreen)
{
    ui->setupUi(this);
    qRegisterMetaType<vek::Status::StatusProtections>("StatusProtections");
    if (status) {
        connect(status, &vek::Status::stateProtected, this, &SlaveScreen::onStateProtecte);
        connect(status, &vek::Status::stateIdle, this, &SlaveScreen::onStateIdle);
    }
}

SlaveScreen::~SlaveScreen()
{
    delete ui;
}

void SlaveScreen::onStateProtecte(vek::Status::StatusProtections protections)
{
    ui->alarmMessage->setHtml(alarmSentence(protections, AlarmScreen::Slave));
}

void SlaveScreen::onStateIdle()
{
    ui->alarmMessage->setHtml(QString::fromLatin1(emptyMessage));
}
