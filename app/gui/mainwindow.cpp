#include "app/gui/mainwindow.h"

#include "app/gui/dialogs.h"
#include "app/gui/windowutil.h"
#include "app/params.h"
#include "common/keynames.h"
#include "common/texts.h"
#include "data/logliste.h"
#include "data/pcliste.h"
#include "data/userliste.h"
#include "net/broadcast.h"
#include "net/commands.h"
#include "net/endpoints.h"
#include "net/presencechannel.h"
#include "net/protocol.h"
#include "net/textreceiver.h"
#include "net/textsender.h"
#include "shell/autostart.h"
#include "shell/doublectrl.h"
#include "shell/globalkeys.h"
#include "shell/gui/fontdialog.h"
#include "shell/gui/layout.h"
#include "shell/gui/optionsdialog.h"
#include "shell/ilauncher.h"
#include "shell/settings.h"
#include "shell/settingsstore.h"
#include "shell/statusmodel.h"
#include "speech/output.h"
#include "speech/screenreader.h"
#include "speech/speech.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>

namespace {

// Headless platforms cannot raise windows and say so on every call.
void BringToFront(QWidget* w)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    w->raise();
    w->activateWindow();
}

} // namespace

TTB_Form1::TTB_Form1(const TMainWindowEnv& env, QWidget* parent)
    : QMainWindow(parent)
    , m_env(env)
    , m_settings(std::make_unique<TSettingsState>())
{
    FormCreate();
}

TTB_Form1::~TTB_Form1()
{
    FormDestroy();
}

bool TTB_Form1::AutostartS() const
{
    return AutostartExists(m_env.startupLinkPath);
}

void TTB_Form1::SetAutostartS(bool AutostartS)
{
    ProgInStartup(m_env.startupLinkPath, AutostartS, QCoreApplication::applicationFilePath());
    m_settings->Einstellungen.AutostartS = this->AutostartS();
}

void TTB_Form1::SchriftartZuweisen()
{
    const QFont font = FontFromSetting(m_settings->GlobalFont);
    const QColor text = ColorFromSetting(m_settings->GlobalFont.color, palette().color(QPalette::WindowText));
    const QColor back = ColorFromSetting(m_settings->GlobalBackColor, palette().color(QPalette::Base));
    QWidget* client = centralWidget();
    QPalette clientPalette = client->palette();
    clientPalette.setColor(QPalette::Window, back);
    client->setPalette(clientPalette);
    const QList<QWidget*> textControls = {Lbl1Liste,  Lb1Liste,    Lbl1Eingang, Lb1Eingang,  Lbl1Verlauf, Lb1Verlauf,
                                          Lbl1Name,   Le1Name,     Lbl1Text,    Memo1Text,   Lbl1Log,     Re1Log,
                                          StatusBar1, m_panels[0], m_panels[1], m_panels[2], m_panels[3]};
    for (QWidget* w : textControls) {
        w->setFont(font);
        QPalette p = w->palette();
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window})
            p.setColor(role, back);
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText})
            p.setColor(role, text);
        w->setPalette(p);
        w->setAutoFillBackground(true);
    }
    // Buttons keep their own colours and take only name, size and style.
    for (QPushButton* b : {Btn1Gelesen, Btn1Senden, Btn1Status, Btn1Optionen, Btn1Minimieren, Btn1Beenden})
        b->setFont(font);
    SchalterEinrichten();
}

void TTB_Form1::SchalterEinrichten()
{
    const LayoutInput in = LayoutInputFrom(this);
    // Large print widens the window (within the work area) rather than cutting captions off.
    const int rahmen = width() - centralWidget()->width();
    const QSize area = workArea(this);
    const int bereit = area.isValid() ? area.width() : QWIDGETSIZE_MAX;
    const int minW = qMin(qMax(m_designMinWidth, MinimumClientWidth(in) + rahmen), bereit);
    if (minimumWidth() != minW)
        setMinimumWidth(minW);
    if (width() < minW && !isMaximized()) {
        resize(minW, height()); // the resize lays out again
        if (width() >= minW)
            return;
    }
    ApplyLayout(this, ::SchalterEinrichten(in));
}

void TTB_Form1::FensterEinrichten()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    move(::FensterEinrichten(screen->availableGeometry(), frameGeometry().size(), isMaximized()));
}

void TTB_Form1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // The window's own minimise command goes to the tray, like the minimise button.
    if (event->type() != QEvent::WindowStateChange || IsClosing || m_ended)
        return;
    const bool minimiert = windowState() & Qt::WindowMinimized;
    if (minimiert && !m_trayShown)
        QTimer::singleShot(0, this, [this] { FensterMinimierenWiederherstellen(true); });
    // Without a tray the user brings the window back from the task bar.
    else if (!minimiert && m_trayShown && isVisible())
        QTimer::singleShot(0, this, [this] {
            if (m_trayShown && isVisible() && !isMinimized())
                FensterMinimierenWiederherstellen(false);
        });
}

QSize TTB_Form1::FrameExtra() const
{
    if (m_env.frameMargins) {
        const QMargins m = m_env.frameMargins();
        return QSize(m.left() + m.right(), m.top() + m.bottom());
    }
    return frameGeometry().size() - size();
}

void TTB_Form1::ApplySavedSize()
{
    if (!m_savedOuter.isValid())
        return;
    const QSize extra = FrameExtra();
    resize(m_savedOuter - extra);
    // Before the window manager has framed the window its frame is unknown; the move that framing
    // causes applies the size again.
    if (extra.width() > 0 || extra.height() > 0 || m_env.frameMargins)
        m_savedOuter = QSize();
}

void TTB_Form1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    ApplySavedSize();
}

bool TTB_Form1::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        if (m_status)
            m_status->EingabeBemerkt();
        break;
    default:
        break;
    }
    if (!Lb1Liste || m_ended)
        return QMainWindow::eventFilter(watched, event);
    // Every size change of the visible window lays the controls out anew; minimising does not.
    if (event->type() == QEvent::Resize && watched == centralWidget() && IsRunning && !IsClosing && isVisible() &&
        !isMinimized())
        SchalterEinrichten();
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == Memo1Text)
            return Memo1TextKeyPress(static_cast<QKeyEvent*>(event));
        if (watched == Le1Name || watched == Re1Log)
            return Le1NameKeyPress(static_cast<QKeyEvent*>(event));
        for (QListWidget* l : {Lb1Liste, Lb1Eingang, Lb1Verlauf}) {
            if (watched == l)
                return ListEvent(l, event);
        }
        break;
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        for (QListWidget* l : {Lb1Liste, Lb1Eingang, Lb1Verlauf}) {
            // The list selects the row under the mouse first; then it is opened.
            if (watched == l->viewport())
                QTimer::singleShot(0, this, [this, l] { OpenFromList(l, false); });
        }
        for (QLabel* label : {Lbl1Liste, Lbl1Eingang, Lbl1Verlauf, Lbl1Name, Lbl1Text, Lbl1Log}) {
            if (watched == label)
                LabelClick(label);
        }
        break;
    case QEvent::FocusIn:
        FocusCue(watched, static_cast<QFocusEvent*>(event)->reason());
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Suspend and resume ---------------------------------------------------------------------------

void TTB_Form1::Timer1UdpTimerTimer()
{
    Timer1UdpTimer->stop();
    if (StandByS)
        return;
    ConnectNetwork();
    m_endpoints->open();
    Timer1Sounds->start(2900);
    Timer1Liste->start(50);
    Timer1StatusBarTimer();
}

// --- Presence cycle -------------------------------------------------------------------------------

void TTB_Form1::Timer1ListeTimer(bool firstCycle)
{
    Timer1Liste->stop();
    if (StandByS)
        return;
    Timer1Liste->setInterval(3000);
    if (firstCycle) {
        if (!Param->HasParameter(QStringLiteral("/tbs"))) {
            Ton(TSound::sSignin, false);
            if (m_settings->Einstellungen.StatusLesenS && !IsBusy())
                SpeakText(QStringLiteral("%1 %2").arg(m_settings->Einstellungen.Name, QStringLiteral("Online")), true);
        }
        Timer1Sounds->start(2900);
    }
    SendBroadcastListe(true);
    if (!StandByS)
        Timer1Liste->start();
}

void TTB_Form1::SendBroadcastListe(bool OnlineS)
{
    const TStatusModel::TZyklus zyklus = m_status->Zyklus();
    if (zyklus.abwesendS)
        SetFensterTitel(true);
    else if (zyklus.zurueckS)
        SetFensterTitel(false);

    Protocol::TPresence presence;
    presence.User.UserName = m_env.winUserName;
    presence.User.Name = m_settings->Einstellungen.Name;
    presence.User.PC = m_env.computerName;
    presence.User.StatusNr = m_status->StatusNrFuer(zyklus);
    presence.User.Onlinezeit = m_status->Onlinezeit();
    presence.User.UsersOnline = UserListe->OnlineCount();
    presence.OnlineS = OnlineS;
    const QByteArray datagram = Protocol::buildPresence(presence);

    if (datagram.isEmpty())
        return;
    QList<QByteArray> targets;
    if (m_env.broadcastAddresses) {
        targets = m_env.broadcastAddresses();
    } else {
        for (const TBroadcastRec& rec : GetBroadcastList(false))
            targets.append(rec.BroadcastIP.toLatin1());
    }
    if (targets.isEmpty())
        return;
    bool failed = false;
    for (const QByteArray& target : targets)
        failed |= !m_endpoints->broadcastPresence(QHostAddress(QString::fromLatin1(target)), datagram);
    if (failed)
        Timer1Liste->setInterval(6000);
}

// --- State, caption, tray -------------------------------------------------------------------------

bool TTB_Form1::IsBusy() const
{
    return m_status->IsBusy();
}

bool TTB_Form1::IsAbwesend()
{
    return m_status->IsAbwesend();
}

void TTB_Form1::MenuStatusOnlineAbwesendBeschaeftigtClick(int tag)
{
    if (!m_status->Waehlen(tag)) {
        MenuStatus[m_status->Tag() - 1]->setChecked(true);
        return;
    }
    tag = m_status->Tag();
    MenuStatus[tag - 1]->setChecked(true);
    PuCtiStatusItems[tag - 1]->setChecked(true);
    PuBtnStatusItems[tag - 1]->setChecked(true);
    Btn1Status->setProperty("Tag", tag);
    static const char* captions[3] = {"Online...", "Abwesend...", "Beschäftigt..."};
    Btn1Status->setText(QString::fromUtf8(captions[tag - 1]));
    Btn1Status->setAccessibleName(Btn1Status->text());
    SetFensterTitel(false);
    if (SoundS)
        SendBroadcastListe(true);
    if (IsBusy()) {
        Ton(TSound::sBusy, true);
        if (m_settings->Einstellungen.StatusLesenS)
            SpeakText(QStringLiteral("%1 %2").arg(m_settings->Einstellungen.Name, QStringLiteral("Beschäftigt")), true);
    }
}

void TTB_Form1::SetFensterTitel(bool AbwesendS)
{
    const QString text = m_status->FensterTitel(AbwesendS);
    if (windowTitle() != text)
        setWindowTitle(text);
    SetIconHint(AbwesendS);
}

void TTB_Form1::SetIconHint(bool AbwesendS)
{
    const QString hint = m_status->IconHint(AbwesendS, LogListe ? LogListe->Count(1) : 0);
    if (hint != m_iconHint) {
        m_iconHint = hint;
        Cti->setToolTip(hint);
    }
}

bool TTB_Form1::TrayAvailable() const
{
    return m_env.trayAvailable ? m_env.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

// Without a tray (neither a status-notifier host nor an XEMBED tray) the window is minimised instead of hidden, so it
// can never be lost; the system-wide keys are armed all the same.
void TTB_Form1::FensterMinimierenWiederherstellen(bool MiniS)
{
    if (MiniS) {
        SetIconHint(false);
        m_trayShown = true;
        if (TrayAvailable()) {
            Cti->show();
            hide();
        } else {
            showMinimized();
        }
        HookS = true;
        RegisterHotKeys();
        ResetKeyHook();
    } else {
        HookS = false;
        UnregisterHotKeys();
        ResetKeyHook();
        m_trayShown = false;
        EnsureLogView();
        if (m_pendingMaximize || isMaximized())
            showMaximized();
        else
            showNormal();
        m_pendingMaximize = false;
        BringToFront(this);
        Cti->hide();
        Timer1StatusBarTimer();
        QMetaObject::invokeMethod(this, &TTB_Form1::ProgramSetFocus, Qt::QueuedConnection);
    }
}

void TTB_Form1::RegisterHotKeys()
{
    m_env.globalKeys->Register([this](int id) { OnHotKey(id); });
}

void TTB_Form1::UnregisterHotKeys()
{
    m_env.globalKeys->Unregister();
}

void TTB_Form1::ResetKeyHook()
{
    m_doubleCtrl->ResetKeyHook();
}

void TTB_Form1::OnHotKey(int id)
{
    if (!HookS)
        return;
    if (id == IGlobalKeys::MinimierenPageDown || id == IGlobalKeys::MinimierenF1)
        FensterMinimierenWiederherstellen(false);
    else if (id == IGlobalKeys::UngelesenPageUp || id == IGlobalKeys::UngelesenF2)
        MenuSpracheUngelesenClick();
}

void TTB_Form1::OnUnlocked()
{
    if (!HookS)
        return;
    RegisterHotKeys();
    ResetKeyHook();
}

void TTB_Form1::Timer1DemoVTZTimer()
{
    Timer1DemoVTZ->stop();
    if (!StandByS && HookS)
        ResetKeyHook();
}

void TTB_Form1::ProgramSetFocus()
{
    if (m_trayShown) {
        FensterMinimierenWiederherstellen(false);
        return;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            BringToFront(w);
    }
}

void TTB_Form1::Timer1MinimierenTimer()
{
    Timer1Minimieren->stop();
    if (!StandByS)
        FensterMinimierenWiederherstellen(true);
}

void TTB_Form1::Timer1SoundsTimer()
{
    Timer1Sounds->stop();
    Timer1Sounds->setInterval(2900);
    if (StandByS)
        return;
    SoundS = true;
    const int ungelesen = LogListe->Count(TLogListe::Eingang);
    if (!m_trayShown || ungelesen < 1 || IsBusy())
        return;
    const QString text = Texts::ungelesenErinnerung(ungelesen);
    if (m_settings->Einstellungen.StatusLesenS)
        SpeakText(text, false);
    ShowBalloon(Texts::ProgrammName, text);
}

void TTB_Form1::ShowBalloon(const QString& title, const QString& text)
{
    Cti->showMessage(title, text, QSystemTrayIcon::Information, 15000);
    m_env.sound->PlayNotification();
}

void TTB_Form1::Timer1StatusBarTimer()
{
    Timer1StatusBar->stop();
    if (StandByS)
        return;
    Timer1StatusBar->setInterval(500);
    const QString texts[3] = {QStringLiteral("Online: %1").arg(Lb1Liste->count()),
                              QStringLiteral("Ungelesen: %1").arg(Lb1Eingang->count()),
                              QStringLiteral("Gelesen: %1").arg(Lb1Verlauf->count())};
    for (int i = 0; i < 3; ++i) {
        if (m_panels[i]->text() != texts[i])
            m_panels[i]->setText(texts[i]);
    }
    QString hint;
    if (UserListe->Status.ChangeS) {
        Timer1StatusBar->setInterval(2000);
        hint = UserListe->Status.Text();
    } else {
        hint = KeyHints();
    }
    if (m_panels[3]->text() != hint)
        m_panels[3]->setText(hint);
    if (!StandByS && !m_trayShown)
        Timer1StatusBar->start();
}

QString TTB_Form1::KeyHints() const
{
    TKeyHintInput in;
    in.naechsteS = MenuAktNachrichtNaechste->isEnabled();
    in.vorherigeS = MenuAktNachrichtVorherige->isEnabled();
    in.gelesenS = Btn1Gelesen->isEnabled();
    in.sendenS = Btn1Senden->isEnabled();
    in.optionenS = MenuAktOptionen->isEnabled();
    in.naechste = MenuAktNachrichtNaechste->shortcut()[0].toCombined();
    in.vorherige = MenuAktNachrichtVorherige->shortcut()[0].toCombined();
    in.gelesen = MenuAktGelesen->shortcut()[0].toCombined();
    in.senden = MenuAktSenden->shortcut()[0].toCombined();
    in.optionen = MenuAktOptionen->shortcut()[0].toCombined();
    in.minimieren = MenuDateiMinimieren->shortcut()[0].toCombined();
    return KeyHintText(in);
}

void TTB_Form1::Ton(TSound sound, bool busyS)
{
    const TEinstellungen& e = m_settings->Einstellungen;
    if (SoundAllowed(sound, busyS, IsBusy(), e.SoundsWiedergebenS, e.SoundsArr[static_cast<int>(sound)]))
        m_env.sound->Play(sound);
}

// --- Settings -------------------------------------------------------------------------------------

void TTB_Form1::MenuAnsSchrifteinstellungenClick()
{
    MerkActiveControl = QApplication::focusWidget();
    {
        TBackFontDlg dlg(this, m_settings->GlobalBackColor, m_settings->GlobalFont, m_env.tolk,
                         [this](QWidget* parent, const QString& text) { return m_env.dialogs->Frage(parent, text); });
        if (dlg.exec() == QDialog::Accepted && !m_ended) {
            m_settings->GlobalBackColor = dlg.NewBackColor();
            dlg.GetNewFont(m_settings->GlobalFont);
            SchriftartZuweisen();
            RegistryLadenSpeichern(false);
        }
    }
    SetActiveControl();
}

void TTB_Form1::Btn1OptionenClick()
{
    Speech->Stop();
    TOptionenDlg dlg(this, *m_env.tolk, m_env.speechFactory ? m_env.speechFactory() : nullptr, m_settings->GlobalFont,
                     m_settings->GlobalBackColor, m_env.winUserName);
    m_settings->Einstellungen.AutostartS = AutostartS();
    dlg.SetEinstellungen(m_settings->Einstellungen);
    dlg.SetNameReadOnly(false);
    dlg.SetOldName(m_settings->Einstellungen.Name);
    if (dlg.exec() != QDialog::Accepted || m_ended)
        return;
    m_settings->Einstellungen = dlg.GetEinstellungen();
    SetAutostartS(m_settings->Einstellungen.AutostartS);
    SetFensterTitel(false);
    RegistryLadenSpeichern(false);
    // At once, so that the others see a new name.
    if (!StandByS)
        SendBroadcastListe(true);
    SetStimme();
}

void TTB_Form1::RegistryLadenSpeichern(bool LadenS)
{
    if (!m_env.settingsStore)
        return;
    TSettingsState& s = *m_settings;
    if (LadenS) {
        TSettingsLoadContext context;
        context.SilentS = SilentS;
        context.WinUserName = m_env.winUserName;
        context.minWidth = minimumWidth();
        context.minHeight = minimumHeight();
        const QSize area = workArea(this);
        context.workAreaWidth = area.width();
        context.workAreaHeight = area.height();
        s.Fenster.width = width();
        s.Fenster.height = height();
        if (!RegistryLaden(*m_env.settingsStore, s, context))
            return;
        RuhezustandS = s.RuhezustandS;
        // Through the properties, which apply them once a voice is chosen.
        SetVoiceRate(s.Einstellungen.VoiceRate);
        SetVoiceVolume(s.Einstellungen.VoiceVolume);
        m_savedOuter = QSize(s.Fenster.width, s.Fenster.height);
        ApplySavedSize();
        m_pendingMaximize = s.Fenster.state != 0;
        SetFensterTitel(false);
        return;
    }
    s.Fenster.state = isMaximized() ? 2 : (m_trayShown || isMinimized() ? 1 : 0);
    const QSize outer = size() + FrameExtra();
    s.Fenster.width = outer.width();
    s.Fenster.height = outer.height();
    RegistrySpeichern(*m_env.settingsStore, s);
}
