// The main window's lists and the conversation: drawing, opening, marking as read, deleting, the message
// field's rules and the edit popup.
#include "app/gui/dialogs.h"
#include "app/gui/editcontrol.h"
#include "app/gui/mainwindow.h"
#include "common/texts.h"
#include "data/listrows.h"
#include "data/logliste.h"
#include "data/pcliste.h"
#include "data/userliste.h"
#include "net/protocol.h"
#include "shell/settings.h"
#include "speech/output.h"
#include "speech/screenreader.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QUrl>

namespace {

// The view holds at most 512 Ki characters; the newest messages come first, so the oldest go.
constexpr int MaxLogViewLength = 524288;

QString ViewLineBreaks(QString t)
{
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    return t;
}

// The log view shows line breaks; the store keeps the design's carriage returns.
QString LogViewText(const QString& text)
{
    QString t = text;
    while (!t.isEmpty() && t.back().isSpace())
        t.chop(1);
    if (t.isEmpty())
        return t;
    t = ViewLineBreaks(std::move(t));
    if (t.size() >= MaxLogViewLength) {
        // Cut after a whole line, never inside a message line or a character pair.
        const qsizetype zeile = t.lastIndexOf(u'\n', MaxLogViewLength - 2);
        t.truncate(zeile > 0 ? zeile : MaxLogViewLength - 1);
        if (!t.isEmpty() && t.back().isHighSurrogate())
            t.chop(1);
    }
    return t + u'\n';
}

// What the view of `shown` needs on top to show `next`: the new blocks of the same partner's
// conversation, as LogViewText would show them. Null when the view is to be drawn anew.
QString NewBlocksForView(const TUserListeRec& shown, const TUserListeRec& next)
{
    const qsizetype alt = shown.Text.size();
    qsizetype inhalt = alt; // LogViewText drops trailing white space
    while (inhalt > 0 && shown.Text.at(inhalt - 1).isSpace())
        --inhalt;
    if (inhalt == 0 || shown.PC != next.PC || shown.UserName != next.UserName || next.Text.size() <= alt ||
        shown.Text.front() == u'\n' || !QStringView(next.Text).endsWith(QStringView(shown.Text)))
        return QString();
    return ViewLineBreaks(next.Text.left(next.Text.size() - alt));
}

// After new blocks went on top, the view is cut as LogViewText cuts: after the last whole line that fits.
// Only the oldest lines go, so the cost follows the message, not the conversation. False when one line is
// longer than the view and it must be drawn anew.
bool CutLogView(QTextDocument& doc)
{
    if (doc.characterCount() - 1 <= MaxLogViewLength)
        return true;
    const QTextBlock letzte = doc.findBlock(MaxLogViewLength - 2);
    int ab = letzte.position();
    if (ab + letzte.length() - 1 == MaxLogViewLength - 2)
        ab = MaxLogViewLength - 1; // the line ends on the last place that counts
    if (ab < 2)
        return false;
    QTextCursor cursor(&doc);
    cursor.setPosition(ab);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    return true;
}

} // namespace

// Rows change in place, and an unchanged list is not touched at all, so a screen reader hears only what
// really changed. Returns whether anything changed.
bool TTB_Form1::SetRows(QListWidget* list, const QStringList& rows, const QStringList& keys, int select)
{
    if (select >= rows.size())
        select = -1;
    const int oldN = list->count();
    const int newN = int(rows.size());
    auto sameAt = [&](int oldRow, int newRow) {
        const QListWidgetItem* it = list->item(oldRow);
        return it->text() == rows[newRow] && it->data(Qt::UserRole).toString() == keys[newRow];
    };
    // Only the rows between an unchanged start and an unchanged end are touched: one user coming or
    // going in a long list changes one row, not all that follow it.
    int p = 0;
    while (p < oldN && p < newN && sameAt(p, p))
        ++p;
    int q = 0;
    while (q < oldN - p && q < newN - p && sameAt(oldN - 1 - q, newN - 1 - q))
        ++q;
    const bool rowsSame = p == oldN && p == newN;
    if (rowsSame && list->currentRow() == select)
        return false;

    const QSignalBlocker blocker(list);
    if (!rowsSame) {
        const int oldMid = oldN - p - q;
        const int newMid = newN - p - q;
        const int common = qMin(oldMid, newMid);
        for (int i = 0; i < common; ++i) {
            QListWidgetItem* it = list->item(p + i);
            if (it->text() != rows[p + i])
                it->setText(rows[p + i]);
            if (it->data(Qt::UserRole).toString() != keys[p + i])
                it->setData(Qt::UserRole, keys[p + i]);
        }
        for (int i = common; i < oldMid; ++i)
            delete list->takeItem(p + common);
        for (int i = common; i < newMid; ++i) {
            auto* it = new QListWidgetItem(rows[p + i]);
            it->setData(Qt::UserRole, keys[p + i]);
            list->insertItem(p + i, it);
        }
    }
    if (list->currentRow() != select) {
        if (select < 0) {
            list->clearSelection();
            list->setCurrentRow(-1);
        } else {
            list->setCurrentRow(select);
        }
    }
    return true;
}

void TTB_Form1::ResetLb1Liste(const QString& APC)
{
    // Until the quiet period after start ends, the own PC stays selected.
    const QString auswahl = SoundS ? APC : m_env.computerName;
    UserListe->Sort();
    const TAbteilungen& abteilungen = Abteilungen();
    QStringList rows;
    QStringList pcs;
    int select = -1;
    for (int i = 0; i < UserListe->Count(); ++i) {
        const TUserListeRec user = UserListe->Get(i);
        if (user.PC.isEmpty())
            continue;
        rows.append(OnlineRowText(user, abteilungen.GetAbteilungText(user.PC)));
        pcs.append(user.PC);
        if (user.PC == auswahl)
            select = rows.size() - 1;
    }
    if (select < 0 && !rows.isEmpty())
        select = 0;
    if (SetRows(Lb1Liste, rows, pcs, select))
        ++m_onlineRedraws;
    UserListe->ChangeS = false;

    const int geaendert = LogListe->Update(UserListe->GetListe());
    if (geaendert == 1 || geaendert == 3)
        ResetEingangVerlauf(1);
    if (geaendert == 2 || geaendert == 3)
        ResetEingangVerlauf(2);

    if (!FAktUserName.PC.isEmpty()) {
        TUserListeRec partner = LogListe->Find(FAktUserName, false);
        if (partner.PC.isEmpty())
            partner = UserListe->FindUser(FAktUserName.PC);
        if (!partner.PC.isEmpty() && partner.Name != FAktUserName.Name) {
            FAktUserName.Name = partner.Name;
            Le1Name->setText(partner.Name);
            Le1Name->selectAll();
        }
    }
}

void TTB_Form1::ResetEingangVerlauf(int Nr)
{
    QListWidget* list = Nr == TLogListe::Eingang ? Lb1Eingang : Lb1Verlauf;
    const int nr = Nr == TLogListe::Eingang ? TLogListe::Eingang : TLogListe::Verlauf;
    const int remembered = list->currentRow();
    TLogRows& rows = nr == TLogListe::Eingang ? m_eingangRows : m_verlaufRows;
    rows.Build(LogListe->Liste(nr), Abteilungen());
    SetRows(list, rows.Rows(), rows.Keys(), ReselectRow(remembered, int(rows.Rows().size())));
    if (nr == TLogListe::Eingang)
        SetIconHint(false);
}

const TAbteilungen& TTB_Form1::Abteilungen()
{
    const QList<TPCUserAbteilungListeRec> directory = PCListe->GetPCUserAbteilungListe();
    if (!m_abteilungen || !m_abteilungen->BuiltFrom(directory))
        m_abteilungen = std::make_unique<TAbteilungen>(directory);
    return *m_abteilungen;
}

void TTB_Form1::SetAktUserName(const TUserListeRec& rec)
{
    // A message to or from the shown partner goes on top of the view; redrawing a long conversation
    // would cost more with every message.
    const QString oben = m_logViewStale ? QString() : NewBlocksForView(FAktUserName, rec);
    FAktUserName = rec;
    if (rec.PC.isEmpty())
        Memo1Text->clear();
    SetMemo1TextReadOnly(UserListe->FindIndex(rec.PC) < 0);
    MenuAktClick();
    MenuDateiClick();
    Le1Name->setText(rec.Name);
    Le1Name->selectAll();
    if (m_trayShown) {
        // Nobody sees the view in the tray, and every message arriving there makes its sender the
        // conversation: it is drawn when the window comes back.
        m_logViewStale = true;
    } else if (oben.isNull()) {
        Re1Log->setPlainText(LogViewText(rec.Text));
    } else {
        QTextCursor cursor(Re1Log->document());
        cursor.movePosition(QTextCursor::Start);
        cursor.insertText(oben);
        if (!CutLogView(*Re1Log->document()))
            Re1Log->setPlainText(LogViewText(rec.Text));
    }
    Re1Log->moveCursor(QTextCursor::Start);
    UpdateSendControls();
}

void TTB_Form1::EnsureLogView()
{
    if (!m_logViewStale)
        return;
    m_logViewStale = false;
    Re1Log->setPlainText(LogViewText(FAktUserName.Text));
    Re1Log->moveCursor(QTextCursor::Start);
}

void TTB_Form1::MenuAktClick()
{
    const TInboxCommands c =
        InboxCommands(LogListe->FindIndex(TLogListe::Eingang, FAktUserName), LogListe->Count(TLogListe::Eingang));
    Btn1Gelesen->setEnabled(c.gelesen);
    MenuAktGelesen->setEnabled(c.gelesen);
    MenuAktNachrichtNaechste->setEnabled(c.naechste);
    MenuAktNachrichtVorherige->setEnabled(c.vorherige);
}

void TTB_Form1::SetMemo1TextReadOnly(bool readOnlyS)
{
    if (Memo1Text->isReadOnly() == readOnlyS)
        return;
    Memo1Text->setReadOnly(readOnlyS);
    // Read-only still lets the keyboard move through the draft, so it can be read back.
    Memo1Text->setTextInteractionFlags(readOnlyS ? Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse
                                                 : Qt::TextEditorInteraction);
}

void TTB_Form1::MenuDateiClick()
{
    MenuDateiClose->setEnabled(!FAktUserName.PC.isEmpty());
}

void TTB_Form1::OpenFromList(QListWidget* list, bool byKey)
{
    const int row = list->currentRow();
    if (row < 0 || !list->item(row)->isSelected()) {
        if (!byKey)
            Re1Log->setFocus();
        return;
    }
    if (list == Lb1Liste) {
        // Rows are drawn in list order; the PC alone is ambiguous when several users share one PC.
        const QString pc = list->item(row)->data(Qt::UserRole).toString();
        TUserListeRec user = UserListe->FindItem(row);
        if (user.PC != pc)
            user = UserListe->FindUser(pc);
        if (user.PC.isEmpty()) {
            Re1Log->setFocus();
            return;
        }
        SetAktUserName(LogListe->Find(user, true));
    } else {
        const int nr = list == Lb1Eingang ? TLogListe::Eingang : TLogListe::Verlauf;
        if (row >= LogListe->Count(nr))
            return;
        SetAktUserName(LogListe->Get(nr, row));
    }
    Re1Log->setFocus();
}

bool TTB_Form1::ListEvent(QListWidget* list, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
        // The number pad's Enter carries the keypad modifier.
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (enter && plain && list->currentRow() >= 0 && list->currentItem()->isSelected()) {
            OpenFromList(list, true);
            return true;
        }
        // Space would select the current row; without a selected row it does nothing.
        if (key->key() == Qt::Key_Space && plain)
            return true;
        if (list == Lb1Verlauf && key->key() == Qt::Key_Delete && plain) {
            if (Lb1Verlauf->currentRow() >= 0)
                PuLb3LoeschenClick();
            return true;
        }
    }
    return false;
}

void TTB_Form1::FocusCue(QObject* watched, Qt::FocusReason reason)
{
    // Coming back to the window or out of a menu is not a move to another control; the screen reader
    // announces that itself.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    static const QHash<QString, QString> words = {
        {QStringLiteral("Lb1Liste"), QStringLiteral("Online")},
        {QStringLiteral("Lb1Eingang"), QStringLiteral("Eingang")},
        {QStringLiteral("Lb1Verlauf"), QStringLiteral("Verlauf")},
        {QStringLiteral("Le1Name"), QStringLiteral("Empfänger")},
        {QStringLiteral("Memo1Text"), QStringLiteral("Text")},
        {QStringLiteral("Re1Log"), QStringLiteral("Nachrichtenlog")},
    };
    const auto it = words.constFind(watched->objectName());
    if (it != words.constEnd())
        m_env.tolk->output(it->toStdString(), false);
}

void TTB_Form1::LabelClick(QObject* watched)
{
    if (watched == Lbl1Name) {
        Le1Name->setFocus();
        return;
    }
    switch (watched->property("Tag").toInt()) {
    case 1:
        Lb1Liste->setFocus();
        break;
    case 2:
        Memo1Text->setFocus();
        break;
    case 3:
        Re1Log->setFocus();
        break;
    case 4:
        Lb1Eingang->setFocus();
        break;
    default:
        Lb1Verlauf->setFocus();
        break;
    }
}

// --- The message field ----------------------------------------------------------------------------

void TTB_Form1::Memo1TextChange()
{
    const QString text = Memo1Text->toPlainText();
    if (text.contains(u'|')) {
        QTextCursor cursor = Memo1Text->textCursor();
        const int anchor = cursor.anchor();
        const int position = cursor.position();
        const QSignalBlocker blocker(Memo1Text);
        QTextCursor all(Memo1Text->document());
        all.select(QTextCursor::Document);
        all.insertText(ReplaceBars(text));
        cursor = Memo1Text->textCursor();
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        Memo1Text->setTextCursor(cursor);
    }
    // A line break travels as CR LF, so it takes two of the characters a message may have.
    const QString plain = Memo1Text->toPlainText();
    if (const qsizetype fit = Protocol::editorFit(plain); fit < plain.size()) {
        const QSignalBlocker blocker(Memo1Text);
        QTextCursor cut(Memo1Text->document());
        cut.setPosition(int(fit));
        cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
        Beep();
    }
    UpdateSendControls();
}

void TTB_Form1::UpdateSendControls()
{
    const bool enabled = !isSending() && !Memo1Text->toPlainText().trimmed().isEmpty() && !FAktUserName.PC.isEmpty();
    Btn1Senden->setEnabled(enabled);
    MenuAktSenden->setEnabled(enabled);
}

bool TTB_Form1::Memo1TextKeyPress(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
        key == Qt::Key_AltGr)
        return false;
    const bool zeichenS = !event->text().isEmpty() && event->text().at(0).unicode() >= 32 &&
                          !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (Memo1Text->isReadOnly()) {
        if (zeichenS || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Backspace) {
            Beep();
            return true;
        }
        return false;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !(event->modifiers() & Qt::ShiftModifier)) {
        if (Btn1Senden->isEnabled())
            Btn1SendenClick();
        else
            Beep();
        return true;
    }
    if (key == Qt::Key_Backspace || zeichenS)
        Ton(TSound::sTyping, false);
    return false;
}

bool TTB_Form1::Le1NameKeyPress(QKeyEvent* event)
{
    const QString text = event->text();
    if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const ushort code = text.at(0).unicode();
    if (Memo1Text->isReadOnly() || code < 33) {
        if (code == 8 || code == 13 || code >= 32) {
            Beep();
            return true;
        }
        return false;
    }
    Ton(TSound::sTyping, false);
    // Inserted at the caret; a selection in the message field is kept, not overwritten.
    QTextCursor cursor = Memo1Text->textCursor();
    cursor.clearSelection();
    cursor.insertText(text);
    Memo1Text->setTextCursor(cursor);
    Memo1Text->setFocus();
    return true;
}

// --- Commands ---------------------------------------------------------------------------------------

void TTB_Form1::Btn1GelesenClick()
{
    if (LogListe->FindIndex(TLogListe::Eingang, FAktUserName) < 0)
        return;
    Ton(TSound::sRead, false);
    LogListe->Add(false, FAktUserName);
    ResetEingangVerlauf(1);
    ResetEingangVerlauf(2);
    if (LogListe->Count(TLogListe::Eingang) > 0) {
        SetAktUserName(LogListe->Get(TLogListe::Eingang, 0));
        Re1Log->setFocus();
    } else {
        SetAktUserName(TUserListeRec());
        Lb1Eingang->setFocus();
    }
}

void TTB_Form1::MenuAktNachrichtNaechsteVorherigeClick(bool naechsteS)
{
    Ton(TSound::sClick, false);
    const int target = UnreadTarget(LogListe->FindIndex(TLogListe::Eingang, FAktUserName),
                                    LogListe->Count(TLogListe::Eingang), naechsteS);
    if (target < 0)
        return;
    SetAktUserName(LogListe->Get(TLogListe::Eingang, target));
    Re1Log->setFocus();
}

void TTB_Form1::MenuDateiCloseClick()
{
    if (FAktUserName.PC.isEmpty())
        return;
    Ton(TSound::sClick, false);
    SetAktUserName(TUserListeRec());
    Lb1Eingang->setFocus();
}

void TTB_Form1::MenuAktOrdnerClick()
{
    if (m_env.openFolder)
        m_env.openFolder(m_env.logFolderPath);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_env.logFolderPath));
}

void TTB_Form1::PuLb2GelesenClick()
{
    const int row = Lb1Eingang->currentRow();
    if (row < 0 || row >= LogListe->Count(TLogListe::Eingang))
        return;
    const TUserListeRec entry = LogListe->Get(TLogListe::Eingang, row);
    Ton(TSound::sRead, false);
    LogListe->Add(false, entry);
    ResetEingangVerlauf(1);
    ResetEingangVerlauf(2);
    // Leaving and re-entering makes the screen reader announce the list again.
    Lb1Verlauf->setFocus();
    Lb1Eingang->setFocus();
    MenuAktClick();
}

void TTB_Form1::PuLb3LoeschenClick()
{
    int row = Lb1Verlauf->currentRow();
    if (row < 0 || row >= LogListe->Count(TLogListe::Verlauf))
        return;
    const TUserListeRec gefragt = LogListe->Get(TLogListe::Verlauf, row);
    if (!m_env.dialogs->Frage(
            this,
            QStringLiteral("Soll die Nachricht \"%1\" wirklich gelöscht werden?").arg(Lb1Verlauf->item(row)->text())))
        return;
    // Messages keep arriving while the question waits; the rows may have moved meanwhile.
    const int row2 = LogListe->FindIndex(TLogListe::Verlauf, gefragt);
    if (row2 < 0 || row2 >= Lb1Verlauf->count())
        return;
    row = row2;
    const TUserListeRec entry = LogListe->Get(TLogListe::Verlauf, row);
    if (FAktUserName.PC == entry.PC && FAktUserName.UserName == entry.UserName)
        SetAktUserName(TUserListeRec());
    Ton(TSound::sDelete, false);
    LogListe->DeleteLogFile(entry);
    LogListe->Delete(TLogListe::Verlauf, row);
    delete Lb1Verlauf->takeItem(row);
    const int select = ReselectRow(row, Lb1Verlauf->count());
    if (select < Lb1Verlauf->count())
        Lb1Verlauf->setCurrentRow(select);
    Lb1Eingang->setFocus();
    Lb1Verlauf->setFocus();
}

void TTB_Form1::PuEditLogLeerenClick()
{
    TUserListeRec gefragt;
    do {
        if (FAktUserName.Text.isEmpty())
            return;
        gefragt = FAktUserName;
        if (!m_env.dialogs->Frage(
                this, QStringLiteral("Soll das Log mit \"%1\" wirklich geleert werden?").arg(FAktUserName.Name)))
            return;
        // A send that ended during the question may have opened another partner.
        if (FAktUserName.PC != gefragt.PC || FAktUserName.UserName != gefragt.UserName)
            return;
        // A message that arrived during the question was never seen: the answer did not cover it.
    } while (FAktUserName.Text != gefragt.Text);
    FAktUserName.Text.clear();
    Re1Log->clear();
    m_logViewStale = false;
    const int slot = UserListe->FindIndex(FAktUserName.PC);
    if (slot >= 0) {
        TUserListeRec online = UserListe->Get(slot);
        online.Text.clear();
        UserListe->Put(slot, online);
    }
    LogListe->DeleteLogText(FAktUserName);
}

void TTB_Form1::PuEditPopup(QWidget* control, const QPoint& pos)
{
    m_editPopupFor = control;
    EnsureLogView();
    control->setFocus();
    const int tag = control->property("Tag").toInt();
    QString selected;
    QString all;
    WithEditControl(control, [&](auto* e) {
        selected = SelectedText(e);
        all = WholeText(e);
    });
    PuEditTextLoeschen->setVisible(tag == 2);
    PuEditTextLoeschen->setEnabled(!Memo1Text->toPlainText().isEmpty());
    PuEditEinfuegen->setVisible(tag == 2);
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    PuEditEinfuegen->setEnabled(clip && clip->hasText() && !Memo1Text->isReadOnly());
    PuEditKopieren->setEnabled(!selected.isEmpty());
    PuEditAllesMarkieren->setEnabled(!all.isEmpty());
    PuEditLogLeeren->setVisible(tag == 3);
    PuEditLogLeeren->setEnabled(!FAktUserName.Text.isEmpty());
    PuEditLogVorlesen->setVisible(tag == 3);
    PuEditLogVorlesen->setEnabled(SprachausgabeS() && !Re1Log->toPlainText().isEmpty());
    PuEdit->exec(control->mapToGlobal(pos));
}

void TTB_Form1::SetActiveControl()
{
    QWidget* target = MerkActiveControl;
    if (target && target->isVisible() && target->isEnabled() && target->focusPolicy() != Qt::NoFocus) {
        // Clearing first moves the focus even when the remembered control already had it.
        if (QWidget* f = QApplication::focusWidget())
            f->clearFocus();
        target->setFocus();
    }
}

void TTB_Form1::Beep()
{
    m_env.sound->Beep();
}
