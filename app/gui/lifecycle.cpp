// The window's start, end and standby sequence: how it comes up, goes down and sleeps through a suspend.
#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/gui/windowutil.h"
#include "app/params.h"
#include "common/clock.h"
#include "common/texts.h"
#include "data/logliste.h"
#include "data/pcliste.h"
#include "data/userliste.h"
#include "net/commands.h"
#include "net/endpoints.h"
#include "net/presencechannel.h"
#include "net/textreceiver.h"
#include "net/textsender.h"
#include "shell/autostart.h"
#include "shell/doublectrl.h"
#include "shell/globalkeys.h"
#include "shell/power.h"
#include "shell/settings.h"
#include "shell/statusmodel.h"
#include "speech/screenreader.h"
#include "speech/speech.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>

namespace {

QTimer* oneShot(QObject* parent, int interval)
{
    auto* t = new QTimer(parent);
    t->setSingleShot(true);
    t->setInterval(interval);
    return t;
}

} // namespace

// --- Starting ------------------------------------------------------------------------------------

void TTB_Form1::FormCreate()
{
    IsClosing = IsRunning = false;
    UdpQueueGeneration = 0;

    // Minimum 1000 x 700 and initial 1200 x 900, each cut to the work area.
    const QSize area = workArea(this);
    const QSize minimum(area.isValid() ? qMin(1000, area.width()) : 1000,
                        area.isValid() ? qMin(700, area.height()) : 700);
    setMinimumSize(minimum);
    m_designMinWidth = minimum.width();
    resize(qMax(area.isValid() ? qMin(1200, area.width()) : 1200, minimum.width()),
           qMax(area.isValid() ? qMin(900, area.height()) : 900, minimum.height()));

    SilentS = false;
    EinstellungenVorbelegen(m_settings->Einstellungen, false, m_env.winUserName);
    if (!m_env.logFolderPath.isEmpty())
        QDir().mkpath(m_env.logFolderPath);

    AutoCloseS = true;
    StandByS = RuhezustandS = SoundS = false;

    SchonGestartetS = false;
    CreateSpeech();
    CreateControls();
    CreateMenus();
    CreatePopups();
    CreateTray();
    CaptionZuweisen();

    m_status = std::make_unique<TStatusModel>(m_settings->Einstellungen, *m_env.clock, m_env.lastInput);
    qApp->installEventFilter(this);

    UserListe = std::make_unique<TUserListe>(*m_env.clock);
    m_presence = std::make_unique<TPresenceChannel>(*UserListe, *m_env.clock, m_env.computerName);
    PCListe = std::make_unique<TPCListe>(m_env.userFilePath);
    LogListe = std::make_unique<TLogListe>(m_env.logFolderPath, *m_env.clock);
    Param = std::make_unique<TParamClass>(TParamClass::WordsFromArguments(m_env.arguments), QStringLiteral("/"), true);

    SetFensterTitel(false);

    m_endpoints = std::make_unique<UdpEndpoints>(m_env.ports ? *m_env.ports : UdpPorts());
    ConnectNetwork();
    m_endpoints->open();

    HookS = false;
    if (!m_env.globalKeys) {
        m_noGlobalKeys = std::make_unique<NoGlobalKeys>();
        m_env.globalKeys = m_noGlobalKeys.get();
    }
    // Said once, without a modal box: it comes while the window goes to the tray.
    m_env.globalKeys->setNoticeHandler([this](const std::string& text) {
        const QString notice = QString::fromStdString(text);
        m_env.tolk->output(notice.toStdString(), false);
        SpeakText(notice, false);
        if (Cti->isVisible())
            ShowBalloon(Texts::ProgrammName, notice);
    });
    m_doubleCtrl = std::make_unique<TDoubleCtrl>(
        m_env.keyHook, [this] { return HookS; }, [this] { MenuSpracheStoppenClick(); });
    if (m_env.power) {
        m_env.power->setSuspendingHandler([this] { OnSuspend(); });
        m_env.power->setResumedHandler([this] { OnResume(); });
        m_env.power->setUnlockedHandler([this] { OnUnlocked(); });
    }

    Timer1Liste = oneShot(this, 3000);
    connect(Timer1Liste, &QTimer::timeout, this, [this] { Timer1ListeTimer(false); });
    Timer1StatusBar = oneShot(this, 500);
    connect(Timer1StatusBar, &QTimer::timeout, this, &TTB_Form1::Timer1StatusBarTimer);
    Timer1Sounds = oneShot(this, 2900);
    connect(Timer1Sounds, &QTimer::timeout, this, &TTB_Form1::Timer1SoundsTimer);
    Timer1Minimieren = oneShot(this, 1000);
    connect(Timer1Minimieren, &QTimer::timeout, this, &TTB_Form1::Timer1MinimierenTimer);
    Timer1DemoVTZ = oneShot(this, 750);
    connect(Timer1DemoVTZ, &QTimer::timeout, this, &TTB_Form1::Timer1DemoVTZTimer);
    Timer1UdpTimer = oneShot(this, 6000);
    connect(Timer1UdpTimer, &QTimer::timeout, this, &TTB_Form1::Timer1UdpTimerTimer);
    Timer0Start = oneShot(this, 5);
    connect(Timer0Start, &QTimer::timeout, this, &TTB_Form1::Timer0StartTimer);
    Timer0Start->start();
}

void TTB_Form1::Timer0StartTimer()
{
    Timer0Start->stop();
    SchonGestartetS = true;
    SilentS = Param->HasParameter(QStringLiteral("/silent"));
    SetFensterTitel(false);
    // An older version started from the machine's Run key: that entry becomes the Startup-folder shortcut.
    // Otherwise a silent start is the installer's: it switches the autostart on.
    const QString programFile = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (RunKeyValueExists(programFile)) {
        RunKeyDeleteValue(programFile);
        SetAutostartS(true);
    } else if (!AutostartS() && SilentS) {
        SetAutostartS(true);
    }
    m_settings->Einstellungen.AutostartS = AutostartS();

    StartLoadLogs();
    if (!m_logsGeladenS) {
        // Empty lists for now; without an unread message the inbox commands start disabled.
        ResetEingangVerlauf(1);
        ResetEingangVerlauf(2);
        MenuAktClick();
        MenuDateiClick();
    }

    MenuStatusOnlineAbwesendBeschaeftigtClick(1);
    SetStimme();

    Timer1ListeTimer(true);
    Timer1StatusBarTimer();
    Timer1DemoVTZ->start(750);

    const bool miniS = Param->HasParameter(QStringLiteral("/silent")) ||
                       Param->HasParameter(QStringLiteral("/systemstartup")) ||
                       m_settings->Einstellungen.MinimiertStartenS;
    FensterMinimierenWiederherstellen(miniS);
    if (!miniS)
        Lb1Eingang->setFocus();
}

// A long history must not keep the window away: the logs are read on a thread, and when that takes
// longer than LadenWartenMs the start goes on and the lists fill when the reading is done.
void TTB_Form1::StartLoadLogs()
{
    constexpr int LadenWartenMs = 200;
    m_ladeListe = std::make_unique<TLogListe>(m_env.logFolderPath, *m_env.clock);
    TLogListe* liste = m_ladeListe.get();
    std::function<void()> vorher = m_env.logsLoading;
    m_ladeThread.reset(QThread::create([liste, vorher] {
        if (vorher)
            vorher();
        liste->LoadLogs();
    }));
    connect(m_ladeThread.get(), &QThread::finished, this, &TTB_Form1::LogsLoaded, Qt::QueuedConnection);
    m_ladeThread->start();
    if (m_ladeThread->wait(QDeadlineTimer(LadenWartenMs)))
        LogsLoaded();
}

void TTB_Form1::LogsLoaded()
{
    if (m_logsGeladenS || !m_ladeListe || !m_ladeThread)
        return;
    // Called when the reading is done; the thread may still be winding up after its finished signal.
    m_ladeThread->wait();
    LogListe = std::move(m_ladeListe);
    m_logsGeladenS = true;
    // Receiver and sender work on the store they were made with.
    m_sender.reset();
    ConnectNetwork();
    if (FAktUserName.PC.isEmpty()) {
        if (LogListe->Count(TLogListe::Eingang) > 0)
            SetAktUserName(LogListe->Get(TLogListe::Eingang, 0));
    } else {
        // Chosen while the logs were read: now with its conversation.
        SetAktUserName(LogListe->Find(FAktUserName, true));
    }
    ResetEingangVerlauf(1);
    ResetEingangVerlauf(2);
    // Without an unread message the inbox commands start disabled, so the status bar offers none.
    MenuAktClick();
    MenuDateiClick();
    // Filed now, in the order they came, each once; those of an earlier opening of the network are void.
    const QList<TWartenderText> wartend = std::exchange(m_wartendeTexte, {});
    for (const TWartenderText& t : wartend) {
        if (t.generation == UdpQueueGeneration && m_receiver)
            m_receiver->UdpS1TextUDPRead(t.payload, t.peer);
    }
}

void TTB_Form1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!IsRunning)
        FormShow();
}

void TTB_Form1::FormShow()
{
    SchriftartZuweisen();
    FensterEinrichten();
    IsRunning = true;
}

// --- Quitting -------------------------------------------------------------------------------------

void TTB_Form1::MenuDateiBeendenClick()
{
    AutoCloseS = false;
    CloseProgram();
}

void TTB_Form1::PuCtiBeendenClick()
{
    AutoCloseS = true;
    CloseProgram();
}

void TTB_Form1::ProgramClose()
{
    AutoCloseS = true;
    CloseProgram();
}

void TTB_Form1::CloseProgram()
{
    m_closeFromProgram = true;
    close();
    m_closeFromProgram = false;
}

void TTB_Form1::closeEvent(QCloseEvent* event)
{
    if (m_ended) {
        event->accept();
        return;
    }
    // The window's own close button asks like the menu command.
    if (!m_closeFromProgram)
        AutoCloseS = false;
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    EndProgram();
}

bool TTB_Form1::FormCloseQuery()
{
    bool canClose = true;
    if (!AutoCloseS && m_settings->Einstellungen.BeendenSichernS)
        canClose = m_env.dialogs->Frage(this, QStringLiteral("Soll das Programm beendet werden?"));
    AutoCloseS = true;
    if (canClose) {
        AnnounceOfflineOnce();
        FormClose();
    }
    return canClose;
}

void TTB_Form1::AnnounceOfflineOnce()
{
    if (StandByS)
        return;
    StandByS = true;
    SendBroadcastListe(false);
}

void TTB_Form1::FormClose()
{
    Speech->Stop();
    Timer1Liste->stop();
    Timer1StatusBar->stop();
    RegistryLadenSpeichern(false);
    IsClosing = true;
}

void TTB_Form1::EndSession()
{
    if (m_ended)
        return;
    AutoCloseS = true;
    AnnounceOfflineOnce();
    FormClose();
    EndProgram();
}

void TTB_Form1::EndProgram()
{
    m_ended = true;
    Cti->hide();
    emit programEnded();
}

void TTB_Form1::FormDestroy()
{
    // The reading thread uses the log folder and the clock.
    if (m_ladeThread)
        m_ladeThread->wait();
    HookS = false;
    UnregisterHotKeys();
    if (m_env.power) {
        m_env.power->setSuspendingHandler(nullptr);
        m_env.power->setResumedHandler(nullptr);
        m_env.power->setUnlockedHandler(nullptr);
    }
    m_env.globalKeys->setNoticeHandler(nullptr);
    m_doubleCtrl->KeyHookOff();
    m_doubleCtrl.reset();
    qApp->removeEventFilter(this);
    if (m_endpoints)
        m_endpoints->close();
    m_commands.reset();
    m_sender.reset();
    m_receiver.reset();
    Param.reset();
    LogListe.reset();
    PCListe.reset();
    UserListe.reset();
    // Only succeeds when the folder is empty, so no log is ever removed here.
    if (!m_env.logFolderPath.isEmpty())
        QDir().rmdir(m_env.logFolderPath);
}

// --- Suspend and resume ---------------------------------------------------------------------------

void TTB_Form1::OnSuspend()
{
    if (IsClosing)
        return;
    StandByS = true;
    ++UdpQueueGeneration;
    Speech->Stop();
    SendBroadcastListe(false);
    Timer1StatusBar->stop();
    Timer1Liste->stop();
    Timer1UdpTimer->stop();
    if (HookS) {
        UnregisterHotKeys();
        m_doubleCtrl->KeyHookOff();
    }
    // The quiet phase starts anew once the network is back.
    Timer1Sounds->stop();
    SoundS = false;
    m_endpoints->close();
    // Last: the send ends as failed, and the suspend must be complete whatever that shows.
    if (m_sender)
        m_sender->abort();
}

void TTB_Form1::OnResume()
{
    // Several resume events of one wake-up act once.
    if (!StandByS || IsClosing)
        return;
    ++UdpQueueGeneration;
    StandByS = false;
    SoundS = false;
    UserListe->ResetMillisek();
    m_status->OnlinezeitNeu();
    if (HookS) {
        RegisterHotKeys();
        ResetKeyHook();
    }
    Timer1UdpTimer->start(6000);
}
