#pragma once

class QHBoxLayout;
class QLabel;
class QTreeView;
class QVBoxLayout;
class QWidget;

// The measurement-data page's form: a heading over the file list; the page adds its key panel
// on the right of horizontalLayout. The list's object name "file" lets Up and Down through the
// main window's key lock.
class Ui_PictUSBFile
{
public:
    QHBoxLayout *horizontalLayout;
    QVBoxLayout *verticalLayout;
    QLabel *label;
    QTreeView *file;

    void setupUi(QWidget *form);
    void retranslateUi(QWidget *form);
};
