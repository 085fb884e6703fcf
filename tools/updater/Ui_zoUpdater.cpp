#include "tools/updater/Ui_zoUpdater.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace {
QFont tenPoints(const QWidget *widget)
{
    QFont font = widget->font();
    font.setPointSize(10);
    return font;
}
} // namespace

void Ui_zoUpdater::setupUi(QWidget *window)
{
    window->setObjectName(QStringLiteral("zoUpdater"));
    window->resize(671, 460);
    window->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    window->setMinimumSize(320, 240);
    window->setMaximumSize(800, 480);

    actionStart = new QAction(window);
    actionStart->setObjectName(QStringLiteral("actionStart"));
    actionStart->setShortcut(QKeySequence(Qt::Key_Return));
    actionStart->setChecked(false);
    actionStart->setFont(tenPoints(window));
    actionCancel = new QAction(window);
    actionCancel->setObjectName(QStringLiteral("actionCancel"));
    actionCancel->setShortcut(QKeySequence(Qt::Key_Escape));

    verticalLayout = new QVBoxLayout(window);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(4);
    verticalLayout->setContentsMargins(4, 4, 4, 4);

    textEdit = new QTextEdit(window);
    textEdit->setObjectName(QStringLiteral("textEdit"));
    textEdit->setFont(tenPoints(textEdit));
    textEdit->setLineWidth(0);
    textEdit->setStyleSheet(QString());
    textEdit->setReadOnly(true);
    verticalLayout->addWidget(textEdit);

    label = new QLabel(window);
    label->setObjectName(QStringLiteral("label"));
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setFont(tenPoints(label));
    verticalLayout->addWidget(label);

    progressBar = new QProgressBar(window);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    progressBar->setFont(tenPoints(progressBar));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    verticalLayout->addWidget(progressBar);
    verticalLayout->setStretch(0, 1);

    retranslateUi(window);
}

void Ui_zoUpdater::retranslateUi(QWidget *window)
{
    window->setWindowTitle(QCoreApplication::translate("zoUpdater", "ZOUPDATER"));
    actionStart->setText(QCoreApplication::translate("zoUpdater", "start"));
    actionCancel->setText(QCoreApplication::translate("zoUpdater", "cancel"));
    textEdit->setHtml(QCoreApplication::translate("zoUpdater",
        "<p style=\"margin:0\"><span style=\"font-family:'DejaVu Sans'; font-size:10pt;\"><br/>"
        "</span></p>"));
    label->setText(QCoreApplication::translate("zoUpdater", "TextLabel"));
}
