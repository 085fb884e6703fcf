#pragma once

#include <QFinalState>
#include <QObject>
#include <QProcess>
#include <QState>
#include <QStateMachine>
#include <QString>

// The deciding half of the update tool. It finds an update image on removable storage
// (/run/media/<entry>/Update.img), checks it against its check list, unpacks it into
// /media/usb/, checks and unpacks the inner image zoUpdater_Update.img, compares the model and
// version of the new system with the running one (/etc/version.info) and runs the image's
// update.sh, whose "progressBar:...:<n>" lines become updateStepChanged(n).
//
// States and transitions (the window sends start and final):
//   initial --(entered)--> idle --start--> update --success--> success --final--> final
//                          idle --final--> final        update --error--> error
//                          error --start--> update      error --final--> final
// Entering update runs the checks (blocking, in the GUI thread) and starts update.sh; entering
// final empties /media/usb/ and unmounts the medium. Every board path goes through
// platform::BoardPath, every program through platform::ChildProcess.
class Controller : public QObject
{
    Q_OBJECT
public:
    enum ErrorMessage {
        UpdateImageNotFound = 0,
        UpdateImageChecksumError = 1,
        UpdateImageDeployError = 2,
        InnerImageNotFound = 3,
        InnerImageChecksumError = 4,
        InnerImageDeployError = 5,
        ModelMismatch = 6,
        VersionTooOld = 7,
        UpdateProcessError = 8,
    };
    Q_ENUM(ErrorMessage)

    // Builds the machine and starts it; the start takes effect when the event loop runs, so a
    // caller may connect to the states' entered signals first.
    explicit Controller(QObject *parent = nullptr);
    ~Controller() override;

    QString currentVersion() const { return m_currentVersion; }
    QString currentModel() const { return m_currentModel; }
    QString updateVersion() const { return m_updateVersion; }
    QString updateModel() const { return m_updateModel; }
    bool sdCard() const { return m_sdCard; }
    // "/run/media/<entry>/" of the medium holding the image, empty until one is found.
    QString updatePath() const { return m_updatePath; }
    QState *idleState() const { return m_idleState; }
    QState *updateState() const { return m_updateState; }
    QState *successState() const { return m_successState; }
    QState *errorState() const { return m_errorState; }
    QFinalState *finalState() const { return m_finalState; }
    const QStateMachine &machine() const { return m_machine; }

    // The checks. Beware: those that check something return true when it FAILED; only
    // checkExistUpdateImage and checkExistZoUpdateImage return true on success.
    bool checkExistUpdateImage(const QString &pattern);
    bool checksumUpdateImage(const QString &dir, const QString &file);
    bool checkDeplyUpdateImage(const QString &dir, const QString &file);
    bool checkExistZoUpdateImage();
    bool checkModel();
    bool checkVersion();
    void umount();

    // The text of the element key directly under the document element of the XML file (a board
    // path), or an empty text when there is none.
    static QString getModelInformation(const QString &file, const QString &key);
    // <0, 0, >0 as version a is older than, equal to or newer than b: numeric fields compare as
    // numbers ("1.10" is newer than "1.9"), others as text; a leading "v" is ignored.
    static int compareVersions(const QString &a, const QString &b);

signals:
    void start();
    void error(Controller::ErrorMessage errorNumber);
    void success();
    void final();
    void updateStepChanged(int progressVal);
    void startUpdateShell();

private:
    void createStates();
    void createTransitions();
    void createConnection();

    void onInitialEntered();
    void onUpdateEntered();
    void onFinalEntered();
    // The checks in their order; the first failure's number, or -1 when all passed.
    int runChecks();
    void startScript();
    void onScriptOutput();
    void onScriptErrorOutput();
    void onScriptFinished(int exitCode, QProcess::ExitStatus status);
    void onScriptError(QProcess::ProcessError processError);
    // Removes everything inside the unpack folder, which itself stays.
    bool emptyDeployFolder();

    QString m_currentVersion;
    QString m_currentModel;
    QString m_updateVersion;
    QString m_updateModel;
    bool m_sdCard = false;
    QString m_updatePath;
    // Set while update.sh runs, so that its end is reported once (a crash reports both a
    // finish and a process error).
    bool m_scriptRunning = false;
    QState *m_idleState = nullptr;
    QState *m_updateState = nullptr;
    QState *m_successState = nullptr;
    QState *m_errorState = nullptr;
    QStateMachine m_machine;
    QState *m_initialState = nullptr;
    QFinalState *m_finalState = nullptr;
    QProcess m_process;
};
