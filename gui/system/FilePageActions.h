#pragma once

#include <QString>

#include <functional>

class FileSystemEditModel;
class QTreeView;
class QWidget;

// What the file pages do alike: the new file's name, "Save As" and the error box.
namespace filepage {

// folder + "/" + form with %1 the lowest n from 1 to 999 whose file does not exist; empty when
// all 999 exist.
QString untitledPath(const QString &folder, const QString &form);

// Writes a new file (named by newName in the folder of the list's current entry, the entry
// itself when it is a folder) with save; on 0 the new file becomes the current row with its
// name editor open, otherwise the error shows in the self-closing box. Nothing happens when
// newName finds no free name.
void saveAs(QTreeView *list,
    FileSystemEditModel *model,
    const std::function<QString(const QString &folder)> &newName,
    const std::function<short(const QString &path)> &save);

// The self-closing box with the error's text, over parent; it deletes itself.
void showError(QWidget *parent, short error);

} // namespace filepage
