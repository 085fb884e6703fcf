#include "engine/ProgramItem.h"

#include "engine/ioc/AvlTree.h"

ProgramItem::ProgramItem(const QString &name, ProgramItem *parent, CreateProgram create)
    : m_name(name)
    , m_parent(parent)
{
    if (parent)
        parent->m_children.append(this);
    if (create == NewProgramObject)
        m_programObject = new ioc::AvlTree;
}

ProgramItem::~ProgramItem()
{
    qDeleteAll(m_children);
    delete m_programObject;
}

QString ProgramItem::searchPath(const ProgramItem *item) const
{
    if (!item || !item->m_parent)
        return QString();
    return searchPath(item->m_parent) + QLatin1Char('/') + item->m_name;
}

QList<ProgramItem *> ProgramItem::searchParent(ProgramItem *item) const
{
    QList<ProgramItem *> chain;
    for (; item && item->m_parent; item = item->m_parent)
        chain.prepend(item);
    return chain;
}

quint32 ProgramItem::count() const
{
    return m_stepCounts.isEmpty() ? 0 : m_stepCounts.first();
}

quint64 ProgramItem::countForProgram() const
{
    quint64 sum = 0;
    for (quint32 steps : m_stepCounts)
        sum += steps;
    for (const ProgramItem *child : m_children)
        sum += child->countForProgram();
    return sum;
}

ProgramItem *ProgramItem::takeChild(int row)
{
    if (row < 0 || row >= m_children.size())
        return nullptr;
    ProgramItem *child = m_children.takeAt(row);
    child->m_parent = nullptr;
    return child;
}

int ProgramItem::row() const
{
    return m_parent ? m_parent->m_children.indexOf(const_cast<ProgramItem *>(this)) : 0;
}
