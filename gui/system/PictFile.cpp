#include "gui/system/PictFile.h"

#include "engine/ELoad.h"
#include "engine/PanelMemory.h"
#include "gui/system/FilePageActions.h"
#include "gui/system/FileSystemDelegate.h"
#include "gui/system/FileSystemEditModel.h"
#include "gui/system/SetupContents.h"
#include "gui/system/SystemKeyPages.h"
#include "gui/system/Ui_PictFile.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/JsonModel.h"
#include "instrument/ModelInformation.h"
#include "platform/BoardPath.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QPropertyAnimation>
#include <QTreeView>

using platform::BoardPath;

namespace {
constexpr short ExecutionError = -200;
constexpr int AnimationMs = 1000;
constexpr int Unlimited = 16777215; // QWIDGETSIZE_MAX
const QString MediaRoot = QStringLiteral("/run/media");
const QString FirstSlot = QStringLiteral("/run/media/setups/01.info");
const QString Suffix = QStringLiteral("info");

int components(const QString &path)
{
    return BoardPath::unmap(path).split(QLatin1Char('/'), Qt::SkipEmptyParts).size();
}

// A file or folder below the setups link: the internal store.
bool inStore(const QString &path)
{
    return components(path) > 3 && FileSystemEditModel::mediaName(path) == QLatin1String("setups");
}

SetupCapabilities capabilities(vek::ELoad *engine)
{
    SetupCapabilities caps;
    const ModelInformation *info = engine ? engine->info() : nullptr;
    if (!info)
        return SetupCapabilities { true, true, true, false };
    caps.shortFunction = info->iocShort();
    caps.sine = info->hasSine();
    caps.cutoff = info->iocCutoff();
    caps.arbResponse = !info->arbResponse().isEmpty();
    return caps;
}
} // namespace

PictFile::PictFile(QWidget *parent, vek::ELoad *engine)
    : QWidget(parent)
    , m_ui(new Ui_PictFile)
    , m_engine(engine)
{
    createWidgets();
    createLayout();
    createConnections();
    m_ui->file->installEventFilter(this);
    m_ui->data->installEventFilter(this);
    refresh();
}

PictFile::~PictFile()
{
    delete m_contents;
    delete m_ui;
}

void PictFile::createWidgets()
{
    m_ui->setupUi(this);
    m_model = new FileSystemEditModel(this, Suffix);
    const QModelIndex root = m_model->index(BoardPath::map(MediaRoot));
    const QModelIndex first = m_model->index(BoardPath::map(FirstSlot));
    m_ui->file->header()->setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    m_ui->file->setModel(m_model);
    m_ui->file->setItemDelegate(new FileSystemDelegate(this));
    m_ui->file->setRootIndex(root);
    m_ui->file->setCurrentIndex(first.isValid() ? first : root);
    m_ui->file->scrollTo(m_ui->file->currentIndex());
    m_ui->file->resizeColumnToContents(0);
    for (int column = 1; column <= 3; ++column)
        m_ui->file->hideColumn(column);

    m_contents = new JsonModel(buildSetupContents(capabilities(m_engine)));
    m_ui->data->header()->setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    m_ui->data->setModel(m_contents);
    m_ui->data->resizeColumnToContents(0);
    m_func = new FuncFile(this, FuncWidget::Yellow);
}

void PictFile::createLayout()
{
    m_ui->horizontalLayout->addWidget(m_func);
}

void PictFile::createConnections()
{
    auto *watcher = new QFileSystemWatcher(this);
    watcher->addPath(BoardPath::map(MediaRoot));
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &PictFile::onDirectoryChange);
    connect(m_func->m_recallButton, &QAbstractButton::clicked, this, &PictFile::onRecall);
    connect(m_func->m_saveButton, &QAbstractButton::clicked, this, &PictFile::onSave);
    connect(m_func->m_saveAsButton, &QAbstractButton::clicked, this, &PictFile::onSaveAs);
    connect(m_func->m_renameButton, &QAbstractButton::clicked, this, &PictFile::onRename);
    connect(m_func->m_propertyButton, &QAbstractButton::toggled, this, &PictFile::onProperty);
    connect(m_ui->file->selectionModel(),
        &QItemSelectionModel::currentChanged,
        this,
        &PictFile::onCurrentChange);
}

QString PictFile::generateSaveName(const QString &folder)
{
    return filepage::untitledPath(
        folder, QCoreApplication::translate("PictFile", "Untitled%1.info"));
}

short PictFile::saveFile(const QString &path)
{
    if (path.isEmpty() || !(m_model->validateUSBStorage(path) || inStore(path)))
        return FileSystemEditModel::MediaError;
    if (!m_engine || !m_engine->presets())
        return ExecutionError;
    if (m_model->remountWritableIfNeeded(path) != 0)
        return FileSystemEditModel::MediaError;
    const short error = vek::PanelMemory().sav(BoardPath::unmap(path), *m_engine->presets());
    m_model->remountReadonlyIfNeeded(path);
    return error;
}

void PictFile::animateAlignment(QWidget *widget, const QSize &size)
{
    if (!widget)
        return;
    auto *animation = new QPropertyAnimation(widget, "maximumSize", widget);
    animation->setDuration(AnimationMs);
    animation->setStartValue(widget->maximumSize());
    animation->setEndValue(size);
    animation->setEasingCurve(QEasingCurve::InOutBack);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PictFile::refresh()
{
    onCurrentChange(m_ui->file->currentIndex(), m_ui->file->currentIndex());
}

void PictFile::onRecall()
{
    const QString path = m_model->filePath(m_ui->file->currentIndex());
    short error = ExecutionError;
    if (m_engine && m_engine->presets())
        error = vek::PanelMemory().rcl(BoardPath::unmap(path), m_engine->presets());
    if (error != 0)
        filepage::showError(this, error);
}

void PictFile::onSave()
{
    const short error = saveFile(m_model->filePath(m_ui->file->currentIndex()));
    if (error != 0)
        filepage::showError(this, error);
    refresh();
}

void PictFile::onSaveAs()
{
    filepage::saveAs(m_ui->file, m_model, &PictFile::generateSaveName, [this](const QString &path) {
        return saveFile(path);
    });
}

void PictFile::onRename()
{
    m_ui->file->edit(m_ui->file->currentIndex());
}

void PictFile::onProperty(bool checked)
{
    if (checked)
        m_ui->data->setFocus();
    else
        m_ui->file->setFocus();
}

void PictFile::onCurrentChange(const QModelIndex &current, const QModelIndex &previous)
{
    Q_UNUSED(previous)
    const QString path = current.isValid() ? m_model->filePath(current) : QString();
    if (components(path) == 0) {
        m_func->setPathEmptyMode();
        return;
    }
    const bool usb = m_model->validateUSBStorage(path);
    m_func->setUsbMemoryMode(usb);
    if (m_model->isDir(current) || QFileInfo(path).suffix() != Suffix) {
        m_func->setOtherFileMode();
        // The media root, the links and mount points, and the store's slots keep their names.
        m_func->m_renameButton->setEnabled(components(path) > 3 && !inStore(path));
        return;
    }
    showContents(path, usb);
}

bool PictFile::showContents(const QString &path, bool usb)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    file.close();
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parsed);
    QJsonObject contents;
    QString date = QLocale::system().toString(QFileInfo(path).lastModified(), QLocale::ShortFormat);
    if (parsed.error != QJsonParseError::NoError || !document.isObject()) {
        m_func->setSaveFileMode(usb);
        if (!usb)
            date = QCoreApplication::translate("PictFile", "Unsaved");
    } else {
        m_func->setRecallSaveFileMode();
        contents = document.object();
    }
    contents.insert(QStringLiteral("date:modify"), date);
    m_contents->setJsonObject(contents);
    m_ui->data->expandAll();
    m_ui->data->resizeColumnToContents(0);
    return true;
}

void PictFile::onDirectoryChange(const QString &path)
{
    Q_UNUSED(path)
    if (isVisible())
        m_ui->file->setFocus();
}

bool PictFile::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->data && event->type() == QEvent::FocusIn) {
        const QSignalBlocker quiet(m_func->m_propertyButton);
        m_func->m_propertyButton->setChecked(true);
        animateAlignment(m_ui->data, QSize(Unlimited, ContentsFocusHeight));
    } else if (watched == m_ui->data && event->type() == QEvent::FocusOut) {
        const QSignalBlocker quiet(m_func->m_propertyButton);
        m_func->m_propertyButton->setChecked(false);
        animateAlignment(m_ui->data, QSize(Unlimited, ContentsHeight));
    } else if (watched == m_ui->file && event->type() == QEvent::Resize) {
        m_ui->file->scrollTo(m_ui->file->currentIndex(), QAbstractItemView::EnsureVisible);
    }
    return QWidget::eventFilter(watched, event);
}

void PictFile::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}
