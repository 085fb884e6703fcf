#include "gui/system/FilePageActions.h"

#include "gui/system/FileSystemEditModel.h"
#include "gui/toolkit/zoMessageBox.h"

#include <QFileInfo>
#include <QTreeView>

namespace filepage {

namespace {
constexpr int MaxUntitled = 999;
}

QString untitledPath(const QString &folder, const QString &form)
{
    for (int n = 1; n <= MaxUntitled; ++n) {
        const QString path = folder + QLatin1Char('/') + form.arg(n);
        if (!QFileInfo::exists(path))
            return path;
    }
    return QString();
}

void saveAs(QTreeView *list,
    FileSystemEditModel *model,
    const std::function<QString(const QString &folder)> &newName,
    const std::function<short(const QString &path)> &save)
{
    const QModelIndex current = list->currentIndex();
    const QString path = model->filePath(current);
    const QString target = newName(model->isDir(current) ? path : QFileInfo(path).path());
    if (target.isEmpty())
        return;
    const short error = save(target);
    if (error != 0) {
        showError(list->window(), error);
        return;
    }
    const QModelIndex created = model->index(target);
    if (!created.isValid())
        return;
    list->setCurrentIndex(created);
    list->scrollTo(created);
    list->edit(created);
}

void showError(QWidget *parent, short error)
{
    auto *box = new zoMessageBox(error, parent);
    QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
    box->open();
}

} // namespace filepage
