#pragma once

#include <QModelIndex>
#include <QString>
#include <QWidget>

class FileSystemEditModel;
class FuncFile;
class Ui_PictUSBFile;

class DataLogger;
namespace vek {
class AcquireTrigger;
} // namespace vek

// The measurement-data file page: the tree of /run/media with the CSV files of every stick;
// "Save As" writes the record logger's records to a new "Untitled<n>.csv" in the current
// folder of a stick and opens the new name's editor, "Rename" renames in place. No new file
// while an acquisition is initiated (from the acquisition's initchanged(true) until it is idle,
// whether the page is shown or not). GUI thread only.
class PictUSBFile : public QWidget
{
    Q_OBJECT

public:
    // The logger and the acquisition outlive the page; acquire may be null (no block then).
    PictUSBFile(QWidget *parent, DataLogger *logger, vek::AcquireTrigger *acquire);
    ~PictUSBFile() override;

    // Writes the logged records to path on a stick, which is writable only for the write.
    // 0, or -310 for an empty path, a path not on a stick, a failed remount (nothing is
    // written then) or a failed write.
    short saveFile(const QString &path);
    // folder + "/Untitled<n>.csv" with the lowest n from 1 to 999 whose file does not exist in
    // folder; empty when all 999 exist.
    static QString generateSaveName(const QString &folder);

    FuncFile *funcFile() const { return m_func; }
    FileSystemEditModel *fileModel() const { return m_model; }

protected:
    // F2 on the file list is swallowed.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private Q_SLOTS:
    void onSave();
    void onSaveAs();
    void onRename();
    void onCurrentChange(const QModelIndex &current, const QModelIndex &previous);
    void onDirectoryChange(const QString &path);

private:
    void createWidgets();
    void createLayout();
    void createConnections();

    Ui_PictUSBFile *m_ui;
    FileSystemEditModel *m_model = nullptr;
    FuncFile *m_func = nullptr;
    DataLogger *m_logger;
    vek::AcquireTrigger *m_acquire;
};
