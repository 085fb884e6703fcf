#include "gui/system/Ui_PictFile.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWidget>

namespace {
void listLook(QTreeView *view)
{
    view->setAlternatingRowColors(true);
    view->setIndentation(11);
    view->setAnimated(true);
    view->setWordWrap(true);
}
} // namespace

void Ui_PictFile::setupUi(QWidget *form)
{
    form->setObjectName(QStringLiteral("PictFile"));
    form->resize(265, 201);
    form->setCursor(Qt::BlankCursor);
    horizontalLayout = new QHBoxLayout(form);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);

    label = new QLabel(form);
    label->setObjectName(QStringLiteral("label"));
    label->setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    label->setStyleSheet(
        QStringLiteral("color: rgb(255, 255, 255);\nbackground-color: rgb(23, 79, 158);"));
    label->setMargin(0);
    label->setIndent(5);
    verticalLayout->addWidget(label);

    file = new QTreeView(form);
    file->setObjectName(QStringLiteral("file"));
    file->setStyleSheet(QStringLiteral("font: 8pt \"DejaVu Sans\";"));
    file->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    listLook(file);
    file->header()->setDefaultSectionSize(100);
    verticalLayout->addWidget(file, 2);

    line = new QFrame(form);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(2);
    line->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    verticalLayout->addWidget(line);

    data = new QTreeView(form);
    data->setObjectName(QStringLiteral("data"));
    data->setMaximumHeight(60);
    data->setFont(QFont(QStringLiteral("DejaVu Sans"), 7, QFont::Normal));
    data->setStyleSheet(QStringLiteral("font: 7pt \"DejaVu Sans\";"));
    data->setLineWidth(2);
    listLook(data);
    data->header()->setDefaultSectionSize(60);
    verticalLayout->addWidget(data);

    horizontalLayout->addLayout(verticalLayout);
    retranslateUi(form);
}

void Ui_PictFile::retranslateUi(QWidget *form)
{
    form->setWindowTitle(QCoreApplication::translate("PictFile", "Form"));
    label->setText(QCoreApplication::translate("PictFile", "Files"));
}
