#include "gui/system/Ui_PictUSBFile.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWidget>

void Ui_PictUSBFile::setupUi(QWidget *form)
{
    form->setObjectName(QStringLiteral("PictUSBFile"));
    form->resize(270, 203);
    form->setCursor(Qt::BlankCursor);
    horizontalLayout = new QHBoxLayout(form);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    label = new QLabel(form);
    label->setObjectName(QStringLiteral("label"));
    label->setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    label->setCursor(Qt::BlankCursor);
    label->setStyleSheet(
        QStringLiteral("color: rgb(255, 255, 255);\nbackground-color: rgb(23, 79, 158);"));
    verticalLayout->addWidget(label);

    file = new QTreeView(form);
    file->setObjectName(QStringLiteral("file"));
    file->setStyleSheet(QStringLiteral("font: 8pt \"DejaVu Sans\";"));
    file->viewport()->setCursor(Qt::BlankCursor);
    file->setAlternatingRowColors(true);
    file->setIndentation(11);
    file->setAnimated(true);
    file->setWordWrap(true);
    verticalLayout->addWidget(file);

    horizontalLayout->addLayout(verticalLayout);
    retranslateUi(form);
}

void Ui_PictUSBFile::retranslateUi(QWidget *form)
{
    form->setWindowTitle(QCoreApplication::translate("PictUSBFile", "Form"));
    label->setText(QCoreApplication::translate("PictUSBFile", "Save the measurement data to USB."));
}
