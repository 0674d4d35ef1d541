#include "data/journal.h"

#include "data/logformat.h"
#include "data/textfile.h"

#include "common/fields.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QThread>

#include <algorithm>
#include <array>
#include <future>
#include <memory>

namespace {

constexpr char Marke[4] = {'T', 'b', 'J', '1'};
constexpr qsizetype KopfBytes = 12;
// A message is at most a datagram; anything far beyond is damage, not a record.
constexpr quint32 MaxNutzBytes = 16u << 20;

quint32 Crc32(QByteArrayView bytes)
{
    static const std::array<quint32, 256> tabelle = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char b : bytes)
        crc = tabelle[(crc ^ quint8(b)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutU32(QByteArray& out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

void PutU64(QByteArray& out, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

void PutText(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    PutU32(out, quint32(utf8.size()));
    out += utf8;
}

struct Leser
{
    QByteArrayView bytes;
    qsizetype pos = 0;

    bool u64(quint64& v)
    {
        if (bytes.size() - pos < 8)
            return false;
        v = 0;
        for (int i = 0; i < 8; ++i)
            v |= quint64(quint8(bytes[pos + i])) << (8 * i);
        pos += 8;
        return true;
    }
    bool u32(quint32& v)
    {
        if (bytes.size() - pos < 4)
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= quint32(quint8(bytes[pos + i])) << (8 * i);
        pos += 4;
        return true;
    }
    bool text(QString& t)
    {
        quint32 n = 0;
        if (!u32(n) || quint64(bytes.size() - pos) < n)
            return false;
        // A name may begin with U+FEFF; QString::fromUtf8 would take it for a byte-order mark and drop it.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        t = utf8(bytes.sliced(pos, n));
        pos += n;
        return true;
    }
};

// A block as the log file holds it: every line break CR LF.
QString DateiForm(const QString& block)
{
    QString out;
    out.reserve(block.size() + 8);
    for (qsizetype i = 0; i < block.size(); ++i) {
        const QChar c = block[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < block.size() && block[i + 1] == u'\n')
                ++i;
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

// The blocks of the records not yet at the top of body, newest first, as held in memory. A fold takes
// the whole journal, so what a fold cut short after replacing the log left behind is its oldest records,
// at the top of the log; the most of them found there count as folded.
QString NeueBloecke(QStringView body, const QList<TJournalRecord>& records)
{
    const qsizetype n = records.size();
    QString alle; // the blocks in file form, newest first
    QList<qsizetype> anfang(n);
    for (qsizetype i = n - 1; i >= 0; --i) {
        anfang[i] = alle.size();
        alle += DateiForm(records.at(i).Block);
    }
    qsizetype gefaltet = 0;
    for (qsizetype k = n; k > 0 && !body.isEmpty(); --k) {
        const QStringView aeltere = QStringView(alle).sliced(anfang[k - 1]);
        // A load trims the end of the conversation.
        if (body.startsWith(aeltere) || body == TrimBlanks(aeltere)) {
            gefaltet = k;
            break;
        }
    }
    QString neu;
    for (qsizetype i = n - 1; i >= gefaltet; --i)
        neu += records.at(i).Block;
    return neu;
}

// Which journal file a partner key names: Windows compares file names ignoring case, so two spellings
// of one user must not keep two handles and two ends of one file.
QString Kennung(const QString& key)
{
#ifdef Q_OS_WIN
    return key.toCaseFolded();
#else
    return key;
#endif
}

bool Entfernen(const QString& pfad)
{
    if (!QFileInfo::exists(pfad))
        return true;
    MachBeschreibbar(pfad);
    return QFile::remove(pfad);
}

} // namespace

void MachBeschreibbar(const QString& pfad)
{
    const QFileInfo info(pfad);
    if (!info.exists() || info.isSymLink())
        return;
    const QFileDevice::Permissions rechte = info.permissions();
    if (!(rechte & QFileDevice::WriteOwner))
        QFile::setPermissions(pfad, rechte | QFileDevice::WriteOwner);
}

QString JournalFileName(const QString& key)
{
    return LogFileBase(key) + JournalSuffix.toString();
}

QByteArray EncodeJournalRecord(const TJournalRecord& record)
{
    QByteArray nutz;
    PutU64(nutz, record.Seq);
    PutU64(nutz, quint64(record.Zeit.isValid() ? record.Zeit.toMSecsSinceEpoch() : 0));
    PutText(nutz, record.UserName);
    PutText(nutz, record.Name);
    PutText(nutz, record.PC);
    PutText(nutz, record.Block);
    QByteArray out(Marke, 4);
    PutU32(out, quint32(nutz.size()));
    PutU32(out, Crc32(nutz));
    out += nutz;
    return out;
}

QList<TJournalRecord> DecodeJournal(QByteArrayView bytes, qsizetype* validLength)
{
    QList<TJournalRecord> records;
    qsizetype pos = 0;
    while (bytes.size() - pos >= KopfBytes && bytes.sliced(pos, 4) == QByteArrayView(Marke, 4)) {
        Leser kopf{bytes.sliced(pos + 4, 8)};
        quint32 laenge = 0;
        quint32 crc = 0;
        kopf.u32(laenge);
        kopf.u32(crc);
        if (laenge > MaxNutzBytes || quint64(bytes.size() - pos - KopfBytes) < laenge)
            break;
        const QByteArrayView nutz = bytes.sliced(pos + KopfBytes, laenge);
        if (Crc32(nutz) != crc)
            break;
        Leser r{nutz};
        TJournalRecord rec;
        quint64 ms = 0;
        if (!r.u64(rec.Seq) || !r.u64(ms) || !r.text(rec.UserName) || !r.text(rec.Name) || !r.text(rec.PC) ||
            !r.text(rec.Block) || r.pos != nutz.size())
            break;
        rec.Zeit = QDateTime::fromMSecsSinceEpoch(qint64(ms));
        records.append(rec);
        pos += KopfBytes + laenge;
    }
    if (validLength)
        *validLength = pos;
    return records;
}

QList<TJournalRecord> ReadJournal(const QString& path, qsizetype* validLength)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (validLength)
            *validLength = 0;
        return {};
    }
    return DecodeJournal(file.readAll(), validLength);
}

QString FoldedConversation(QStringView body, const QList<TJournalRecord>& records, const QDate& today)
{
    return ConversationFromLog(NeueBloecke(body, records) + body.toString(), today);
}

// --- The writer ------------------------------------------------------------------------------------

TLogSchreiber::TLogSchreiber(const QString& folder, const IClock& clock)
    : FOrdner(folder)
    , FClock(clock)
{
}

TLogSchreiber::~TLogSchreiber()
{
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FEnde = true;
    }
    FWach.notify_all();
    if (FThread)
        FThread->wait();
}

void TLogSchreiber::Post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FJobs.push_back(std::move(job));
        if (!FThread) {
            FThread.reset(QThread::create([this] { Run(); }));
            FThread->start();
        }
    }
    FWach.notify_one();
}

bool TLogSchreiber::Call(const std::function<bool()>& job)
{
    // The job owns the promise: set_value may still touch it after the waiter below has woken and
    // returned (with winpthreads it then corrupted the heap).
    auto ergebnis = std::make_shared<std::promise<bool>>();
    std::future<bool> f = ergebnis->get_future();
    Post([&job, ergebnis] { ergebnis->set_value(job()); });
    return f.get();
}

void TLogSchreiber::Run()
{
    std::unique_lock<std::mutex> lock(FMutex);
    for (;;) {
        if (FJobs.empty()) {
            if (FEnde)
                break;
            const auto weiter = [this] { return !FJobs.empty() || FEnde; };
            // Folding waits for a quiet moment, so it never delays the append of a message.
            if (!FOffen.isEmpty()) {
                if (!FWach.wait_for(lock, std::chrono::milliseconds(FoldIdleMs), weiter)) {
                    lock.unlock();
                    FoldAll();
                    lock.lock();
                }
            } else {
                FWach.wait(lock, weiter);
            }
            continue;
        }
        std::function<void()> job = std::move(FJobs.front());
        FJobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
    lock.unlock();
    FoldAll();
    while (!FDateien.empty())
        SchliessenAeltestes();
}

QString TLogSchreiber::LogPath(const QString& key) const
{
    return FOrdner + LogFileName(key);
}

QString TLogSchreiber::JournalPath(const QString& key) const
{
    return FOrdner + JournalFileName(key);
}

TLogSchreiber::TOffeneDatei* TLogSchreiber::Oeffnen(const QString& key, bool* neu)
{
    *neu = false;
    const QString id = Kennung(key);
    if (const auto it = OffenesJournal(id); it != FDateien.end()) {
        if (std::next(it) != FDateien.end()) {
            auto eintrag = std::move(*it);
            FDateien.erase(it);
            FDateien.push_back(std::move(eintrag));
        }
        return &FDateien.back().second;
    }
    const QString pfad = JournalPath(key);
    auto file = std::make_unique<QFile>(pfad);
    *neu = !file->exists();
    MachBeschreibbar(pfad);
    if (!file->open(QIODevice::ReadWrite))
        return nullptr;
    if (int(FDateien.size()) >= OpenJournals)
        SchliessenAeltestes();
    const qint64 groesse = file->size();
    FDateien.push_back({id, TOffeneDatei{std::move(file), groesse}});
    return &FDateien.back().second;
}

void TLogSchreiber::SchliessenAeltestes()
{
    // Zeros stay only behind the journals kept open, so many partners at once cost no more disk.
    const auto& [id, datei] = FDateien.front();
    const auto ende = FGueltig.constFind(id);
    if (ende != FGueltig.constEnd() && datei.groesse > *ende && !datei.file->resize(*ende))
        FGueltig.remove(id);
    FDateien.pop_front();
}

TLogSchreiber::TDateien::iterator TLogSchreiber::OffenesJournal(const QString& id)
{
    return std::find_if(FDateien.begin(), FDateien.end(), [&](const auto& e) { return e.first == id; });
}

void TLogSchreiber::Schliessen(const QString& key)
{
    if (const auto it = OffenesJournal(Kennung(key)); it != FDateien.end())
        FDateien.erase(it);
}

bool TLogSchreiber::Append(const TJournalRecord& record, const std::optional<QString>& eingangText)
{
    const QString key = PartnerKey(record.UserName, record.PC);
    bool neu = false;
    TOffeneDatei* offen = Oeffnen(key, &neu);
    if (!offen)
        return false;
    QFile& file = *offen->file;
    const QString id = Kennung(key);
    const auto bekannt = FGueltig.constFind(id);
    qint64 vorher = offen->groesse;
    if (bekannt != FGueltig.constEnd() && *bekannt <= offen->groesse) {
        vorher = *bekannt;
    } else if (!neu) {
        // A crash may have left a torn record; what follows it would never be read. The rest of the file
        // goes too, so a new record shorter than the torn one is never followed by the torn one's remains.
        qsizetype gueltig = 0;
        DecodeJournal(file.readAll(), &gueltig);
        if (gueltig < offen->groesse) {
            if (!file.resize(gueltig)) {
                Schliessen(key);
                return false;
            }
            offen->groesse = gueltig;
        }
        vorher = gueltig;
    }
    const QByteArray bytes = EncodeJournalRecord(record);
    const bool ohneEintrag = neu || FOhneEintrag.contains(id);
    const bool ok = file.seek(vorher) && file.write(bytes) == bytes.size() && file.flush() && SyncFileData(file) &&
                    (!ohneEintrag || SyncFolder(FOrdner));
    if (!ok) {
        // A record whose flush failed is not acknowledged; it must not come back at the next start. A new
        // journal goes again; if it stays, the next append makes its folder entry durable.
        const bool gekuerzt = file.resize(vorher);
        Schliessen(key);
        FGueltig.remove(id);
        if (ohneEintrag && !Entfernen(JournalPath(key)))
            FOhneEintrag.insert(id);
        else if (!ohneEintrag && gekuerzt)
            FGueltig[id] = vorher;
        return false;
    }
    FOhneEintrag.remove(id);
    const qint64 groesse = vorher + bytes.size();
    offen->groesse = std::max(offen->groesse, groesse);
    const qint64 raum = offen->groesse - groesse;
    FGueltig[id] = groesse;
    FOffen[key] = groesse;
    // A partner's first message makes its log at once, so the log folder shows every partner; the log is
    // tiny then. A failed fold leaves the message in the journal.
    if (!QFileInfo::exists(LogPath(key)))
        Fold(key);
    else if (groesse > FoldBytes)
        Post([this, key] { Fold(key); });
    // Not for a journal's first record: a single message is folded before a second one would use the room.
    else if (vorher > 0 && raum < RoomBytes / 2)
        Post([this, key] { MakeRoom(key); });
    return eingangText ? WriteEingang(*eingangText) : true;
}

void TLogSchreiber::MakeRoom(const QString& key)
{
    const QString id = Kennung(key);
    const auto ende = FGueltig.constFind(id);
    const auto it = OffenesJournal(id);
    if (ende == FGueltig.constEnd() || it == FDateien.end())
        return;
    TOffeneDatei& offen = it->second;
    if (offen.groesse - *ende >= RoomBytes / 2)
        return;
    const QByteArray nullen(RoomBytes, '\0');
    QFile& file = *offen.file;
    // Without the room a record is appended as before; half-written zeros are cut off.
    if (file.seek(offen.groesse) && file.write(nullen) == nullen.size() && file.flush() && SyncFileData(file))
        offen.groesse += RoomBytes;
    else if (!file.resize(offen.groesse))
        Schliessen(key);
}

void TLogSchreiber::Forget(const QString& key)
{
    Schliessen(key);
    FOffen.remove(key);
    FGueltig.remove(Kennung(key));
    FOhneEintrag.remove(Kennung(key));
}

bool TLogSchreiber::WriteEingang(const QString& text)
{
    const QString pfad = FOrdner + QStringLiteral("Eingang.txt");
    if (FEingangGeschrieben && *FEingangGeschrieben == text && QFileInfo::exists(pfad))
        return true;
    MachBeschreibbar(pfad);
    const bool ok = SaveTextFile(pfad, text, ftUtf8Bom);
    if (ok)
        FEingangGeschrieben = text;
    else
        FEingangGeschrieben.reset();
    return ok;
}

bool TLogSchreiber::ReplaceLog(const QString& key, const TUserListeRec& header, const QString& text)
{
    const QString pfad = LogPath(key);
    MachBeschreibbar(pfad);
    TUserListeRec user = header;
    user.Text = text;
    // The log holds the journal's messages before the journal goes: a crash in between leaves both,
    // and the next load finds the journal's blocks already at the top of the log.
    if (!SaveTextFile(pfad, LogFileText(user), ftUtf8Bom) || !SyncFolder(FOrdner))
        return false;
    Schliessen(key);
    const bool weg = Entfernen(JournalPath(key));
    if (weg)
        Forget(key);
    return weg;
}

bool TLogSchreiber::Rewrite(const TUserListeRec& user, quint64 bisSeq)
{
    const QString key = PartnerKey(user);
    QList<TJournalRecord> spaeter;
    for (const TJournalRecord& r : ReadJournal(JournalPath(key))) {
        if (r.Seq > bisSeq)
            spaeter.append(r);
    }
    QString text = user.Text;
    TUserListeRec kopf = user;
    if (!spaeter.isEmpty()) {
        QString neu;
        for (qsizetype i = spaeter.size() - 1; i >= 0; --i)
            neu += spaeter.at(i).Block;
        text = neu + text;
        kopf.Name = spaeter.constLast().Name;
    }
    return ReplaceLog(key, kopf, text);
}

bool TLogSchreiber::Clear(const TUserListeRec& user, quint64 bisSeq)
{
    const QString key = PartnerKey(user);
    const QString journal = JournalPath(key);
    QList<TJournalRecord> spaeter;
    QByteArray bleiben;
    for (const TJournalRecord& r : ReadJournal(journal)) {
        if (r.Seq > bisSeq) {
            spaeter.append(r);
            bleiben += EncodeJournalRecord(r);
        }
    }
    Schliessen(key);
    // The cleared messages leave the journal first: a crash before the log is replaced may then bring
    // back some of them, never lose a later one, and the log's top never meets a cleared record.
    if (bleiben.isEmpty()) {
        if (!Entfernen(journal))
            return false;
    } else {
        QSaveFile file(journal);
        MachBeschreibbar(journal);
        if (!file.open(QIODevice::WriteOnly) || file.write(bleiben) != bleiben.size() || !file.commit())
            return false;
    }
    FGueltig.remove(Kennung(key));
    TUserListeRec kopf = user;
    QString text;
    for (qsizetype i = spaeter.size() - 1; i >= 0; --i)
        text += spaeter.at(i).Block;
    if (!spaeter.isEmpty())
        kopf.Name = spaeter.constLast().Name;
    return ReplaceLog(key, kopf, text);
}

bool TLogSchreiber::Remove(const TUserListeRec& user, quint64 bisSeq)
{
    const QString key = PartnerKey(user);
    const QString journal = JournalPath(key);
    QByteArray bleiben;
    for (const TJournalRecord& r : ReadJournal(journal)) {
        if (r.Seq > bisSeq)
            bleiben += EncodeJournalRecord(r);
    }
    Schliessen(key);
    bool ok = Entfernen(LogPath(key));
    if (bleiben.isEmpty()) {
        ok = Entfernen(journal) && ok;
        Forget(key);
        return ok;
    }
    QSaveFile file(journal);
    MachBeschreibbar(journal);
    ok = file.open(QIODevice::WriteOnly) && file.write(bleiben) == bleiben.size() && file.commit() &&
         SyncFolder(FOrdner) && ok;
    if (ok)
        FGueltig[Kennung(key)] = bleiben.size();
    else
        FGueltig.remove(Kennung(key));
    FOffen[key] = bleiben.size();
    return ok;
}

bool TLogSchreiber::Fold(const QString& key)
{
    const QString journal = JournalPath(key);
    if (!QFileInfo::exists(journal)) {
        Forget(key);
        return true;
    }
    // Until it succeeds, the fold is tried again whenever the writer is idle.
    FOffen.insert(key, QFileInfo(journal).size());
    const QList<TJournalRecord> records = ReadJournal(journal);
    if (records.isEmpty()) {
        Schliessen(key);
        const bool weg = Entfernen(journal);
        if (weg)
            Forget(key);
        return weg;
    }
    const TJournalRecord& neuester = records.constLast();
    TUserListeRec kopf;
    kopf.UserName = neuester.UserName;
    kopf.Name = neuester.Name;
    kopf.PC = neuester.PC;
    QString body;
    const QString pfad = LogPath(key);
    if (QFileInfo::exists(pfad)) {
        const TextFileResult gelesen = LoadTextFile(pfad);
        // An unreadable log is not overwritten; the journal keeps the messages.
        if (!gelesen.ok)
            return false;
        QStringView rest;
        const QStringView erste = FirstLine(gelesen.text, &rest);
        // A damaged header is left to the loader, which sets the file aside.
        if (!gelesen.text.isEmpty() && GetFelder(erste.toString()).size() != 3)
            return false;
        // Compared as a load compares, so the log says what the load before the fold showed.
        body = ConversationFromLog(rest, FClock.now().date());
        return ReplaceLog(key, kopf, NeueBloecke(body, records) + body);
    }
    return ReplaceLog(key, kopf, NeueBloecke(QStringView(), records));
}

bool TLogSchreiber::FoldAll()
{
    bool ok = true;
    const QList<QString> keys = FOffen.keys();
    for (const QString& key : keys)
        ok = Fold(key) && ok;
    return ok;
}
