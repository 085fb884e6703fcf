#include "tools/updater/zoUpdater.h"

#include "platform/BoardPath.h"
#include "tools/updater/Ui_zoUpdater.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTextEdit>
#include <QTimer>

using platform::BoardPath;

namespace {
const QString contentsPath = QStringLiteral("/usr/bin/zoUpdaterContents/");
const QString logoPath = QStringLiteral("/usr/bin/image/Logo.png");
const QString keyHint = QStringLiteral("Escape:Cancel   Enter:Update");
constexpr qint64 MaxPageSize = 1 << 20;

QString errorText(Controller::ErrorMessage errorNumber)
{
    static const char *const texts[] = {
        "Error: Update.img not find",
        "Error: Update.img checksum error",
        "Error: Update.img can't deploy",
        "Error: zoUpdate.img not find",
        "Error: zoUpdate.img checksum error",
        "Error: zoUpdate.img can't deploy",
        "Error: Model is different",
        "Error:Update Version is old",
        "Error: update Process error",
    };
    const int i = static_cast<int>(errorNumber);
    return i >= 0 && i < int(std::size(texts)) ? QString::fromLatin1(texts[i]) : QString();
}
} // namespace

zoUpdater::zoUpdater(bool silent, QWidget *parent, const UpdateDelays &delays)
    : QWidget(parent)
    , m_ui(new Ui_zoUpdater)
    , m_delays(delays)
    , m_silentStartPending(silent)
{
    m_ui->setupUi(this);
    m_labelPalette = m_ui->label->palette();
    m_controller = new Controller(this);
    addAction(m_ui->actionStart);
    addAction(m_ui->actionCancel);

    connect(m_ui->actionStart, &QAction::triggered, this, &zoUpdater::onUiStart);
    connect(m_ui->actionCancel, &QAction::triggered, this, &zoUpdater::onUiFinal);
    connect(m_controller->idleState(), &QState::entered, this, &zoUpdater::onUiIdle);
    connect(m_controller->successState(), &QState::entered, this, &zoUpdater::onUiSuccess);
    connect(m_controller->finalState(), &QState::entered, this, &zoUpdater::onUiFinal);
    connect(m_controller, &Controller::updateStepChanged, this, &zoUpdater::onUiProgressbarChange);
    connect(m_controller, &Controller::error, this, &zoUpdater::onUiError);
    connect(m_controller, &Controller::startUpdateShell, this, &zoUpdater::onUiStartUpdateShell);
}

zoUpdater::~zoUpdater()
{
    delete m_ui;
}

void zoUpdater::onUiIdle()
{
    setStatus(QString(), Qt::black);
    showPage(QStringLiteral("idle.html"),
        { QStringLiteral("Update ") + m_controller->currentModel() + QLatin1Char('\n'), keyHint });
    setActionsEnabled(true);
    // A silent start waits for the controller's first idle, so that its start page stays.
    if (m_silentStartPending) {
        m_silentStartPending = false;
        onUiStart();
    }
}

void zoUpdater::onUiStart()
{
    m_ui->progressBar->setValue(0);
    setStatus(QStringLiteral("Update.img check"), Qt::black);
    showPage(QStringLiteral("start.html"),
        { QStringLiteral("Update ") + m_controller->currentModel() + QLatin1Char('\n') });
    setActionsEnabled(false);
    // The checks block the event loop: let the start page be painted first.
    QTimer::singleShot(m_delays.startMs, m_controller, [c = m_controller] {
        emit c->start();
    });
}

void zoUpdater::onUiStartUpdateShell()
{
    setStatus(QStringLiteral("Start Update"), Qt::black);
    showPage(QStringLiteral("update.html"),
        { QStringLiteral("Update ") + m_controller->currentModel() + QLatin1Char('\n'),
            QStringLiteral("Version: ") + m_controller->currentVersion() + QStringLiteral(" -> ")
                + m_controller->updateVersion() });
}

void zoUpdater::onUiSuccess()
{
    setStatus(QStringLiteral("Update Success"), Qt::black);
    showPage(QStringLiteral("success.html"), {});
    setActionsEnabled(false);
    m_ui->progressBar->setValue(100);
    QTimer::singleShot(m_delays.successMs, this, &zoUpdater::onUiFinal);
}

void zoUpdater::onUiFinal()
{
    // The final page never covers a running update.
    if (m_controller->updateState()->active())
        return;
    setStatus(QStringLiteral("Cycle the unit power..."), Qt::black);
    showPage(QStringLiteral("final.html"), {});
    // The unit is to be switched off now; a late Return must not start another update.
    setActionsEnabled(false);
    QTimer::singleShot(m_delays.finalMs, m_controller, [c = m_controller] {
        emit c->final();
    });
}

void zoUpdater::onUiError(Controller::ErrorMessage errorNumber)
{
    setActionsEnabled(true);
    m_ui->textEdit->setTextColor(Qt::black);
    showPage(QStringLiteral("error.html"), { keyHint });
    if (errorNumber == Controller::ModelMismatch) {
        m_ui->textEdit->append(QStringLiteral("current Model: ") + m_controller->currentModel());
        m_ui->textEdit->append(
            QStringLiteral("update Model:  ") + m_controller->updateModel() + QLatin1Char('\n'));
    } else if (errorNumber == Controller::VersionTooOld) {
        m_ui->textEdit->append(
            QStringLiteral("current Version: ") + m_controller->currentVersion());
        m_ui->textEdit->append(QStringLiteral("update Version:  ") + m_controller->updateVersion()
            + QLatin1Char('\n'));
    }
    setStatus(errorText(errorNumber), Qt::red);
}

void zoUpdater::onUiProgressbarChange(int progressVal)
{
    if (progressVal >= 0 && progressVal <= 100)
        m_ui->progressBar->setValue(progressVal);
}

void zoUpdater::setStatus(const QString &text, const QColor &color)
{
    m_labelPalette.setBrush(QPalette::All, QPalette::WindowText, QBrush(color, Qt::SolidPattern));
    m_ui->label->setPalette(m_labelPalette);
    m_ui->label->setText(text);
}

void zoUpdater::showPage(const QString &page, const QStringList &fallback)
{
    QFile file(BoardPath::map(contentsPath + page));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QByteArray html = file.read(MaxPageSize);
        const int nul = html.indexOf('\0');
        m_ui->textEdit->setHtml(QString::fromUtf8(nul < 0 ? html : html.left(nul)));
        return;
    }
    if (fallback.isEmpty())
        return;
    m_ui->textEdit->setHtml(
        QStringLiteral("<img src='") + BoardPath::map(logoPath) + QStringLiteral("'/><br>"));
    m_ui->textEdit->moveCursor(QTextCursor::End);
    m_ui->textEdit->setAlignment(Qt::AlignHCenter);
    for (const QString &line : fallback)
        m_ui->textEdit->append(line);
}

void zoUpdater::setActionsEnabled(bool enabled)
{
    m_ui->actionStart->setEnabled(enabled);
    m_ui->actionCancel->setEnabled(enabled);
}
