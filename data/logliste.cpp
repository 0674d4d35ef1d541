#include "data/logliste.h"

#include "common/fields.h"
#include "data/logformat.h"
#include "data/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

const QString EingangDatei = QStringLiteral("Eingang.txt");

// A read-only file could not be replaced on every platform; failure is left to the save.
void MachBeschreibbar(const QString& pfad)
{
    const QFileInfo info(pfad);
    if (!info.exists() || info.isSymLink())
        return;
    const QFileDevice::Permissions rechte = info.permissions();
    if (!(rechte & QFileDevice::WriteOwner))
        QFile::setPermissions(pfad, rechte | QFileDevice::WriteOwner);
}

// A damaged log keeps its content for recovery by hand, under a name that is no longer loaded.
void BeiseiteLegen(const QString& pfad)
{
    MachBeschreibbar(pfad);
    QString ziel = pfad + QStringLiteral(".bad");
    for (int n = 1; QFileInfo::exists(ziel) && n < 1000; ++n)
        ziel = pfad + QStringLiteral(".bad.") + QString::number(n);
    QFile::rename(pfad, ziel);
}

} // namespace

TLogListe::TLogListe(const QString& logFolderPath, const IClock& clock)
    : FOrdner(logFolderPath)
    , FClock(clock)
{
    if (!FOrdner.isEmpty() && !FOrdner.endsWith(u'/') && !FOrdner.endsWith(u'\\'))
        FOrdner += u'/';
    EingangFilename = FOrdner + EingangDatei;
    Clear();
}

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

bool TLogListe::Add(bool EingangS, const TUserListeRec& AUser)
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
    return SaveLogUser(AUser);
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
            return SaveLogUser(eintrag);
        }
    }
    return false;
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
    FEingangGeschrieben.reset(); // the file on disk counts again
    const QFileInfoList dateien = QDir(FOrdner).entryInfoList({QStringLiteral("*.log")}, QDir::Files | QDir::Hidden,
                                                              QDir::Name | QDir::IgnoreCase);
    // Inbox keys are matched ignoring case, as file names so that escaped names match too.
    QSet<QString> basen;
    for (const QFileInfo& datei : dateien)
        basen.insert(datei.fileName().chopped(4).toCaseFolded());
    LadeEingang(basen);

    QSet<QString> eingangBasen;
    for (const QString& key : std::as_const(EingangSl))
        eingangBasen.insert(LogFileBase(key).toCaseFolded());
    for (const QFileInfo& datei : dateien) {
        TUserListeRec user;
        if (!LadeLog(datei, user))
            continue;
        const bool eingang = eingangBasen.contains(datei.fileName().chopped(4).toCaseFolded());
        (eingang ? FEingang : FVerlauf).append(user);
    }
    Sort(Eingang);
    Sort(Verlauf);
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

bool TLogListe::SchreibeEingang() const
{
    QString text;
    for (const QString& key : EingangSl)
        text += key + QStringLiteral("\r\n");
    // Most messages come from a partner already in the inbox; an unchanged file is not written again,
    // which saves a flush to disk before the acknowledgement.
    if (FEingangGeschrieben && *FEingangGeschrieben == text && QFileInfo::exists(EingangFilename))
        return true;
    MachBeschreibbar(EingangFilename);
    const bool ok = SaveTextFile(EingangFilename, text, ftUtf8Bom);
    if (ok)
        FEingangGeschrieben = text;
    else
        FEingangGeschrieben.reset();
    return ok;
}

bool TLogListe::SaveLogUser(const TUserListeRec& AUser)
{
    // The log is written even when the inbox file fails, so the message itself is not lost.
    const bool eingangOk = SchreibeEingang();
    const QString pfad = LogFilePath(AUser);
    MachBeschreibbar(pfad);
    const bool logOk = SaveTextFile(pfad, LogFileText(AUser), ftUtf8Bom);
    return eingangOk && logOk;
}
