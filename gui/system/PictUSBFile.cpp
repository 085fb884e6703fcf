#include "gui/system/PictUSBFile.h"

#include "engine/AcquireTrigger.h"
#include "engine/DataLogger.h"
#include "gui/system/FilePageActions.h"
#include "gui/system/FileSystemDelegate.h"
#include "gui/system/FileSystemEditModel.h"
#include "gui/system/SystemKeyPages.h"
#include "gui/system/Ui_PictUSBFile.h"
#include "gui/toolkit/FuncButton.h"
#include "platform/BoardPath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeView>

using platform::BoardPath;

namespace {
constexpr short ExecutionError = -200;
const QString MediaRoot = QStringLiteral("/run/media");
const QString Suffix = QStringLiteral("csv");

// The media root, the setups link and the mount points cannot be renamed.
bool renamable(const QString &path)
{
    return BoardPath::unmap(path).split(QLatin1Char('/'), Qt::SkipEmptyParts).size() > 3;
}
} // namespace

PictUSBFile::PictUSBFile(QWidget *parent, DataLogger *logger, vek::AcquireTrigger *acquire)
    : QWidget(parent)
    , m_ui(new Ui_PictUSBFile)
    , m_logger(logger)
    , m_acquire(acquire)
{
    createWidgets();
    createLayout();
    createConnections();
    m_ui->file->installEventFilter(this);
    const QModelIndex root = m_model->index(BoardPath::map(MediaRoot));
    onCurrentChange(root, root);
}

PictUSBFile::~PictUSBFile()
{
    delete m_ui;
}

void PictUSBFile::createWidgets()
{
    m_ui->setupUi(this);
    m_model = new FileSystemEditModel(this, Suffix);
    const QModelIndex root = m_model->index(BoardPath::map(MediaRoot));
    m_ui->file->header()->setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    m_ui->file->setModel(m_model);
    m_ui->file->setItemDelegate(new FileSystemDelegate(this));
    m_ui->file->setRootIndex(root);
    m_ui->file->setCurrentIndex(root);
    m_ui->file->scrollTo(root);
    m_ui->file->resizeColumnToContents(0);
    for (int column = 1; column <= 3; ++column)
        m_ui->file->hideColumn(column);
    m_func = new FuncFile(this, FuncWidget::Red);
}

void PictUSBFile::createLayout()
{
    m_ui->horizontalLayout->addWidget(m_func);
}

void PictUSBFile::createConnections()
{
    auto *watcher = new QFileSystemWatcher(this);
    watcher->addPath(BoardPath::map(MediaRoot));
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &PictUSBFile::onDirectoryChange);
    connect(m_func->m_saveButton, &QAbstractButton::clicked, this, &PictUSBFile::onSave);
    connect(m_func->m_saveAsButton, &QAbstractButton::clicked, this, &PictUSBFile::onSaveAs);
    connect(m_func->m_renameButton, &QAbstractButton::clicked, this, &PictUSBFile::onRename);
    connect(m_ui->file->selectionModel(),
        &QItemSelectionModel::currentChanged,
        this,
        &PictUSBFile::onCurrentChange);
    if (m_acquire)
        connect(m_acquire, &vek::AcquireTrigger::initchanged, m_func, &FuncFile::SetSaveBtn);
}

QString PictUSBFile::generateSaveName(const QString &folder)
{
    return filepage::untitledPath(
        folder, QCoreApplication::translate("PictUSBFile", "Untitled%1.csv"));
}

short PictUSBFile::saveFile(const QString &path)
{
    if (path.isEmpty() || !m_model->validateUSBStorage(path))
        return FileSystemEditModel::MediaError;
    if (!m_logger)
        return ExecutionError;
    if (m_model->remountWritableIfNeeded(path) != 0)
        return FileSystemEditModel::MediaError;
    const bool written = m_logger->save(path);
    // A stick left writable after a good write loses nothing; the write's result counts.
    m_model->remountReadonlyIfNeeded(path);
    return written ? 0 : FileSystemEditModel::MediaError;
}

void PictUSBFile::onSave()
{
    const short error = saveFile(m_model->filePath(m_ui->file->currentIndex()));
    if (error != 0)
        filepage::showError(this, error);
    onCurrentChange(m_ui->file->currentIndex(), m_ui->file->currentIndex());
}

void PictUSBFile::onSaveAs()
{
    filepage::saveAs(
        m_ui->file, m_model, &PictUSBFile::generateSaveName, [this](const QString &path) {
            return saveFile(path);
        });
}

void PictUSBFile::onRename()
{
    m_ui->file->edit(m_ui->file->currentIndex());
}

void PictUSBFile::onCurrentChange(const QModelIndex &current, const QModelIndex &previous)
{
    Q_UNUSED(previous)
    const QString path = current.isValid() ? m_model->filePath(current) : QString();
    if (path.isEmpty()) {
        m_func->setPathEmptyMode();
        return;
    }
    m_func->setUsbMemoryMode(m_model->validateUSBStorage(path));
    m_func->setOtherFileMode();
    m_func->m_renameButton->setEnabled(renamable(path));
}

void PictUSBFile::onDirectoryChange(const QString &path)
{
    Q_UNUSED(path)
    if (isVisible())
        m_ui->file->setFocus();
}

bool PictUSBFile::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->file && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F2)
        return true;
    return QWidget::eventFilter(watched, event);
}

void PictUSBFile::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    onCurrentChange(m_ui->file->currentIndex(), m_ui->file->currentIndex());
}
