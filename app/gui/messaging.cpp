// The main window's side of the network: presence merged into the online list, messages received and
// sent, remote commands and the hibernation command.
#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "common/clock.h"
#include "common/fields.h"
#include "data/logliste.h"
#include "data/pcliste.h"
#include "data/userliste.h"
#include "net/commands.h"
#include "net/endpoints.h"
#include "net/presencechannel.h"
#include "net/protocol.h"
#include "net/textreceiver.h"
#include "net/textsender.h"
#include "shell/settings.h"
#include "shell/statusmodel.h"
#include "speech/output.h"

#include <QAction>
#include <QHostInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <utility>

void TTB_Form1::ConnectNetwork()
{
    m_endpoints->disconnect(this);
    // Made again with the others: the disconnect above takes every connection to the window.
    connect(m_endpoints.get(), &UdpEndpoints::bindFailed, this,
            [this](const QString& message) { m_env.dialogs->Info(isVisible() ? this : nullptr, message); });
    connect(m_endpoints.get(), &UdpEndpoints::presenceReceived, this, &TTB_Form1::UdpS1ListeUDPRead);

    m_receiver = std::make_unique<TTextReceiver>(*m_endpoints, *LogListe, m_env.computerName, *m_env.clock);
    m_receiver->setStandBy([this] { return StandByS; });
    // Texts come through the window, which holds them back while the logs are being read.
    disconnect(m_endpoints.get(), &UdpEndpoints::textReceived, m_receiver.get(), nullptr);
    connect(m_endpoints.get(), &UdpEndpoints::textReceived, this, &TTB_Form1::UdpS1TextUDPRead);
    connect(m_receiver.get(), &TTextReceiver::messageReceived, this, &TTB_Form1::UdpS1TextReceived);

    if (!m_sender) {
        m_sender =
            std::make_unique<TTextSender>(*m_endpoints, *LogListe, m_env.winUserName, m_env.computerName, *m_env.clock);
        m_sender->setDisplayName([this] { return m_settings->Einstellungen.Name; });
        m_sender->setAddressLookup([this](const QString& pc) { return m_presence->Address(pc); });
        m_sender->setStandBy([this] { return StandByS; });
        m_sender->setClosing([this] { return IsClosing; });
        connect(m_sender.get(), &TTextSender::sendFinished, this, &TTB_Form1::SendFinished);
    }

    TCommandActions actions;
    actions.quit = [this] { QTimer::singleShot(0, this, &TTB_Form1::ProgramClose); };
    actions.setAutostart = [this](bool on) { SetAutostartS(on); };
    actions.reloadUsers = [this] { PCListe->LoadUser(); };
    if (m_env.hibernate)
        actions.hibernate = m_env.hibernate;
    actions.inTray = [this] { return m_trayShown; };
    m_commands = std::make_unique<TCommandHandler>(std::move(actions));
    m_commands->setStandBy([this] { return StandByS; });
    connect(m_endpoints.get(), &UdpEndpoints::commandReceived, m_commands.get(),
            [this](const QByteArray& payload) { m_commands->UdpS1BefehlUDPRead(payload); });
}

bool TTB_Form1::isSending() const
{
    return m_sender && m_sender->isSending();
}

// --- Presence -------------------------------------------------------------------------------------

void TTB_Form1::UdpS1ListeUDPRead(const QByteArray& payload, const QHostAddress& peer)
{
    if (StandByS || IsClosing)
        return;
    const std::optional<TPresenceChannel::TMerge> merge = m_presence->Merge(payload, peer);
    if (!merge || !merge->changedS)
        return;
    if (merge->eigenerStatusS)
        m_status->OnlinezeitNeu();
    // Spoken with the merge that recorded it: the next datagram clears it, and the redraw may come later.
    if (SoundS && !merge->statusText.isEmpty() && m_settings->Einstellungen.StatusLesenS && !IsBusy())
        SpeakText(merge->statusText, true);
    RedrawOnlineList();
    if (SoundS && merge->sound)
        Ton(*merge->sound, false);
    SetMemo1TextReadOnly(UserListe->FindIndex(FAktUserName.PC) < 0);
}

// With hundreds of colleagues the list changes many times a second. It is redrawn at once when it has
// been still for a moment, otherwise once at the end of that moment, so neither the processor nor the
// screen reader is flooded.
void TTB_Form1::RedrawOnlineList()
{
    if (m_lb1Redraw.Now())
        RedrawOnlineListNow();
}

bool TTB_Form1::onlineListRedrawPending() const
{
    return m_lb1Redraw.Pending();
}

void TTB_Form1::RedrawOnlineListNow()
{
    if (StandByS || IsClosing || !UserListe->ChangeS)
        return;
    const int row = Lb1Liste->currentRow();
    const QString gewaehlt = row >= 0 ? Lb1Liste->item(row)->data(Qt::UserRole).toString() : QString();
    m_lb1Redraw.Done();
    ResetLb1Liste(gewaehlt);
}

// --- Receiving --------------------------------------------------------------------------------------

void TTB_Form1::UdpS1TextUDPRead(const QByteArray& payload, const QHostAddress& peer)
{
    // Filed into the still empty store, a message would replace its partner's whole log on disk. It waits,
    // unacknowledged; beyond a bound the sender hears nothing and reports the failure itself.
    constexpr qsizetype MaxWartend = 1000;
    if (!m_logsGeladenS) {
        if (m_wartendeTexte.size() < MaxWartend)
            m_wartendeTexte.append({payload, peer, UdpQueueGeneration});
        return;
    }
    m_receiver->UdpS1TextUDPRead(payload, peer);
}

// Sound, speech and the tray answer every message at once. The lists and the conversation show it at once
// after a quiet moment, otherwise at that moment's end with the others that came: drawing them for each
// would hold up the next message of a quick sender, and nobody reads that fast.
void TTB_Form1::UdpS1TextReceived(const TUserListeRec& partner, const QString& name, const QString& msgText)
{
    Ton(TSound::sIncoming, false);
    // Only who it came from: a quick sender's texts, each a whole conversation, would pile up.
    TUserListeRec wer = partner;
    wer.Text.clear();
    m_empfangen.append({wer, m_trayShown});
    const bool jetztS = m_empfangenShow.Now();
    if (jetztS) {
        ResetEingangVerlauf(1);
        ResetEingangVerlauf(2);
    }
    NachrichtMelden(name, msgText, m_settings->Einstellungen.FensterWiederherstellenS);
    if (jetztS)
        ShowReceivedNow(false);
}

bool TTB_Form1::receivedShowPending() const
{
    return m_empfangenShow.Pending();
}

void TTB_Form1::ShowReceivedNow(bool rowsToo)
{
    if (m_empfangen.isEmpty() || IsClosing)
        return;
    m_empfangenShow.Done();
    if (rowsToo) {
        ResetEingangVerlauf(1);
        ResetEingangVerlauf(2);
    }
    // The conversation they leave shown, as if each had been shown when it came: the shown partner's
    // messages stay in view, a message into an empty view or into the tray takes it over.
    TUserListeRec zeigen = FAktUserName;
    bool wechselS = false;
    for (const TEmpfangen& e : std::exchange(m_empfangen, {})) {
        if ((zeigen.PC == e.partner.PC && zeigen.UserName == e.partner.UserName) || zeigen.PC.isEmpty() || e.ausTrayS) {
            zeigen = e.partner;
            wechselS = true;
        }
    }
    // The store has the last word: the log may have been cleared or deleted in the meantime.
    const TUserListeRec gespeichert = wechselS ? LogListe->Find(zeigen, false) : TUserListeRec();
    if (gespeichert.PC.isEmpty()) {
        MenuAktClick();
        return;
    }
    SetAktUserName(gespeichert);
    Re1Log->moveCursor(QTextCursor::Start);
    Re1Log->setFocus();
}

// A new message is read out, and from the tray it restores the window or shows a balloon; a busy user
// is left alone.
void TTB_Form1::NachrichtMelden(const QString& name, const QString& text, bool wiederherstellenS)
{
    if (IsBusy())
        return;
    if (m_settings->Einstellungen.NachrichtLesenS)
        SpeakText(QStringLiteral("Nachricht von %1:\r\n%2").arg(name, text), true);
    if (!m_trayShown)
        return;
    if (wiederherstellenS)
        FensterMinimierenWiederherstellen(false);
    else
        ShowBalloon(QStringLiteral("Nachricht von %1").arg(name), text);
}

// --- Sending ----------------------------------------------------------------------------------------

void TTB_Form1::Btn1SendenClick()
{
    if (m_sender->isSending()) {
        Beep();
        return;
    }
    if (StandByS || IsClosing)
        return;
    // A sent message is filed into the log, which is not read yet.
    if (!m_logsGeladenS) {
        Beep();
        return;
    }
    if (!m_sender->send(FAktUserName, Memo1Text->toPlainText())) {
        Beep();
        return;
    }
    UpdateSendControls();
}

void TTB_Form1::SendFinished(bool ok, const TUserListeRec& recipient, const QString& text)
{
    if (ok) {
        Ton(TSound::sOutgoing, false);
        const bool eigenerS = recipient.PC == m_env.computerName;
        if (eigenerS) {
            Ton(TSound::sIncoming, false);
            NachrichtMelden(recipient.Name, text, false);
        }
        SetAktUserName(recipient);
        ResetEingangVerlauf(1);
        ResetEingangVerlauf(2);
        Memo1Text->clear();
        Re1Log->setFocus();
        if (!eigenerS && m_settings->Einstellungen.FensterNachSendenMinimierenS)
            Timer1Minimieren->start(1000);
    } else {
        // A message to the own PC may have been filed in memory before its save failed: the rows must
        // still show the store, or a row would open another partner.
        ResetEingangVerlauf(1);
        ResetEingangVerlauf(2);
        // Shown from the event loop: a failure may be reported from within a suspend, which must not wait
        // for the user's OK.
        QTimer::singleShot(0, this, [this] {
            m_env.dialogs->Info(isVisible() ? this : nullptr, QStringLiteral("Der Text konnte nicht gesendet werden!"));
        });
    }
    UpdateSendControls();
}

// --- Hibernating another PC -------------------------------------------------------------------------

void TTB_Form1::PuLb1RuhezustandClick()
{
    const int row = Lb1Liste->currentRow();
    if (!RuhezustandS || row < 0)
        return;
    const TUserListeRec user = UserListe->FindUser(Lb1Liste->item(row)->data(Qt::UserRole).toString());
    if (user.PC.isEmpty())
        return;
    const QByteArray datagram = Protocol::buildCommand(Protocol::CmdRuhezustand);
    auto confirm = [this, name = user.Name](bool sentS) {
        if (sentS)
            m_env.dialogs->Info(this, QStringLiteral("\"%1\" wird in den Ruhezustand versetzt!").arg(name));
    };
    const QHostAddress known = m_presence->Address(user.PC);
    if (!known.isNull()) {
        confirm(m_endpoints->sendCommand(known, datagram));
        return;
    }
    QHostInfo::lookupHost(user.PC, this, [this, datagram, confirm](const QHostInfo& info) {
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                confirm(m_endpoints->sendCommand(a, datagram));
                return;
            }
        }
    });
}
