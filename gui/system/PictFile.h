#pragma once

#include <QModelIndex>
#include <QSize>
#include <QString>
#include <QWidget>

class FileSystemEditModel;
class FuncFile;
class JsonModel;
class Ui_PictFile;

namespace vek {
class ELoad;
}

// The setup-file page: the tree of /run/media with the ".info" files of the internal store
// (the link "setups") and of every stick, and below it the contents of the current file.
// Recall and Save work on the engine's setup and A/B/C presets; Save As writes a new
// "Untitled<n>.info" on a stick and opens its name editor; Rename renames on a stick; Property
// moves the focus into the contents, which then grow from 60 to 180 pixels. GUI thread only.
class PictFile : public QWidget
{
    Q_OBJECT

public:
    // engine may be null: Recall, Save and Save As then answer -200, and the contents show
    // every optional row.
    PictFile(QWidget *parent, vek::ELoad *engine);
    ~PictFile() override;

    // Writes the live setup to path, in the internal store or on a stick (writable only for
    // the write). 0, or -310 for an empty path, a path elsewhere (the media root lies in RAM), a
    // failed remount (nothing is written then) or a failed write.
    short saveFile(const QString &path);
    // folder + "/Untitled<n>.info" with the lowest free n from 1 to 999; empty when all exist.
    static QString generateSaveName(const QString &folder);
    // Animates the widget's maximum size to size over 1 s; nothing for a null widget.
    void animateAlignment(QWidget *widget, const QSize &size);

    FuncFile *funcFile() const { return m_func; }
    FileSystemEditModel *fileModel() const { return m_model; }
    JsonModel *contentsModel() const { return m_contents; }

    static constexpr int ContentsHeight = 60; // px, the contents view at rest
    static constexpr int ContentsFocusHeight = 180; // px, while it has the focus

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private Q_SLOTS:
    void onSave();
    void onCurrentChange(const QModelIndex &current, const QModelIndex &previous);
    void onDirectoryChange(const QString &path);
    void onRecall();
    void onSaveAs();
    void onRename();
    void onProperty(bool checked);

private:
    void createWidgets();
    void createLayout();
    void createConnections();
    void refresh();
    // Shows the file's contents (or its rows without values) and sets the keys; false when the
    // file cannot be read (nothing changes then).
    bool showContents(const QString &path, bool usb);

    Ui_PictFile *m_ui;
    FileSystemEditModel *m_model = nullptr;
    JsonModel *m_contents = nullptr;
    FuncFile *m_func = nullptr;
    vek::ELoad *m_engine;
};
