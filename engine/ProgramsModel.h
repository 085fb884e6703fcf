#pragma once

#include "engine/EngineTypes.h"
#include "engine/ProgramItem.h"

#include <QAbstractItemModel>
#include <QMutex>
#include <QString>

#include <functional>

class ModelInformation;
class ProgramStepsModel;

namespace ioc {
class AvlTree;
}

// The programs of the present operating mode as a one-column tree: one item per program
// directory under the mode directory (m_programPath, a board path such as
// /etc/instr/programs/cc), sub-programs as children. The column shows the name, checked for the
// selected program. The model creates, renames and deletes program directories, keeps the
// selected program's whole top-level family loaded as step trees, and points the step table
// model at the selected program.
//
// A program's path is "/" followed by the names from its top-level program down to it
// (/Red/Blue); its directory is m_programPath followed by the path. Names must match
// nameIsValid(). Every board path goes through platform::BoardPath.
//
// Threads: the model lives in the GUI thread and every operation runs there, except
// selectProgramName(), which the parser thread may call at any time.
class ProgramsModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    using SCPIERR_T = vek::SCPIERR_T;

    // Directory levels below the mode directory that scanning and deleting enter; deeper
    // directories are not shown, and a program holding any cannot be deleted.
    static constexpr int MaxDepth = 32;
    // "New Program1" .. "New Program100".
    static constexpr int MaxProposals = 100;

    // Receives the error of a refused rename from the panel (setData); the panel's pages install
    // one that shows it. Without one the refusal is only seen as the name staying as it was.
    using RefusalHandler = std::function<void(SCPIERR_T error)>;

    // info must outlive the model; root (owned from now on) may be null.
    explicit ProgramsModel(
        const ModelInformation *info, ProgramItem *root = nullptr, QObject *parent = nullptr);
    ~ProgramsModel() override;

    void setRefusalHandler(RefusalHandler handler);
    ProgramStepsModel *stepsModel() const { return m_stepsModel; }
    QString programPath() const { return m_programPath; }

    // Rebuilds the tree from programPath, the directory of the new mode: deselects, then scans
    // the sub-directories (never through a symbolic link, at most MaxDepth levels) into a new
    // root, sorted by name without regard to case.
    void loadDirectory(const QString &programPath);
    // Installs root (owned from now on) in place of the present tree, which is destroyed after
    // the selection is dropped.
    void setMode(ProgramItem *root);
    // Drops the selection and destroys the whole tree.
    void clear();

    // The selected program's path, empty when none. Safe from any thread.
    QString selectProgramName() const;
    // Null for a path that names no program; the root item for the empty path.
    ProgramItem *itemForPath(const QString &path) const;
    // The root item for an invalid index.
    ProgramItem *itemForIndex(const QModelIndex &index) const;
    // Invalid for null and for the root.
    QModelIndex index(ProgramItem *item) const;
    ProgramItem *rootItem() const { return m_rootItem; }
    ProgramItem *selectedItem() const { return m_selectedItem; }

    // --- Program management (SCPI error numbers; the remote commands end here) ---
    // Appends a new program with one default step: 313 while a program is selected; 302 when
    // the parent path names no program, the name exists or the directory or its program file
    // cannot be written (nothing is left behind then); 301 for a name not allowed; -311 when
    // the step pool cannot hold the step.
    SCPIERR_T doCreate(const QString &path);
    // Deletes a program with its sub-programs: 305 while a program is selected; 303 for an empty
    // path, one that names no program, or a directory that could not be removed.
    SCPIERR_T doDelete(const QString &path);
    // Selects the program of path (303 when there is none); the empty path deselects.
    SCPIERR_T selected(const QString &path);
    // Renames the selected program in place to the last component of path: 304 without a
    // selection, 301 for a name not allowed, 302 when the name is taken or the rename fails.
    SCPIERR_T rename(const QString &path);
    // Writes the selected program's program and last-step files: 304 without a selection;
    // -310 when a file could not be written (the step model reports the detail).
    SCPIERR_T save();
    // The step tree of path's program (of the selected one for the empty path); null when
    // there is no such program or it is not loaded.
    ioc::AvlTree *searchProgramObject(const QString &path) const;

    // --- Selection and files ---
    // Selects item, loading its top-level family unless that family is loaded already.
    void loadProgramsObject(ProgramItem *item);
    // Unloads the selected program's family; nothing without a selection.
    void deleteProgramsObject();
    // Loads item's and its descendants' program files into new step trees.
    void openProgramsObject(ProgramItem *item);
    // Destroys the step trees of item and its descendants.
    void closeProgramsObject(ProgramItem *item);
    // Writes the new directory of item (its parent set, not yet among the children) with a
    // program file of one default step: 0, 302, or -311 when the step pool is full. A directory
    // made for a program file that then failed is removed again.
    SCPIERR_T createProgramObject(ProgramItem *item);
    // Removes item's directory with everything below it, never through a symbolic link (a link
    // is removed as a link): 305 while any program is selected, else 0 or 303.
    SCPIERR_T deleteProgramsFile(ProgramItem *item);
    // Renames item's directory within its parent directory: 0 (also for the same name), 301 or
    // 302. When item is the selected program, it takes the name and programSelected() follows.
    SCPIERR_T renameProgramsFile(ProgramItem *item, const QString &name);
    // 301 for a name not allowed, 302 when the parent's directory has that entry, else 0.
    SCPIERR_T checkProgramName(ProgramItem *parent, const QString &name) const;
    // The name a remote create asked for (once); else the first free "New Program%1", or
    // empty when all MaxProposals are taken.
    QString generateProgramName(ProgramItem *parent);
    void saveProgramObject(const ProgramItem *) { }

    // Whether name may name a program: at least one character; the first a letter, digit,
    // underscore, white space or one of - + , ( ) { } [ ] & $ # ^ % @ =, the others also ".";
    // no control characters.
    static bool nameIsValid(const QString &name);

    // A program run is in progress: the panel can no longer check or rename programs. Set and
    // cleared by the program selection page.
    void setRunActive(bool active) { m_runActive = active; }
    bool runActive() const { return m_runActive; }

    // --- Item model ---
    QModelIndex index(
        int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Edit role: renames (a refusal goes to the refusal handler and gives false). Check-state
    // role: selects (checked) or deselects.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Adds count new programs with proposed names at row; false while a program is selected
    // (nothing changes) or when not all could be added. Only the rows added are announced.
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    // Deletes count programs from row with their directories, stopping at the first that cannot
    // be removed; false unless all were.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

Q_SIGNALS:
    // After every selection, deselection and rename of the selected program.
    void programSelected();

private:
    // The board path of item's directory.
    QString directoryOf(const ProgramItem *item) const;
    // Makes up to count new programs under parent (not yet in the tree), in order; the first
    // refusal is left in *error.
    QList<ProgramItem *> makePrograms(ProgramItem *parent, int count, SCPIERR_T *error);
    // Inserts count programs, announcing exactly those added; their number.
    int addPrograms(ProgramItem *parent, int row, int count, SCPIERR_T *error);
    // Removes up to count programs from row; the first failure is left in *error.
    int removePrograms(ProgramItem *parent, int row, int count, SCPIERR_T *error);
    void scan(ProgramItem *item, const QString &relative, int depth);
    // Points the step model at the selected program's tree, or at none.
    void restoreStepsModel();
    // Refreshes the copy of the selected path that selectProgramName() reads.
    void updateSelectedPath();

    ProgramItem *m_rootItem = nullptr; // owned, with the whole tree
    ProgramItem *m_selectedItem = nullptr;
    ProgramStepsModel *m_stepsModel = nullptr; // Qt child
    QString m_programPath = QStringLiteral("/etc/instr/programs/cc");
    QString m_requestedName;
    RefusalHandler m_refusalHandler;
    bool m_runActive = false;

    mutable QMutex m_selectedPathMutex; // guards m_selectedPath
    QString m_selectedPath;
};
