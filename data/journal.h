// The per-partner journal: each new message is appended to it and flushed before it is acknowledged,
// and a writer thread later folds it into the partner's newest-first log file. Storing a message thus
// costs one small append, whatever the length of the conversation.
#pragma once

#include "common/clock.h"
#include "common/types.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QFile;
class QThread;

// One stored message: the block put in front of the partner's conversation, with the partner's header
// fields at that moment. Seq orders records across all partners of one store.
struct TJournalRecord
{
    quint64 Seq = 0;
    QString UserName;
    QString Name;
    QString PC;
    QDateTime Zeit;
    QString Block; // as held in memory: "Nachricht von ...:\r...\r"

    bool operator==(const TJournalRecord& o) const
    {
        return Seq == o.Seq && UserName == o.UserName && Name == o.Name && PC == o.PC && Zeit == o.Zeit &&
               Block == o.Block;
    }
};

// Every log name ends in ".log", every journal name in this: the two never meet, and the loader's
// "*.log" never takes a journal for a log.
inline constexpr QStringView JournalSuffix = u".journal";
// The journal's name for a partner key.
// A read-only file could not be replaced on every platform; failure is left to the save.
void MachBeschreibbar(const QString& pfad);
QString JournalFileName(const QString& key);

// A record as it is appended: marker, payload length, CRC-32 of the payload, payload.
QByteArray EncodeJournalRecord(const TJournalRecord& record);
// The records of a journal's bytes, up to the first one that is torn or damaged (the tail a crash may
// leave); validLength receives the bytes they take.
QList<TJournalRecord> DecodeJournal(QByteArrayView bytes, qsizetype* validLength = nullptr);
// DecodeJournal of a file; an unreadable or missing file has no records.
QList<TJournalRecord> ReadJournal(const QString& path, qsizetype* validLength = nullptr);

// The conversation after folding: the journal's blocks, newest first, in front of a log's body (the
// lines after its header, as read). Records whose blocks already stand at the top of the body, in the
// same order (a fold that was cut short after the log had been replaced), are not added again. Old blocks
// are pruned as at load; line breaks as in memory after a load.
QString FoldedConversation(QStringView body, const QList<TJournalRecord>& records, const QDate& today);

// Makes what was written to an open file durable (fdatasync, FlushFileBuffers).
bool SyncFileData(QFile& file);
// Makes the folder's entries (a new or renamed file) durable where the platform needs it.
bool SyncFolder(const QString& folder);

// The store's disk writer: one thread that takes jobs in order, so the writes of every partner keep
// their order and a partner's files have one writer. A journal is folded into its log when the writer
// has been idle for FoldIdleMs, when it grows beyond FoldBytes, and when the writer ends.
// Behind its records a journal keeps zeros already on disk (RoomBytes more when less than half of that
// is left, from its second record on): a record written over them changes neither the file's size nor
// its blocks, so its flush writes only the record and not the file's metadata too. The journals written
// last stay open (up to OpenJournals): looking at a file's state between writes (as opening it does)
// makes some file systems write its metadata with the next flush all the same.
class TLogSchreiber
{
public:
    static constexpr int FoldIdleMs = 1000;
    static constexpr qint64 FoldBytes = 1 << 20;
    static constexpr qint64 RoomBytes = 64 << 10;
    static constexpr int OpenJournals = 16;

    // folder ends with a separator; the clock gives "today" for pruning what is folded.
    TLogSchreiber(const QString& folder, const IClock& clock);
    // Finishes every job and folds every journal.
    ~TLogSchreiber();
    TLogSchreiber(const TLogSchreiber&) = delete;
    TLogSchreiber& operator=(const TLogSchreiber&) = delete;

    // Jobs, run on the writer thread in the order given.
    void Post(std::function<void()> job);
    // Runs job on the writer thread after all earlier ones and waits for its result.
    bool Call(const std::function<bool()>& job);

    // The following run on the writer thread only (inside a job).

    // Appends the record to its partner's journal and flushes it; then writes the inbox text when given
    // and different from what the file holds. False when either failed.
    bool Append(const TJournalRecord& record, const std::optional<QString>& eingangText);
    // Writes the inbox file unless it already holds text.
    bool WriteEingang(const QString& text);
    // The inbox file is read again by a load: its content counts as unknown.
    void ForgetEingang() { FEingangGeschrieben.reset(); }
    // Replaces the partner's log by user's header and conversation, with the journal's records after
    // bisSeq (not yet in user.Text, which holds those up to it) in front of it; then removes the journal.
    bool Rewrite(const TUserListeRec& user, quint64 bisSeq);
    // Empties the partner's conversation: the log keeps its header and the journal's records after bisSeq.
    bool Clear(const TUserListeRec& user, quint64 bisSeq);
    // Deletes the partner's log and the journal's records up to bisSeq; later ones stay for the next fold.
    bool Remove(const TUserListeRec& user, quint64 bisSeq);
    // Folds the partner's journal into its log; true when there is nothing left to fold.
    bool Fold(const QString& key);
    bool FoldAll();

private:
    void Run();
    QString LogPath(const QString& key) const;
    QString JournalPath(const QString& key) const;
    bool ReplaceLog(const QString& key, const TUserListeRec& header, const QString& text);
    // Puts RoomBytes of zeros behind the open journal's records unless half of its room is left.
    void MakeRoom(const QString& key);
    struct TOffeneDatei
    {
        std::unique_ptr<QFile> file;
        qint64 groesse = 0;
    };
    // The partner's open journal, opened (and made) when needed; nullptr when it cannot be opened.
    TOffeneDatei* Oeffnen(const QString& key, bool* neu);
    using TDateien = std::deque<std::pair<QString, TOffeneDatei>>;
    // The open journal of a file (see Kennung), or the end.
    TDateien::iterator OffenesJournal(const QString& id);
    // Closes the partner's journal before it is replaced or removed.
    void Schliessen(const QString& key);
    // Closes the journal used least recently, cut back to its records.
    void SchliessenAeltestes();
    void Forget(const QString& key);

    QString FOrdner;
    const IClock& FClock;
    std::optional<QString> FEingangGeschrieben;
    // Journals written since their last fold: key -> bytes. Journals whose torn tail was cut off: key ->
    // where their records end; only zeros follow there.
    QHash<QString, qint64> FOffen;
    // Keyed by the file a key names (see Kennung in the source).
    QHash<QString, qint64> FGueltig;
    // New journals whose folder entry may not be durable yet.
    QSet<QString> FOhneEintrag;
    // Open journals, the one used last at the end.
    TDateien FDateien;

    std::mutex FMutex;
    std::condition_variable FWach;
    std::deque<std::function<void()>> FJobs;
    bool FEnde = false;
    // A QThread rather than a std::thread: Qt adopts a foreign thread that posts to an object, and
    // under Windows its clean-up when that thread ended raced with the window thread.
    std::unique_ptr<QThread> FThread;
};
