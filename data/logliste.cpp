#include "data/logliste.h"

#include "common/fields.h"
#include "data/journal.h"
#include "data/logformat.h"
#include "data/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <utility>

namespace {

const QString EingangDatei = QStringLiteral("Eingang.txt");

// A damaged log keeps its content for recovery by hand, under a name that is no longer loaded.
void BeiseiteLegen(const QString& pfad)
{
    MachBeschreibbar(pfad);
    QString ziel = pfad + QStringLiteral(".bad");
    for (int n = 1; QFileInfo::exists(ziel) && n < 1000; ++n)
        ziel = pfad + QStringLiteral(".bad.") + QString::number(n);
    QFile::rename(pfad, ziel);
}

// The files of a folder's listing whose names end in endung, in any case, in the listing's order. Not QDir's
// name filters: they match through QRegularExpression, which keeps a JIT stack per thread. Built with
// mingw-w64, freeing it as the loading thread ended crashed that thread, and the program then hung at its exit.
QFileInfoList DateienMitEndung(const QFileInfoList& alle, QStringView endung)
{
    QFileInfoList dateien;
    for (const QFileInfo& datei : alle) {
        if (datei.fileName().size() > endung.size() && datei.fileName().endsWith(endung, Qt::CaseInsensitive))
            dateien.append(datei);
    }
    return dateien;
}

} // namespace

TLogListe::TLogListe(const QString& logFolderPath, const IClock& clock)
    : FOrdner(logFolderPath)
    , FClock(clock)
{
    if (!FOrdner.isEmpty() && !FOrdner.endsWith(u'/') && !FOrdner.endsWith(u'\\'))
        FOrdner += u'/';
    EingangFilename = FOrdner + EingangDatei;
    FSchreiber = std::make_unique<TLogSchreiber>(FOrdner, FClock);
    Clear();
}

TLogListe::~TLogListe() = default;

void TLogListe::Clear()
{
    FEingang.clear();
    FVerlauf.clear();
    EingangSl.clear();
}

QVector<TUserListeRec>* TLogListe::ListeNr(int Nr)
{
    return Nr == Eingang ? &FEingang : Nr == Verlauf ? &FVerlauf : nullptr;
}

const QVector<TUserListeRec>& TLogListe::Liste(int Nr) const
{
    static const QVector<TUserListeRec> leer;
    return Nr == Eingang ? FEingang : Nr == Verlauf ? FVerlauf : leer;
}

int TLogListe::Count(int Nr) const
{
    return int(Liste(Nr).size());
}

TUserListeRec TLogListe::Get(int Nr, int Index) const
{
    const QVector<TUserListeRec>& liste = Liste(Nr);
    return (Index >= 0 && Index < liste.size()) ? liste.at(Index) : TUserListeRec();
}

void TLogListe::Add(int Nr, const TUserListeRec& AUser)
{
    if (QVector<TUserListeRec>* liste = ListeNr(Nr))
        liste->append(AUser);
}

void TLogListe::Einordnen(bool EingangS, const TUserListeRec& AUser)
{
    const int ziel = EingangS ? Eingang : Verlauf;
    const int andere = EingangS ? Verlauf : Eingang;
    const int alt = FindIndex(andere, AUser);
    if (alt >= 0)
        ListeNr(andere)->remove(alt);

    const QString key = PartnerKey(AUser);
    const int k = EingangIndex(key);
    if (EingangS && k < 0)
        EingangSl.append(key);
    else if (!EingangS && k >= 0)
        EingangSl.removeAt(k);

    QVector<TUserListeRec>& liste = *ListeNr(ziel);
    const int i = FindIndex(ziel, AUser);
    if (i >= 0)
        liste[i] = AUser;
    else
        liste.append(AUser);
    Sort(ziel);
}

bool TLogListe::Add(bool EingangS, const TUserListeRec& AUser)
{
    Einordnen(EingangS, AUser);
    return SaveLogUser(AUser);
}

void TLogListe::AddMessage(bool EingangS, const TUserListeRec& AUser, const QString& block, QObject* context,
                           Gespeichert done)
{
    TJournalRecord record;
    record.Seq = ++FSeq;
    record.UserName = AUser.UserName;
    record.Name = AUser.Name;
    record.PC = AUser.PC;
    record.Zeit = AUser.Zeit;
    record.Block = block;

    // The inbox file is written with the message, so an acknowledged message is unread after a crash too;
    // the key list changes now, so a later message's inbox text includes it.
    const QString key = PartnerKey(AUser);
    const int k = EingangIndex(key);
    TOffen offen;
    offen.EingangS = EingangS;
    offen.KeyNeuS = EingangS && k < 0;
    if (offen.KeyNeuS)
        EingangSl.append(key);
    else if (!EingangS && k >= 0)
        EingangSl.removeAt(k);
    offen.User = AUser;
    offen.Block = block;
    offen.Context = context;
    offen.Done = std::move(done);
    FOffen.insert(record.Seq, std::move(offen));

    const QString eingang = EingangText();
    FSchreiber->Post([this, record, eingang] {
        const bool ok = FSchreiber->Append(record, eingang);
        const quint64 seq = record.Seq;
        QMetaObject::invokeMethod(
            &FKontext, [this, seq, ok] { Erledigt(seq, ok); }, Qt::QueuedConnection);
    });
}

void TLogListe::Erledigt(quint64 seq, bool okS)
{
    const auto it = FOffen.find(seq);
    if (it == FOffen.end())
        return;
    TOffen offen = std::move(it.value());
    FOffen.erase(it);
    FErledigt = std::max(FErledigt, seq);

    TUserListeRec eintrag;
    if (okS) {
        eintrag = offen.User;
        // Taken out of the list and put on in front where it lies: held by nobody else, the text keeps room
        // at its front, so a message costs its own length and not the conversation's.
        eintrag.Text = TextEntnehmen(offen.User);
        eintrag.Text.prepend(offen.Block);
        Einordnen(offen.EingangS, eintrag);
    } else {
        eintrag = Find(offen.User, false);
        // The key list goes back to what the lists hold.
        const QString key = PartnerKey(offen.User);
        const int k = EingangIndex(key);
        const bool imEingangS = FindIndex(Eingang, offen.User) >= 0;
        if (k >= 0 && !imEingangS && offen.KeyNeuS)
            EingangSl.removeAt(k);
        else if (k < 0 && imEingangS)
            EingangSl.append(key);
        if (eintrag.PC.isEmpty()) {
            eintrag = offen.User;
            eintrag.Text.clear();
        }
    }
    if (offen.Done && !offen.Context.isNull())
        offen.Done(okS, eintrag);
}

QString TLogListe::TextEntnehmen(const TUserListeRec& AUser)
{
    for (int nr : {Eingang, Verlauf}) {
        const int i = FindIndex(nr, AUser);
        if (i >= 0)
            return std::exchange((*ListeNr(nr))[i].Text, QString());
    }
    return QString();
}

bool TLogListe::Sync(bool foldS)
{
    return FSchreiber->Call([this, foldS] { return !foldS || FSchreiber->FoldAll(); });
}

TUserListeRec TLogListe::Find(const TUserListeRec& AUser, bool UpdateS) const
{
    for (int nr : {Eingang, Verlauf}) {
        const int i = FindIndex(nr, AUser);
        if (i >= 0)
            return Liste(nr).at(i);
    }
    return UpdateS ? AUser : TUserListeRec();
}

int TLogListe::FindIndex(int Nr, const TUserListeRec& AUser) const
{
    if (AUser.PC.isEmpty())
        return -1;
    const QVector<TUserListeRec>& liste = Liste(Nr);
    for (int i = 0; i < liste.size(); ++i) {
        if (liste.at(i).PC == AUser.PC && liste.at(i).UserName == AUser.UserName)
            return i;
    }
    return -1;
}

void TLogListe::Delete(int Nr, int Index)
{
    QVector<TUserListeRec>* liste = ListeNr(Nr);
    if (liste && Index >= 0 && Index < liste->size())
        liste->remove(Index);
}

bool TLogListe::DeleteLogText(const TUserListeRec& AUser)
{
    for (int nr : {Eingang, Verlauf}) {
        const int i = FindIndex(nr, AUser);
        if (i >= 0) {
            TUserListeRec& eintrag = (*ListeNr(nr))[i];
            eintrag.Text.clear();
            const QString eingang = EingangText();
            const quint64 bis = FErledigt;
            return FSchreiber->Call([this, eintrag, eingang, bis] {
                const bool eingangOk = FSchreiber->WriteEingang(eingang);
                return FSchreiber->Clear(eintrag, bis) && eingangOk;
            });
        }
    }
    return false;
}

bool TLogListe::DeleteLogFile(const TUserListeRec& AUser)
{
    const quint64 bis = FErledigt;
    return FSchreiber->Call([this, AUser, bis] { return FSchreiber->Remove(AUser, bis); });
}

int TLogListe::Update(const QVector<TUserListeRec>& AUserListe)
{
    int bits = 0;
    for (const TUserListeRec& user : AUserListe) {
        if (user.PC.isEmpty())
            continue;
        int nr = Eingang;
        int i = FindIndex(nr, user);
        if (i < 0) {
            nr = Verlauf;
            i = FindIndex(nr, user);
        }
        if (i < 0)
            continue;
        TUserListeRec& eintrag = (*ListeNr(nr))[i];
        if (eintrag.Name != user.Name) {
            eintrag.Name = user.Name;
            bits |= nr;
        }
    }
    return bits;
}

void TLogListe::Sort(int Nr)
{
    if (QVector<TUserListeRec>* liste = ListeNr(Nr)) {
        std::stable_sort(liste->begin(), liste->end(),
                         [](const TUserListeRec& a, const TUserListeRec& b) { return a.Zeit > b.Zeit; });
    }
}

int TLogListe::EingangIndex(const QString& key) const
{
    for (int i = 0; i < EingangSl.size(); ++i) {
        if (EingangSl.at(i).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TLogListe::LogFilePath(const TUserListeRec& AUser) const
{
    return FOrdner + LogFileName(PartnerKey(AUser));
}

void TLogListe::LoadLogs()
{
    Clear();
    // Every earlier write is done, and the inbox file on disk counts again.
    FSchreiber->Call([this] {
        FSchreiber->ForgetEingang();
        return true;
    });
    // The folder is listed once, for its logs and its journals.
    const QFileInfoList alle = QDir(FOrdner).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    const QFileInfoList dateien = DateienMitEndung(alle, u".log");
    // Inbox keys are matched ignoring case, as file names so that escaped names match too.
    QSet<QString> basen;
    for (const QFileInfo& datei : dateien)
        basen.insert(datei.fileName().chopped(4).toCaseFolded());
    TJournale journale = LeseJournale(DateienMitEndung(alle, JournalSuffix), basen);
    LadeEingang(basen);

    QSet<QString> eingangBasen;
    for (const QString& key : std::as_const(EingangSl))
        eingangBasen.insert(LogFileBase(key).toCaseFolded());
    for (const QFileInfo& datei : dateien) {
        TUserListeRec user;
        const bool geladenS = LadeLog(datei, user);
        if (!MitJournal(journale, datei.fileName().chopped(4), user, geladenS))
            continue;
        const bool eingang = eingangBasen.contains(datei.fileName().chopped(4).toCaseFolded());
        (eingang ? FEingang : FVerlauf).append(user);
    }
    for (const QString& base : journale.keys()) {
        TUserListeRec user;
        if (MitJournal(journale, base, user, false))
            (eingangBasen.contains(base.toCaseFolded()) ? FEingang : FVerlauf).append(user);
    }
    Sort(Eingang);
    Sort(Verlauf);
}

// The journals of the folder by the base of their names, which are added to basen.
TLogListe::TJournale TLogListe::LeseJournale(const QFileInfoList& dateien, QSet<QString>& basen)
{
    TJournale journale;
    for (const QFileInfo& datei : dateien) {
        const QString base = datei.fileName().chopped(JournalSuffix.size());
        QList<TJournalRecord> records = ReadJournal(datei.filePath());
        if (records.isEmpty())
            continue;
        for (const TJournalRecord& r : std::as_const(records))
            FSeq = std::max(FSeq, r.Seq);
        const QString key = PartnerKey(records.constLast().UserName, records.constLast().PC);
        if (JournalFileName(key) == datei.fileName())
            FSchreiber->Post([this, key] { FSchreiber->Fold(key); });
        basen.insert(base.toCaseFolded());
        journale.insert(base, std::move(records));
    }
    FErledigt = FSeq;
    return journale;
}

// Puts the messages of the partner's journal, if it has one, in front of what its log gave; false
// when there is nothing to list.
bool TLogListe::MitJournal(TJournale& journale, const QString& base, TUserListeRec& user, bool geladenS)
{
    const auto it = journale.find(base);
    if (it == journale.end())
        return geladenS;
    const QList<TJournalRecord> records = it.value();
    journale.erase(it);
    const TJournalRecord& neuester = records.constLast();
    if (user.UserName.isEmpty() || user.PC.isEmpty()) {
        user.UserName = neuester.UserName;
        user.PC = neuester.PC;
        user.Text.clear();
    }
    user.Name = neuester.Name.isEmpty() ? user.UserName : neuester.Name;
    if (!user.Zeit.isValid() || neuester.Zeit > user.Zeit)
        user.Zeit = neuester.Zeit;
    user.Text = FoldedConversation(user.Text, records, FClock.now().date());
    return !user.Text.isEmpty();
}

void TLogListe::LadeEingang(const QSet<QString>& vorhandeneBasen)
{
    if (!QFileInfo::exists(EingangFilename))
        return;
    const TextFileResult gelesen = LoadTextFile(EingangFilename);
    if (!gelesen.ok)
        return;
    for (const QString& zeile : SplitLines(gelesen.text)) {
        const QString key = TrimBlanks(zeile);
        if (!key.isEmpty() && vorhandeneBasen.contains(LogFileBase(key).toCaseFolded()))
            EingangSl.append(key);
    }
}

// False when the file is not to be listed: unreadable, empty, damaged or without messages.
bool TLogListe::LadeLog(const QFileInfo& datei, TUserListeRec& user) const
{
    TextFileResult gelesen = LoadTextFile(datei.filePath());
    if (!gelesen.ok || gelesen.text.isEmpty())
        return false;
    // From the open file: one path lookup less per log.
    user.Zeit = gelesen.modified;
    QStringView rest;
    const QStringView kopf = FirstLine(gelesen.text, &rest);
    const QStringList felder = GetFelder(kopf.toString());
    if (felder.size() != 3) {
        BeiseiteLegen(datei.filePath());
        return false;
    }
    // By the rule the datagrams are read by, so a partner named over the network is found again.
    user.UserName = CleanFeld(felder.at(0));
    user.Name = CleanFeld(felder.at(1));
    user.PC = CleanFeld(felder.at(2));
    // Blanks name nobody, and the next save would write the header with a field missing.
    if (user.UserName.isEmpty() || user.PC.isEmpty()) {
        BeiseiteLegen(datei.filePath());
        return false;
    }
    // As a sender does with an empty display name, so the header keeps its three fields.
    if (user.Name.isEmpty())
        user.Name = user.UserName;
    user.Text = ConversationFromLog(std::move(gelesen.text), rest.data() - gelesen.text.constData(),
                                    FClock.now().date(), gelesen.crLfOnly);
    return !user.Text.isEmpty();
}

QString TLogListe::EingangText() const
{
    QString text;
    for (const QString& key : EingangSl)
        text += key + QStringLiteral("\r\n");
    return text;
}

bool TLogListe::SaveLogUser(const TUserListeRec& AUser)
{
    // Through the writer, after every message handed to it: a message not yet back is kept in front.
    // The log is written even when the inbox file fails, so the message itself is not lost; an unchanged
    // inbox file is not written again.
    const QString eingang = EingangText();
    const quint64 bis = FErledigt;
    return FSchreiber->Call([this, AUser, eingang, bis] {
        const bool eingangOk = FSchreiber->WriteEingang(eingang);
        const bool logOk = FSchreiber->Rewrite(AUser, bis);
        return eingangOk && logOk;
    });
}
