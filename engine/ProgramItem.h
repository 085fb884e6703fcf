#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

namespace ioc {
class AvlTree;
}

// Whether a new item gets an empty step tree of its own.
enum CreateProgram { NoProgramObject = 0, NewProgramObject = 1 };

// One node of the programs tree: a program directory, its sub-programs as children and, while
// its family is loaded, its step tree. The root item stands for the mode directory itself.
// Owned by its parent (the root by the programs model); lives in the GUI thread.
class ProgramItem
{
public:
    // Appends itself to parent's children when a parent is given.
    ProgramItem(const QString &name, ProgramItem *parent, CreateProgram create);
    // Destroys the children, then the step tree.
    ~ProgramItem();

    ProgramItem(const ProgramItem &) = delete;
    ProgramItem &operator=(const ProgramItem &) = delete;

    // "/" and the names from the top-level program down to item; empty for null and the root.
    QString searchPath(const ProgramItem *item) const;
    // The items from item's top-level program down to item; empty for null and the root.
    QList<ProgramItem *> searchParent(ProgramItem *item) const;

    // The first step count, 0 when none is kept; the sum over the item and its descendants.
    quint32 count() const;
    quint64 countForProgram() const;
    // Removes and returns child row (null for a row out of range); it no longer has a parent.
    ProgramItem *takeChild(int row);

    // This item's place among its parent's children, 0 for the root.
    int row() const;

    QString m_name;
    QList<quint32> m_stepCounts;
    bool m_selected = false;
    ProgramItem *m_parent = nullptr;
    QList<ProgramItem *> m_children; // owned
    ioc::AvlTree *m_programObject = nullptr; // owned; null while not loaded
};
