// The main window: owns the lists, the network endpoints and the timers, and runs the program's lifecycle.
#pragma once

#include "app/gui/pacing.h"
#include "common/types.h"
#include "data/listrows.h"

#include <QHash>
#include <QHostAddress>
#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <QTime>
#include <functional>
#include <memory>

class IClock;
class IScreenReader;
class TSpeech;
class ISoundOutput;
class IDialogs;
class IPowerEvents;
class ISettingsStore;
class ILastInput;
class IGlobalKeys;
class IKeyHook;
class ILauncher;
class TDoubleCtrl;
class TUserListe;
class TPCListe;
class TLogListe;
class TParamClass;
class UdpEndpoints;
class TTextReceiver;
class TTextSender;
class TCommandHandler;
class TPresenceChannel;
class TStatusModel;
class QHostAddress;
class QKeyEvent;
struct UdpPorts;
struct TSettingsState;
struct THelpLinks;
class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QSystemTrayIcon;
class QThread;
class QTimer;

// Everything the window takes from outside, so tests can replace it.
struct TMainWindowEnv
{
    IClock* clock = nullptr;
    IScreenReader* tolk = nullptr; // the program's one screen-reader dispatcher; null: no screen reader
    // Makes a speech facade for an owner (the window, the options dialog); null: the screen reader only.
    std::function<std::unique_ptr<TSpeech>()> speechFactory;
    ISoundOutput* sound = nullptr;
    IDialogs* dialogs = nullptr;
    IPowerEvents* power = nullptr; // may be null: no suspend and resume events
    ISettingsStore* settingsStore = nullptr;
    QString logFolderPath;
    QString userFilePath;
    QString winUserName;
    QString computerName;
    QStringList arguments;                                 // command line without the program name
    std::function<QList<QByteArray>()> broadcastAddresses; // null: the machine's interfaces
    const UdpPorts* ports = nullptr;                       // null: the standard ports
    std::function<bool(const QString& folder)> openFolder; // null: the desktop's file manager
    std::function<bool()> hibernate;                       // null: the platform's hibernation
    QString startupLinkPath;                               // the autostart entry; empty: no autostart
    ILastInput* lastInput = nullptr;                       // null: only the program's own input counts
    std::function<QMargins()> frameMargins;                // null: the window manager's frame
    IGlobalKeys* globalKeys = nullptr;                     // null: no system-wide keys
    IKeyHook* keyHook = nullptr;                           // null: no double Ctrl
    std::function<bool()> trayAvailable;                   // null: whether the desktop has a tray now
    ILauncher* launcher = nullptr;     // opens files and addresses, starts the updater; null: the desktop's
    QString programFolderPath;         // "History.txt", "Tobrik.ini" and the updater; empty: the program's own folder
    std::function<void()> logsLoading; // runs on the loading thread before the logs are read; tests hold it there
};

class TTB_Form1 : public QMainWindow
{
    Q_OBJECT
    // Tests read the window's inner state through a probe of their own.
    friend class TTB_Form1Probe;

public:
    explicit TTB_Form1(const TMainWindowEnv& env, QWidget* parent = nullptr);
    ~TTB_Form1() override;

    // Program entry: evaluate "/silent" before the settings load.
    void SetSilent(bool silentS) { SilentS = silentS; }
    void RegistryLadenSpeichern(bool LadenS);

    // Requests from a second start or another local program.
    void ProgramSetFocus();
    void ProgramClose();
    // The end of the logon session: announce offline once, save, quit.
    void EndSession();

    // Quit paths: the menu and button ask (when configured), the others do not.
    void MenuDateiBeendenClick();
    void PuCtiBeendenClick();

    void FensterMinimierenWiederherstellen(bool MiniS);
    void SetFensterTitel(bool AbwesendS);
    void SetIconHint(bool AbwesendS);
    void SendBroadcastListe(bool OnlineS);
    bool IsAbwesend();

    // Lists and the conversation.
    void ResetLb1Liste(const QString& APC);
    void ResetEingangVerlauf(int Nr);
    // The departments of the user directory, made anew only when the directory was read again.
    const TAbteilungen& Abteilungen();
    void SetAktUserName(const TUserListeRec& rec);
    // Draws the log view of the current partner when it was left undrawn in the tray.
    void EnsureLogView();
    void MenuAktClick();
    void Btn1SendenClick();
    void Btn1GelesenClick();
    void MenuAktNachrichtNaechsteVorherigeClick(bool naechsteS);
    void MenuDateiCloseClick();
    void MenuAktOrdnerClick();
    void PuLb2GelesenClick();
    void PuLb3LoeschenClick();
    void PuEditLogLeerenClick();
    void PuLb1RuhezustandClick();
    // The options dialog: the whole settings record, applied and saved on OK.
    void Btn1OptionenClick();
    // The font and colour dialog: the display font and background of every window, saved on OK.
    void MenuAnsSchrifteinstellungenClick();
    void SetActiveControl();

    // Speech: the one way the program announces something, the chosen voice and the speech menu.
    void SpeakText(const QString& AText, bool MerkenS);
    void SetStimme();
    int VoiceRate() const;
    void SetVoiceRate(int X);
    int VoiceVolume() const;
    void SetVoiceVolume(int X);
    void MenuSpracheClick();
    void MenuSpracheStoppenClick();
    void MenuSpracheUngelesenClick();
    void MenuSpracheWiederholenClick();
    void MenuSpracheLauterLeiserSchnellerLangsamerClick(int tag);
    // The system-wide keys and the double Ctrl, armed while the window waits minimised.
    void RegisterHotKeys();
    void UnregisterHotKeys();
    void ResetKeyHook();
    void PuEditLogVorlesenClick();
    // The help menu and the update hand-over.
    void MenuHilfeClick();
    void MenuHilfeHistoryClick();
    void MenuHilfeMailClick();
    void MenuHilfeHomepageClick();
    void MenuHilfeSpendenClick();
    void MenuHilfeUpdateClick();
    void MenuHilfeInfoClick();
    // Whether the program starts at logon: the autostart entry exists.
    bool AutostartS() const;
    void SetAutostartS(bool AutostartS);
    // The display font and background reach every control, then the layout follows.
    void SchriftartZuweisen();
    void SchalterEinrichten();
    void FensterEinrichten();

    // Read by the pieces that build on the window.
    bool standBy() const { return StandByS; }
    bool isClosingDown() const { return IsClosing; }
    bool inTray() const { return m_trayShown; }
    const TSettingsState& settings() const { return *m_settings; }
    TSettingsState& settings() { return *m_settings; }
    bool isSending() const;

signals:
    // Emitted once the settings are saved and the window is about to go; main() quits on it.
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // Lifecycle, in the order it runs.
    void FormCreate();
    void Timer0StartTimer();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    void CloseProgram();
    void AnnounceOfflineOnce();
    void EndProgram();
    void OnSuspend();
    void OnResume();
    bool onlineListRedrawPending() const;
    bool receivedShowPending() const;
    void Timer1UdpTimerTimer();
    void Timer1ListeTimer(bool firstCycle);
    void Timer1StatusBarTimer();
    void Timer1SoundsTimer();
    void Timer1MinimierenTimer();
    void Timer1DemoVTZTimer();
    void OnHotKey(int id);
    void OnUnlocked();
    bool TrayAvailable() const;
    void StartLoadLogs();
    void LogsLoaded();
    void ConnectNetwork();
    void UdpS1TextUDPRead(const QByteArray& payload, const QHostAddress& peer);
    void UdpS1ListeUDPRead(const QByteArray& payload, const QHostAddress& peer);
    void UdpS1TextReceived(const TUserListeRec& partner, const QString& name, const QString& msgText);
    void SendFinished(bool ok, const TUserListeRec& recipient, const QString& text);
    void NachrichtMelden(const QString& name, const QString& text, bool wiederherstellenS);
    void RedrawOnlineList();
    void RedrawOnlineListNow();
    void ShowReceivedNow(bool rowsToo = true);

    // List and field events.
    bool SetRows(QListWidget* list, const QStringList& rows, const QStringList& keys, int select);
    void OpenFromList(QListWidget* list, bool byKey);
    void Memo1TextChange();
    bool Memo1TextKeyPress(QKeyEvent* event);
    bool Le1NameKeyPress(QKeyEvent* event);
    void UpdateSendControls();
    void PuEditPopup(QWidget* control, const QPoint& pos);
    void MenuDateiClick();
    bool ListEvent(QListWidget* list, QEvent* event);
    void FocusCue(QObject* watched, Qt::FocusReason reason);
    void SetMemo1TextReadOnly(bool readOnlyS);
    void LabelClick(QObject* watched);
    QString KeyHints() const;
    void Beep();
    // Controls and menus.
    void CaptionZuweisen();
    void CreateControls();
    void CreateMenus();
    void CreatePopups();
    void CreateTray();
    void MenuStatusOnlineAbwesendBeschaeftigtClick(int tag);
    void Ton(TSound sound, bool busyS);
    // A balloon at the tray icon, with the desktop's notification sound.
    void ShowBalloon(const QString& title, const QString& text);
    void CreateSpeech();
    // A voice is chosen and found: announcements can be heard.
    bool SprachausgabeS() const;
    bool IsBusy() const;
    // What the frame adds to the inner size; the settings store the outer size.
    QSize FrameExtra() const;
    void ApplySavedSize();
    // Help and update.
    ILauncher& launcher();
    QString programFolder() const;
    bool updaterPresent() const;
    THelpLinks helpLinks() const;
    bool OpenTextFile(const QString& fileName);

    TMainWindowEnv m_env;
    std::unique_ptr<TSettingsState> m_settings;
    std::unique_ptr<TUserListe> UserListe;
    std::unique_ptr<TPCListe> PCListe;
    std::unique_ptr<TLogListe> LogListe;
    // The logs are read on a thread of their own into a store of their own, which then replaces LogListe.
    // Until then LogListe stays empty and nothing is filed into it: texts that arrive wait in
    // m_wartendeTexte, sending is refused.
    std::unique_ptr<TLogListe> m_ladeListe;
    std::unique_ptr<QThread> m_ladeThread;
    bool m_logsGeladenS = false;
    struct TWartenderText
    {
        QByteArray payload;
        QHostAddress peer;
        int generation = 0;
    };
    QList<TWartenderText> m_wartendeTexte;
    std::unique_ptr<TParamClass> Param;
    std::unique_ptr<UdpEndpoints> m_endpoints;
    std::unique_ptr<TTextReceiver> m_receiver;
    std::unique_ptr<TTextSender> m_sender;
    std::unique_ptr<TCommandHandler> m_commands;
    std::unique_ptr<TPresenceChannel> m_presence;
    std::unique_ptr<TStatusModel> m_status;
    std::unique_ptr<IScreenReader> m_noScreenReader; // stands in when the environment has none
    std::unique_ptr<TSpeech> Speech;
    std::unique_ptr<IGlobalKeys> m_noGlobalKeys; // stands in when the environment has none
    std::unique_ptr<TDoubleCtrl> m_doubleCtrl;
    std::unique_ptr<ILauncher> m_desktopLauncher; // stands in when the environment has none
    QString LetzteMeldungStr;
    QPointer<QWidget> MerkActiveControl;
    int m_onlineRedraws = 0;
    std::unique_ptr<TAbteilungen> m_abteilungen;
    TLogRows m_eingangRows;
    TLogRows m_verlaufRows;
    int m_designMinWidth = 0;

    // Process flags of the lifecycle.
    bool IsClosing = false;
    bool IsRunning = false;
    bool SchonGestartetS = false;
    bool SilentS = false;
    bool StandByS = false;
    bool AutoCloseS = true;
    bool RuhezustandS = false;
    bool SoundS = false;
    bool HookS = false;
    bool m_trayShown = false;
    // The log view does not show FAktUserName yet: messages arriving in the tray leave it undrawn.
    bool m_logViewStale = false;
    bool m_closeFromProgram = false;
    bool m_ended = false;
    bool m_pendingMaximize = false;
    int UdpQueueGeneration = 0;
    QSize m_savedOuter; // a stored outer size waiting for the window manager's frame to be known
    QString m_iconHint;
    TUserListeRec FAktUserName;

    // Timers.
    QTimer* Timer0Start = nullptr;
    QTimer* Timer1Liste = nullptr;
    QTimer* Timer1StatusBar = nullptr;
    QTimer* Timer1Sounds = nullptr;
    QTimer* Timer1DemoVTZ = nullptr;
    QTimer* Timer1Minimieren = nullptr;
    QTimer* Timer1UdpTimer = nullptr;
    // The online list, and received messages in the lists and the conversation, are drawn at most once
    // a pause.
    static constexpr qint64 RedrawPauseMs = 250;
    TPausedWork m_lb1Redraw{this, RedrawPauseMs, [this] { RedrawOnlineListNow(); }};
    TPausedWork m_empfangenShow{this, RedrawPauseMs, [this] { ShowReceivedNow(); }};
    // Senders of received messages not shown yet, each with whether the window was in the tray when it came.
    struct TEmpfangen
    {
        TUserListeRec partner;
        bool ausTrayS = false;
    };
    QList<TEmpfangen> m_empfangen;

    // Controls.
    QLabel* Lbl1Liste = nullptr;
    QListWidget* Lb1Liste = nullptr;
    QLabel* Lbl1Eingang = nullptr;
    QListWidget* Lb1Eingang = nullptr;
    QLabel* Lbl1Verlauf = nullptr;
    QListWidget* Lb1Verlauf = nullptr;
    QLabel* Lbl1Name = nullptr;
    QLineEdit* Le1Name = nullptr;
    QLabel* Lbl1Text = nullptr;
    QPlainTextEdit* Memo1Text = nullptr;
    QLabel* Lbl1Log = nullptr;
    QPlainTextEdit* Re1Log = nullptr;
    QPushButton* Btn1Gelesen = nullptr;
    QPushButton* Btn1Senden = nullptr;
    QPushButton* Btn1Status = nullptr;
    QPushButton* Btn1Optionen = nullptr;
    QPushButton* Btn1Minimieren = nullptr;
    QPushButton* Btn1Beenden = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* m_panels[4] = {};

    // Menus: the three state groups always agree.
    QAction* MenuStatus[3] = {};
    QAction* PuCtiStatusItems[3] = {};
    QAction* PuBtnStatusItems[3] = {};
    QAction* MenuAktSenden = nullptr;
    QAction* MenuAktNachrichtNaechste = nullptr;
    QAction* MenuAktNachrichtVorherige = nullptr;
    QAction* MenuAktGelesen = nullptr;
    QAction* MenuAktOptionen = nullptr;
    QAction* MenuDateiMinimieren = nullptr;
    QAction* MenuDateiClose = nullptr;
    QAction* MenuAktOrdner = nullptr;
    QAction* PuEditKopieren = nullptr;
    QAction* PuEditEinfuegen = nullptr;
    QAction* PuEditAllesMarkieren = nullptr;
    QAction* PuEditLogVorlesen = nullptr;
    QAction* MenuSpracheStoppen = nullptr;
    QAction* MenuSpracheUngelesen = nullptr;
    QAction* MenuSpracheUngelesenJaws = nullptr;
    QAction* MenuSpracheWiederholen = nullptr;
    QAction* MenuSpracheStimme[4] = {}; // louder, softer, faster, slower
    QAction* PuEditLogLeeren = nullptr;
    QAction* PuEditTextLoeschen = nullptr;
    QAction* PuLb1Ruhezustand = nullptr;
    QAction* PuLb2Gelesen = nullptr;
    QAction* PuLb3Loeschen = nullptr;
    QWidget* m_editPopupFor = nullptr;
    QAction* PuCtiSoundsWiedergeben = nullptr;
    QAction* PuCtiUpdate = nullptr;
    QAction* MenuHilfeHistory = nullptr;
    QAction* MenuHilfeMail = nullptr;
    QAction* MenuHilfeHomepage = nullptr;
    QAction* MenuHilfeSpenden = nullptr;
    QAction* MenuHilfeUpdate = nullptr;
    QMenu* PuEdit = nullptr;
    QMenu* PuLb1 = nullptr;
    QMenu* PuLb2 = nullptr;
    QMenu* PuLb3 = nullptr;
    QMenu* PuCti = nullptr;
    QMenu* PuBtnStatus = nullptr;
    QSystemTrayIcon* Cti = nullptr;
};
