#pragma once

class QFrame;
class QHBoxLayout;
class QLabel;
class QTreeView;
class QVBoxLayout;
class QWidget;

// The setup-file page's form: heading, file list, a white line and the setup's contents below;
// the page adds its key panel on the right of horizontalLayout. The object names "file" and
// "data" let Up and Down through the main window's key lock.
class Ui_PictFile
{
public:
    QHBoxLayout *horizontalLayout;
    QVBoxLayout *verticalLayout;
    QLabel *label;
    QTreeView *file;
    QFrame *line;
    QTreeView *data;

    void setupUi(QWidget *form);
    void retranslateUi(QWidget *form);
};
