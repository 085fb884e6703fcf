#include "tools/updater/Controller.h"

#include "platform/BoardPath.h"
#include "platform/ChildProcess.h"
#include "tools/updater/ArchiveListing.h"
#include "tools/updater/CheckList.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalTransition>

using platform::BoardPath;
using platform::ChildProcess;

namespace {

Q_LOGGING_CATEGORY(lcUpdate, "zoupdater")

// The debug log of the tool, in the category "zoupdater".
QDebug debugLog()
{
    return QMessageLogger().debug(lcUpdate());
}

QDebug warningLog()
{
    return QMessageLogger().warning(lcUpdate());
}

const QString usbMountPath = QStringLiteral("/run/media/");
const QString deployPath = QStringLiteral("/media/usb/");
const QString versionFile = QStringLiteral("/etc/version.info");
const QString imageVersionFile = QStringLiteral("update/fileSystem/etc/version.info");
const QString updateImage = QStringLiteral("Update.img");
const QString updateCheckList = QStringLiteral("CHECKSUM.md5");
const QString innerImage = QStringLiteral("zoUpdater_Update.img");
const QString innerCheckList = QStringLiteral("CHECKSUMUPDATE.md5");
const QString scriptArgument = QStringLiteral("v2.00");
const QString tarProgram = QStringLiteral("/bin/tar");
const QString umountProgram = QStringLiteral("/bin/umount");
constexpr qint64 MaxVersionFileSize = 64 * 1024; // a version file is a few lines of XML
constexpr int CleanUpMs = 30000; // the longest the unpack folder's removal may hold the panel

// Empties dir without following links; folders the image left read-only are opened first.
// Gives up, leaving the rest, once the deadline has passed.
bool removeInside(const QString &dir, const QDeadlineTimer &deadline)
{
    if (deadline.hasExpired())
        return false;
    bool ok = true;
    const QFileInfoList entries = QDir(dir).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.filePath();
        if (entry.isDir() && !entry.isSymLink()) {
            QFile::setPermissions(path,
                entry.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner
                    | QFileDevice::ExeOwner);
            ok = removeInside(path, deadline) && ok;
            ok = QDir().rmdir(path) && ok;
        } else {
            ok = QFile::remove(path) && ok;
        }
    }
    return ok;
}

bool isNumber(const QString &field)
{
    return !field.isEmpty() && std::all_of(field.begin(), field.end(), [](QChar c) {
        return c.isDigit();
    });
}

// Compares two decimal numbers of any length.
int compareNumbers(QString a, QString b)
{
    static const QRegularExpression leadingZeros(QStringLiteral("^0+"));
    a.remove(leadingZeros);
    b.remove(leadingZeros);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

Controller::Controller(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<Controller::ErrorMessage>("Controller::ErrorMessage");
    createStates();
    createTransitions();
    createConnection();
    m_machine.setInitialState(m_initialState);
    m_machine.start();
}

Controller::~Controller()
{
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void Controller::createStates()
{
    m_initialState = new QState(&m_machine);
    m_idleState = new QState(&m_machine);
    m_updateState = new QState(&m_machine);
    m_successState = new QState(&m_machine);
    m_errorState = new QState(&m_machine);
    m_finalState = new QFinalState(&m_machine);
}

void Controller::createTransitions()
{
    m_initialState->addTransition(m_initialState, &QState::propertiesAssigned, m_idleState);
    m_idleState->addTransition(this, &Controller::start, m_updateState);
    m_idleState->addTransition(this, &Controller::final, m_finalState);
    m_updateState->addTransition(this, &Controller::success, m_successState);
    m_updateState->addTransition(this, &Controller::error, m_errorState);
    m_successState->addTransition(this, &Controller::final, m_finalState);
    m_errorState->addTransition(this, &Controller::start, m_updateState);
    m_errorState->addTransition(this, &Controller::final, m_finalState);
}

void Controller::createConnection()
{
    connect(m_initialState, &QState::entered, this, &Controller::onInitialEntered);
    connect(m_idleState, &QState::entered, this, [] {
        debugLog() << "idle";
    });
    connect(m_updateState, &QState::entered, this, &Controller::onUpdateEntered);
    connect(m_successState, &QState::entered, this, [] {
        debugLog() << "success";
    });
    connect(m_errorState, &QState::entered, this, [] {
        debugLog() << "error";
    });
    connect(m_finalState, &QState::entered, this, &Controller::onFinalEntered);
    connect(&m_process,
        &QProcess::readyReadStandardError,
        this,
        &Controller::onScriptErrorOutput,
        Qt::DirectConnection);
    connect(&m_process,
        &QProcess::readyReadStandardOutput,
        this,
        &Controller::onScriptOutput,
        Qt::DirectConnection);
    connect(&m_process,
        qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
        this,
        &Controller::onScriptFinished,
        Qt::DirectConnection);
    connect(&m_process,
        &QProcess::errorOccurred,
        this,
        &Controller::onScriptError,
        Qt::DirectConnection);
}

void Controller::onInitialEntered()
{
    debugLog() << "initial";
    m_currentModel = getModelInformation(versionFile, QStringLiteral("modelType"));
    debugLog() << m_currentModel << "currentmodel";
    m_currentVersion = getModelInformation(versionFile, QStringLiteral("version"));
    debugLog() << m_currentVersion << "currentVersion";
    m_sdCard = checkExistUpdateImage(QStringLiteral("mmc*"));
    const QString deploy = BoardPath::map(deployPath);
    if (!QFileInfo::exists(deploy))
        QDir().mkdir(deploy); // a failure shows as the first unpack's failure
}

void Controller::onUpdateEntered()
{
    debugLog() << "update";
    const int failed = runChecks();
    if (failed >= 0) {
        emit error(static_cast<ErrorMessage>(failed));
        return;
    }
    emit startUpdateShell();
    startScript();
}

int Controller::runChecks()
{
    m_updateModel.clear();
    m_updateVersion.clear();
    // Every attempt starts from an empty unpack folder: nothing of an earlier image may pass.
    if (!emptyDeployFolder()) {
        warningLog() << "cannot empty" << deployPath;
        return UpdateImageDeployError;
    }
    if (!m_sdCard && !checkExistUpdateImage(QStringLiteral("sd*")))
        return UpdateImageNotFound;
    if (checksumUpdateImage(m_updatePath, updateCheckList))
        return UpdateImageChecksumError;
    if (checkDeplyUpdateImage(m_updatePath, updateImage))
        return UpdateImageDeployError;
    if (!checkExistZoUpdateImage())
        return InnerImageNotFound;
    if (checksumUpdateImage(deployPath, innerCheckList))
        return InnerImageChecksumError;
    if (checkDeplyUpdateImage(deployPath, innerImage))
        return InnerImageDeployError;
    // An SD card is the service route: it may install any model and any version.
    if (!m_sdCard && checkModel())
        return ModelMismatch;
    if (!m_sdCard && checkVersion())
        return VersionTooOld;
    return -1;
}

void Controller::startScript()
{
    // The program path is joined as the board has always joined it, double slash and all.
    const QString script = deployPath + QStringLiteral("/update.sh");
    m_process.setWorkingDirectory(BoardPath::map(deployPath));
    const int rc = ChildProcess::prepare(&m_process, script, { scriptArgument });
    if (rc != 0) {
        ChildProcess::Result failed;
        failed.error = rc;
        debugLog() << "update.sh Process error" << ChildProcess::describe(script, failed);
        emit error(UpdateProcessError);
        return;
    }
    m_scriptRunning = true;
    m_process.start(QIODevice::ReadWrite);
}

bool Controller::checkExistUpdateImage(const QString &pattern)
{
    const QDir media(BoardPath::map(usbMountPath));
    const QStringList entries = media.entryList({ pattern },
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
        QDir::Name | QDir::IgnoreCase);
    for (const QString &entry : entries) {
        const QString path = usbMountPath + entry + QLatin1Char('/');
        if (QFileInfo(BoardPath::map(path + updateImage)).isFile()) {
            m_updatePath = path;
            debugLog() << "update image on" << m_updatePath;
            return true;
        }
    }
    return false;
}

bool Controller::checksumUpdateImage(const QString &dir, const QString &file)
{
    const QString image = file == innerCheckList ? innerImage : updateImage;
    QString reason;
    if (updater::CheckList::verify(BoardPath::map(dir), file, image, &reason))
        return false;
    warningLog().noquote() << dir + file + QStringLiteral(":") << reason;
    return true;
}

bool Controller::checkDeplyUpdateImage(const QString &dir, const QString &file)
{
    const QString archive = dir + file;
    QString reason;
    if (!updater::ArchiveListing::isContainedFile(BoardPath::map(archive), &reason)) {
        warningLog().noquote() << archive + QStringLiteral(":") << reason;
        return true;
    }
    // --force-local: a colon in the path never names a remote host.
    const ChildProcess::Result result = ChildProcess::run(tarProgram,
        { QStringLiteral("-x"),
            QStringLiteral("-z"),
            QStringLiteral("--no-same-owner"),
            QStringLiteral("--force-local"),
            QStringLiteral("-f"),
            archive,
            QStringLiteral("-C"),
            deployPath },
        -1,
        ChildProcess::Output::Forward);
    if (result.succeeded())
        return false;
    warningLog().noquote() << ChildProcess::describe(tarProgram, result);
    return true;
}

bool Controller::checkExistZoUpdateImage()
{
    return QFileInfo(BoardPath::map(deployPath + innerImage)).isFile();
}

bool Controller::checkModel()
{
    m_updateModel = getModelInformation(deployPath + imageVersionFile, QStringLiteral("modelType"));
    debugLog() << m_updateModel << "updateModel";
    return m_currentModel != m_updateModel;
}

bool Controller::checkVersion()
{
    m_updateVersion = getModelInformation(deployPath + imageVersionFile, QStringLiteral("version"));
    debugLog() << m_updateVersion << "updateVersion";
    return compareVersions(m_currentVersion, m_updateVersion) > 0;
}

void Controller::umount()
{
    if (m_updatePath.isEmpty() || !QFileInfo::exists(BoardPath::map(m_updatePath)))
        return;
    QString mountPoint = m_updatePath;
    mountPoint.chop(1); // the mount point as /proc/mounts lists it
    const ChildProcess::Result result =
        ChildProcess::run(umountProgram, { mountPoint }, 60000, ChildProcess::Output::Forward);
    if (!result.succeeded())
        debugLog().noquote() << ChildProcess::describe(umountProgram, result);
}

QString Controller::getModelInformation(const QString &file, const QString &key)
{
    QFile in(BoardPath::map(file));
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray text = in.read(MaxVersionFileSize + 1);
    QDomDocument document;
    if (text.size() > MaxVersionFileSize || !document.setContent(text))
        return QString();
    return document.documentElement().namedItem(key).firstChild().nodeValue();
}

int Controller::compareVersions(const QString &a, const QString &b)
{
    const auto fields = [](QString version) {
        if (version.startsWith(QLatin1Char('v')) || version.startsWith(QLatin1Char('V')))
            version.remove(0, 1);
        return version.split(QLatin1Char('.'));
    };
    const QStringList fa = fields(a);
    const QStringList fb = fields(b);
    for (int i = 0; i < qMax(fa.size(), fb.size()); ++i) {
        // A missing or empty field counts as 0, so "1.0" equals "1.0.0".
        QString x = i < fa.size() ? fa.at(i) : QString();
        QString y = i < fb.size() ? fb.at(i) : QString();
        if (x.isEmpty())
            x = QStringLiteral("0");
        if (y.isEmpty())
            y = QStringLiteral("0");
        const int c = isNumber(x) && isNumber(y) ? compareNumbers(x, y) : x.compare(y);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return 0;
}

void Controller::onScriptOutput()
{
    // Each read is taken by itself: update.sh writes whole lines, one progress value at a time.
    const QList<QByteArray> lines = m_process.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() < 2 || fields.first() != "progressBar")
            continue;
        debugLog() << fields.first() << fields.last();
        bool ok = false;
        const int value = fields.last().trimmed().toInt(&ok, 10);
        if (!ok)
            continue;
        debugLog() << value;
        emit updateStepChanged(value);
    }
}

void Controller::onScriptErrorOutput()
{
    debugLog() << m_process.readAllStandardError();
}

void Controller::onScriptFinished(int exitCode, QProcess::ExitStatus status)
{
    onScriptOutput(); // progress lines still waiting come before the outcome
    if (!m_scriptRunning)
        return;
    m_scriptRunning = false;
    debugLog() << exitCode << "update.sh exitCode";
    if (status == QProcess::CrashExit || exitCode != 0) {
        emit error(UpdateProcessError);
        return;
    }
    debugLog() << "update.sh finished";
    emit success();
}

void Controller::onScriptError(QProcess::ProcessError processError)
{
    debugLog() << "update.sh Process error" << processError << m_process.errorString();
    // A crash also ends in finished(), which reports it; a script that never started has no
    // exit code to read (QProcess reports 0).
    if (processError == QProcess::Crashed || !m_scriptRunning)
        return;
    m_scriptRunning = false;
    emit error(UpdateProcessError);
}

void Controller::onFinalEntered()
{
    debugLog() << "finalstate";
    if (!emptyDeployFolder())
        warningLog() << "cannot empty" << deployPath;
    umount();
}

bool Controller::emptyDeployFolder()
{
    const QString deploy = BoardPath::map(deployPath);
    return !QFileInfo(deploy).isDir() || removeInside(deploy, QDeadlineTimer(CleanUpMs));
}
