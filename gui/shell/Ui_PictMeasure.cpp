#include "gui/shell/Ui_PictMeasure.h"

#include "gui/toolkit/StatusTiles.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QSpacerItem>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QLabel *tile(QWidget *parent, const char *name, int minimumWidth, const QString &style)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setMinimumWidth(minimumWidth);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(style);
    return label;
}

QLabel *icon(QWidget *parent, const char *name, const char *image)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(QPixmap(QLatin1String(image)));
    label->hide();
    return label;
}

} // namespace

void Ui_PictMeasure::setupUi(QWidget *PictMeasure)
{
    PictMeasure->setObjectName(QStringLiteral("PictMeasure"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    PictMeasure->setFont(font);
    PictMeasure->setCursor(Qt::BlankCursor);
    PictMeasure->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);\n"));

    horizontalLayout = new QHBoxLayout(PictMeasure);
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    topLayout = new QVBoxLayout();
    topLayout->setSpacing(0);
    topLayout->setContentsMargins(0, 0, 0, 0);
    horizontalLayout->addLayout(topLayout);

    infomationUpperLayout = new QHBoxLayout();
    infomationUpperLayout->setSpacing(0);
    InfoMode = tile(PictMeasure, "InfoMode", 55, CC_HStatus);
    QFont modeFont(font);
    modeFont.setWeight(50);
    InfoMode->setFont(modeFont);
    infoCRange = tile(PictMeasure, "infoCRange", 50, CC_HStatus);
    infoVRange = tile(PictMeasure, "infoVRange", 55, CV_HStatus);
    infoRemote = tile(PictMeasure, "infoRemote", 65, CP_Status);
    infoLan = tile(PictMeasure, "infoLan", 38, CC_HStatus);
    infomationUpperLayout->addWidget(InfoMode);
    infomationUpperLayout->addWidget(infoCRange);
    infomationUpperLayout->addWidget(infoVRange);
    infomationUpperLayout->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    infomationUpperLayout->addWidget(infoRemote);
    infomationUpperLayout->addWidget(infoLan);
    topLayout->addLayout(infomationUpperLayout);

    infomationUnderLayout = new QHBoxLayout();
    infomationUnderLayout->setSpacing(0);
    infomationUnderLayout->setContentsMargins(0, 0, 0, 0);
    Message = new QTextEdit(PictMeasure);
    Message->setObjectName(QStringLiteral("Message"));
    Message->setReadOnly(true);
    Message->setFocusPolicy(Qt::NoFocus);
    Message->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Message->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Message->setMinimumHeight(20);
    // The views below take the height the screen has to spare.
    Message->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    Message->setMinimumWidth(1); // every indicator shown leaves it little room
    Message->setFrameShape(QFrame::NoFrame);
    Message->setFont(font);
    infomationUnderLayout->addWidget(Message, 1);
    cutoffEnable = icon(PictMeasure, "cutoffEnable", ":/resources/image/cutoff.png");
    cutoffTime = icon(PictMeasure, "cutoffTime", ":/resources/image/cutoffTime.png");
    cutoffVolt = icon(PictMeasure, "cutoffVolt", ":/resources/image/cutoffVolt.png");
    cutoffCap = icon(PictMeasure, "cutoffCap", ":/resources/image/cutoffCap.png");
    cutoffEner = icon(PictMeasure, "cutoffEner", ":/resources/image/cutoffEner.png");
    infoMeas = icon(PictMeasure, "infoMeas", ":/status/image/Meas.png");
    infoMeas->setMinimumHeight(16);
    infoProg = icon(PictMeasure, "infoProg", ":/status/image/program.png");
    infoSensing = icon(PictMeasure, "infoSensing", ":/status/image/sensing.png");
    infoExtLoad = icon(PictMeasure, "infoExtLoad", ":/status/image/extLoad.png");
    infoSine = icon(PictMeasure, "infoSine", ":/status/image/sine.png");
    infoPulse = icon(PictMeasure, "infoPulse", ":/status/image/switching.png");
    infoKeyLock = icon(PictMeasure, "infoKeyLock", ":/status/image/keyLock1.png");
    infoError = new QLabel(PictMeasure);
    infoError->setObjectName(QStringLiteral("infoError"));
    infoError->setMinimumSize(50, 16);
    QFont badgeFont(font);
    badgeFont.setPointSize(6);
    infoError->setFont(badgeFont);
    infoError->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    infoError->setIndent(4);
    infoError->setStyleSheet(
        QStringLiteral("border-image: url(:/status/image/Error.png);\ncolor:rgb(255, 255, 255)"));
    infoError->hide();
    for (QWidget *w : std::initializer_list<QWidget *> { cutoffEnable,
             cutoffTime,
             cutoffVolt,
             cutoffCap,
             cutoffEner,
             infoMeas,
             infoProg,
             infoSensing,
             infoExtLoad,
             infoSine,
             infoPulse,
             infoKeyLock,
             infoError })
        infomationUnderLayout->addWidget(w);
    topLayout->addLayout(infomationUnderLayout);

    SetLayout = new QVBoxLayout();
    SetLayout->setSpacing(1);
    line_info = new QFrame(PictMeasure);
    line_info->setObjectName(QStringLiteral("line_info"));
    line_info->setFrameShape(QFrame::HLine);
    line_info->setFrameShadow(QFrame::Plain);
    line_info->setLineWidth(2);
    line_info->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    SetLayout->addWidget(line_info);
    topLayout->addLayout(SetLayout, 1);

    retranslateUi(PictMeasure);
}

void Ui_PictMeasure::retranslateUi(QWidget *)
{
    InfoMode->setText(QCoreApplication::translate("PictMeasure", "CC"));
    infoCRange->setText(QCoreApplication::translate("PictMeasure", "240A"));
    infoVRange->setText(QCoreApplication::translate("PictMeasure", "150V"));
    infoRemote->setText(QCoreApplication::translate("PictMeasure", "Remote"));
    infoLan->setText(QCoreApplication::translate("PictMeasure", "LAN"));
}
