#include "engine/ProgramsModel.h"

#include "engine/ProgramStepsModel.h"
#include "engine/ioc/AvlTree.h"
#include "platform/BoardPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>

#include <limits>

namespace {

namespace Error = vek::Error;
using platform::BoardPath;

// One name, as "/" + name must match the name scheme as a whole: letters (in any script),
// digits, underscore, white space and - + , ( ) { } [ ] & $ # ^ % @ =; the full stop too, except
// in front. A "/" never belongs to a name.
const QRegularExpression &nameScheme()
{
    static const QRegularExpression scheme(
        QStringLiteral("\\A[\\w\\-+,(){}\\[\\]&$#^%@=\\s][.\\w\\-+,(){}\\[\\]&$#^%@=\\s]*\\z"),
        QRegularExpression::UseUnicodePropertiesOption);
    return scheme;
}

// Whether something (a broken link included) stands at a file-system path.
bool entryExists(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() || info.exists();
}

// Entries of a directory as they are, links not followed.
QFileInfoList entriesOf(const QString &directory)
{
    return QDir(directory).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Whether no directory below path (links not followed) lies more than levels deep.
bool fitsDepth(const QString &path, int levels)
{
    for (const QFileInfo &entry : entriesOf(path)) {
        if (entry.isDir() && !entry.isSymLink()
            && (levels == 0 || !fitsDepth(entry.filePath(), levels - 1)))
            return false;
    }
    return true;
}

// Removes path and everything below it; a link is removed as a link, never followed.
bool removeTree(const QString &path, int levels)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return QFile::remove(path);
    if (!info.exists())
        return true;
    bool removed = levels >= 0;
    for (const QFileInfo &entry : entriesOf(path)) {
        if (removed)
            removed = removeTree(entry.filePath(), levels - 1);
    }
    return removed && QDir().rmdir(path);
}

} // namespace

ProgramsModel::ProgramsModel(const ModelInformation *info, ProgramItem *root, QObject *parent)
    : QAbstractItemModel(parent)
    , m_rootItem(root)
    , m_stepsModel(new ProgramStepsModel(info, this))
{ }

ProgramsModel::~ProgramsModel()
{
    m_stepsModel->setProgramObject(nullptr);
    delete m_rootItem;
}

void ProgramsModel::setRefusalHandler(RefusalHandler handler)
{
    m_refusalHandler = std::move(handler);
}

void ProgramsModel::loadDirectory(const QString &programPath)
{
    deleteProgramsObject();
    m_programPath = programPath;
    auto *root = new ProgramItem(tr("root"), nullptr, NoProgramObject);
    scan(root, QString(), 1);
    setMode(root);
}

void ProgramsModel::scan(ProgramItem *item, const QString &relative, int depth)
{
    if (depth > MaxDepth)
        return;
    const QStringList names = QDir(BoardPath::map(m_programPath + relative))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                                      QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names) {
        auto *child = new ProgramItem(name, item, NoProgramObject);
        scan(child, relative + QLatin1Char('/') + name, depth + 1);
    }
}

void ProgramsModel::setMode(ProgramItem *root)
{
    deleteProgramsObject();
    beginResetModel();
    if (m_rootItem != root)
        delete m_rootItem;
    m_rootItem = root;
    endResetModel();
}

void ProgramsModel::clear()
{
    setMode(nullptr);
}

QString ProgramsModel::selectProgramName() const
{
    QMutexLocker lock(&m_selectedPathMutex);
    return m_selectedPath;
}

void ProgramsModel::updateSelectedPath()
{
    const QString path = m_selectedItem ? m_selectedItem->searchPath(m_selectedItem) : QString();
    QMutexLocker lock(&m_selectedPathMutex);
    m_selectedPath = path;
}

ProgramItem *ProgramsModel::itemForPath(const QString &path) const
{
    if (path.isEmpty())
        return m_rootItem;
    QStringList parts = path.split(QLatin1Char('/'));
    if (!parts.first().isEmpty())
        return nullptr;
    parts.removeFirst();
    ProgramItem *item = m_rootItem;
    for (const QString &part : qAsConst(parts)) {
        if (!item || part.isEmpty())
            return nullptr;
        ProgramItem *match = nullptr;
        for (ProgramItem *child : qAsConst(item->m_children)) {
            if (child->m_name == part) {
                match = child;
                break;
            }
        }
        item = match;
    }
    return item;
}

ProgramItem *ProgramsModel::itemForIndex(const QModelIndex &index) const
{
    if (!index.isValid())
        return m_rootItem;
    return static_cast<ProgramItem *>(index.internalPointer());
}

QModelIndex ProgramsModel::index(ProgramItem *item) const
{
    if (!item || !item->m_parent)
        return QModelIndex();
    return createIndex(item->row(), 0, item);
}

QString ProgramsModel::directoryOf(const ProgramItem *item) const
{
    return m_programPath + item->searchPath(item);
}

// --- Program management ---

ProgramsModel::SCPIERR_T ProgramsModel::doCreate(const QString &path)
{
    if (m_selectedItem)
        return Error::CreateDuringSelection;
    if (!m_rootItem)
        m_rootItem = new ProgramItem(QString(), nullptr, NoProgramObject);
    QStringList parts = path.split(QLatin1Char('/'));
    const QString name = parts.takeLast();
    ProgramItem *parent = itemForPath(parts.join(QLatin1Char('/')));
    if (!parent)
        return Error::ProgramNameExists;
    const SCPIERR_T check = checkProgramName(parent, name);
    if (check != 0)
        return check;
    m_requestedName = name;
    SCPIERR_T error = 0;
    addPrograms(parent, parent->m_children.size(), 1, &error);
    m_requestedName.clear();
    return error;
}

ProgramsModel::SCPIERR_T ProgramsModel::doDelete(const QString &path)
{
    if (m_selectedItem)
        return Error::SelectedProgramDelete;
    ProgramItem *item = path.isEmpty() ? nullptr : itemForPath(path);
    if (!item || !item->m_parent)
        return Error::ProgramNotFound;
    SCPIERR_T error = 0;
    removePrograms(item->m_parent, item->row(), 1, &error);
    return error;
}

ProgramsModel::SCPIERR_T ProgramsModel::selected(const QString &path)
{
    if (path.isEmpty()) {
        if (m_selectedItem)
            setData(index(m_selectedItem), Qt::Unchecked, Qt::CheckStateRole);
        return 0;
    }
    ProgramItem *item = itemForPath(path);
    if (!item || !item->m_parent)
        return Error::ProgramNotFound;
    setData(index(item), Qt::Checked, Qt::CheckStateRole);
    return 0;
}

ProgramsModel::SCPIERR_T ProgramsModel::rename(const QString &path)
{
    if (!m_selectedItem)
        return Error::ProgramNotSelected;
    const SCPIERR_T result =
        renameProgramsFile(m_selectedItem, path.split(QLatin1Char('/')).constLast());
    const QModelIndex selected = index(m_selectedItem);
    emit dataChanged(selected, selected);
    return result;
}

ProgramsModel::SCPIERR_T ProgramsModel::save()
{
    if (!m_selectedItem)
        return Error::ProgramNotSelected;
    const QString directory = directoryOf(m_selectedItem);
    // The last-step file is kept as it was when its program file could not be written.
    if (!m_stepsModel->save(directory) || !m_stepsModel->saveLaststep(directory))
        return Error::SystemError;
    return 0;
}

ioc::AvlTree *ProgramsModel::searchProgramObject(const QString &path) const
{
    if (path.isEmpty())
        return m_selectedItem ? m_selectedItem->m_programObject : nullptr;
    const ProgramItem *item = itemForPath(path);
    return item && item->m_parent ? item->m_programObject : nullptr;
}

// --- Selection and files ---

void ProgramsModel::loadProgramsObject(ProgramItem *item)
{
    if (!item || !item->m_parent)
        return;
    ProgramItem *top = item->searchParent(item).constFirst();
    if (m_selectedItem) {
        ProgramItem *previous = m_selectedItem;
        if (previous->searchParent(previous).constFirst() != top) {
            deleteProgramsObject();
            openProgramsObject(top);
        } else {
            previous->m_selected = false;
            m_selectedItem = nullptr;
            const QModelIndex old = index(previous);
            emit dataChanged(old, old, { Qt::CheckStateRole });
        }
    } else {
        openProgramsObject(top);
    }
    m_stepsModel->setProgramObject(item->m_programObject);
    item->m_selected = true;
    m_selectedItem = item;
    updateSelectedPath();
    const QModelIndex selected = index(item);
    emit dataChanged(selected, selected, { Qt::CheckStateRole });
    emit programSelected();
}

void ProgramsModel::deleteProgramsObject()
{
    ProgramItem *previous = m_selectedItem;
    if (!previous)
        return;
    closeProgramsObject(previous->searchParent(previous).constFirst());
    previous->m_selected = false;
    m_selectedItem = nullptr;
    m_stepsModel->setProgramObject(nullptr);
    updateSelectedPath();
    const QModelIndex old = index(previous);
    emit dataChanged(old, old, { Qt::CheckStateRole });
    emit programSelected();
}

void ProgramsModel::openProgramsObject(ProgramItem *item)
{
    delete item->m_programObject;
    item->m_programObject = new ioc::AvlTree;
    const QString directory = directoryOf(item);
    m_stepsModel->setProgramObject(item->m_programObject);
    m_stepsModel->load(directory);
    for (ProgramItem *child : qAsConst(item->m_children))
        openProgramsObject(child);
    // The children took the step model over; the last step belongs in this item's own tree.
    m_stepsModel->setProgramObject(item->m_programObject);
    m_stepsModel->loadLaststep(directory);
}

void ProgramsModel::closeProgramsObject(ProgramItem *item)
{
    delete item->m_programObject;
    item->m_programObject = nullptr;
    for (ProgramItem *child : qAsConst(item->m_children))
        closeProgramsObject(child);
}

void ProgramsModel::restoreStepsModel()
{
    m_stepsModel->setProgramObject(m_selectedItem ? m_selectedItem->m_programObject : nullptr);
}

ProgramsModel::SCPIERR_T ProgramsModel::createProgramObject(ProgramItem *item)
{
    m_stepsModel->setProgramObject(item->m_programObject);
    m_stepsModel->setCurrentProtectionLevel(std::numeric_limits<int>::max());
    m_stepsModel->setPowerProtectionLevel(std::numeric_limits<int>::max());
    SCPIERR_T result =
        item->m_programObject ? m_stepsModel->insertSteps(-1, 1) : Error::MemoryError;
    if (result == 0) {
        const QString directory = directoryOf(item);
        const QString path = BoardPath::map(directory);
        if (!QDir().mkdir(path)) {
            result = Error::ProgramNameExists;
        } else if (!m_stepsModel->save(directory)) {
            removeTree(path, 0);
            result = Error::ProgramNameExists;
        }
    }
    restoreStepsModel();
    return result;
}

ProgramsModel::SCPIERR_T ProgramsModel::deleteProgramsFile(ProgramItem *item)
{
    if (m_selectedItem)
        return Error::SelectedProgramDelete;
    const QString path = BoardPath::map(directoryOf(item));
    if (!fitsDepth(path, MaxDepth) || !removeTree(path, MaxDepth))
        return Error::ProgramNotFound;
    return 0;
}

ProgramsModel::SCPIERR_T ProgramsModel::renameProgramsFile(ProgramItem *item, const QString &name)
{
    if (name == item->m_name)
        return 0;
    if (!nameIsValid(name))
        return Error::IllegalProgramName;
    if (!item->m_parent)
        return Error::ProgramNotFound;
    const QString from = BoardPath::map(directoryOf(item));
    const QString to = BoardPath::map(directoryOf(item->m_parent) + QLatin1Char('/') + name);
    // A rename onto an empty directory would replace it; a taken name is refused instead.
    if (entryExists(to) || !QDir().rename(from, to))
        return Error::ProgramNameExists;
    if (item == m_selectedItem) {
        item->m_name = name;
        updateSelectedPath();
        emit programSelected();
    }
    return 0;
}

ProgramsModel::SCPIERR_T ProgramsModel::checkProgramName(
    ProgramItem *parent, const QString &name) const
{
    if (!nameIsValid(name))
        return Error::IllegalProgramName;
    if (entryExists(BoardPath::map(directoryOf(parent) + QLatin1Char('/') + name)))
        return Error::ProgramNameExists;
    return 0;
}

QString ProgramsModel::generateProgramName(ProgramItem *parent)
{
    if (!m_requestedName.isEmpty()) {
        QString name;
        name.swap(m_requestedName);
        return name;
    }
    const QString directory = BoardPath::map(directoryOf(parent)) + QLatin1Char('/');
    for (int n = 1; n <= MaxProposals; ++n) {
        const QString candidate = tr("New Program%1").arg(n);
        if (!entryExists(directory + candidate))
            return candidate;
    }
    return QString();
}

bool ProgramsModel::nameIsValid(const QString &name)
{
    if (!nameScheme().match(name).hasMatch())
        return false;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QList<ProgramItem *> ProgramsModel::makePrograms(ProgramItem *parent, int count, SCPIERR_T *error)
{
    QList<ProgramItem *> made;
    for (int i = 0; i < count; ++i) {
        const QString name = generateProgramName(parent);
        SCPIERR_T result = checkProgramName(parent, name);
        if (result == 0) {
            auto *item = new ProgramItem(name, nullptr, NewProgramObject);
            item->m_parent = parent;
            result = createProgramObject(item);
            closeProgramsObject(item);
            if (result == 0)
                made.append(item);
            else
                delete item;
        }
        if (result != 0 && *error == 0)
            *error = result;
    }
    return made;
}

int ProgramsModel::addPrograms(ProgramItem *parent, int row, int count, SCPIERR_T *error)
{
    const QList<ProgramItem *> made = makePrograms(parent, count, error);
    if (made.isEmpty())
        return 0;
    beginInsertRows(index(parent), row, row + made.size() - 1);
    // Each goes in at row, in front of the one made before it.
    for (ProgramItem *item : made)
        parent->m_children.insert(row, item);
    endInsertRows();
    return made.size();
}

int ProgramsModel::removePrograms(ProgramItem *parent, int row, int count, SCPIERR_T *error)
{
    const QModelIndex parentIndex = index(parent);
    for (int removed = 0; removed < count; ++removed) {
        const SCPIERR_T result = deleteProgramsFile(parent->m_children.at(row));
        if (result != 0) {
            *error = result;
            return removed;
        }
        beginRemoveRows(parentIndex, row, row);
        delete parent->takeChild(row);
        endRemoveRows();
    }
    return count;
}

// --- Item model ---

QModelIndex ProgramsModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!m_rootItem || row < 0 || column != 0 || (parent.isValid() && parent.column() != 0))
        return QModelIndex();
    const ProgramItem *item = itemForIndex(parent);
    if (row >= item->m_children.size())
        return QModelIndex();
    return createIndex(row, 0, item->m_children.at(row));
}

QModelIndex ProgramsModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return QModelIndex();
    return index(static_cast<ProgramItem *>(child.internalPointer())->m_parent);
}

int ProgramsModel::rowCount(const QModelIndex &parent) const
{
    if (!m_rootItem || parent.column() > 0)
        return 0;
    return itemForIndex(parent)->m_children.size();
}

int ProgramsModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant ProgramsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() != 0)
        return QVariant();
    const ProgramItem *item = itemForIndex(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return item->m_name;
    case Qt::CheckStateRole:
        return item->m_selected ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant ProgramsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("Program Name");
    case 1:
        return tr("Loop");
    case 2:
        return tr("Count(total)");
    default:
        return QVariant();
    }
}

Qt::ItemFlags ProgramsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractItemModel::flags(index);
    if (!index.isValid() || index.column() != 0)
        return flags;
    flags |= Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!m_runActive)
        flags |= Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
    return flags;
}

bool ProgramsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != 0)
        return false;
    ProgramItem *item = itemForIndex(index);
    if (role == Qt::EditRole) {
        const QString name = value.toString();
        const SCPIERR_T result = renameProgramsFile(item, name);
        if (result != 0) {
            if (m_refusalHandler)
                m_refusalHandler(result);
            return false;
        }
        item->m_name = name;
        updateSelectedPath();
        emit dataChanged(index, index);
        return true;
    }
    if (role == Qt::CheckStateRole) {
        if (value.toInt() == Qt::Unchecked)
            deleteProgramsObject();
        else
            loadProgramsObject(item);
        emit dataChanged(index, index);
        return true;
    }
    return false;
}

bool ProgramsModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (m_selectedItem)
        return false;
    if (!m_rootItem)
        m_rootItem = new ProgramItem(QString(), nullptr, NoProgramObject);
    ProgramItem *item = itemForIndex(parent);
    if (row < 0 || row > item->m_children.size() || count < 1)
        return false;
    SCPIERR_T error = 0;
    return addPrograms(item, row, count, &error) == count;
}

bool ProgramsModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (!m_rootItem)
        return false;
    ProgramItem *item = itemForIndex(parent);
    if (row < 0 || count < 1 || row + count > item->m_children.size())
        return false;
    SCPIERR_T error = 0;
    return removePrograms(item, row, count, &error) == count;
}
