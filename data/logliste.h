// The message log store: one log file per partner, the inbox (unread partners) and the history.
#pragma once

#include <functional>
#include <memory>

#include "common/clock.h"
#include "common/types.h"

#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class TLogSchreiber;
struct TJournalRecord;

class TLogListe
{
public:
    // logFolderPath: the folder of the logs and of "Eingang.txt"; the clock gives "today" for pruning.
    explicit TLogListe(const QString& logFolderPath, const IClock& clock = SystemClock::instance());
    // Waits for every write and folds every journal into its log.
    ~TLogListe();
    TLogListe(const TLogListe&) = delete;
    TLogListe& operator=(const TLogListe&) = delete;

    // Inbox keys, one per unread partner, in the order they were added; looked up ignoring case.
    QStringList EingangSl;
    QString EingangFilename;

    // List numbers.
    static constexpr int Eingang = 1;
    static constexpr int Verlauf = 2;

    // Empties both lists and the inbox keys; the files stay untouched.
    void Clear();
    int Count(int Nr) const;
    // A copy of entry Index of list Nr, or an empty record out of range.
    TUserListeRec Get(int Nr, int Index) const;
    const QVector<TUserListeRec>& Liste(int Nr) const;

    // Appends a copy to list Nr; nothing else.
    void Add(int Nr, const TUserListeRec& AUser);
    // Files the partner into the inbox (true: a message came in) or the history (sent or read) and
    // saves; false when a file could not be written.
    bool Add(bool EingangS, const TUserListeRec& AUser);

    using Gespeichert = std::function<void(bool okS, const TUserListeRec& eintrag)>;
    // Stores a new message of AUser's partner (PC, UserName, Name and Zeit as of the message): block goes in
    // front of the conversation. It is appended to the partner's journal and flushed to disk off this
    // thread (with the inbox file when that changes); then, back on this thread and in the order of the
    // calls, the partner is filed into the inbox (EingangS) or the history with block in front of its
    // conversation, and done(true, entry) runs. When the append failed nothing is filed and done(false,
    // the stored entry as it was) runs. done is skipped when context is gone by then.
    void AddMessage(bool EingangS, const TUserListeRec& AUser, const QString& block, QObject* context,
                    Gespeichert done);
    // Waits until every write so far is on disk; with foldS the journals are folded into the logs too.
    // False when a fold failed.
    bool Sync(bool foldS = false);

    // The stored entry of AUser's partner, inbox first; else AUser when UpdateS, else an empty record.
    TUserListeRec Find(const TUserListeRec& AUser, bool UpdateS) const;
    // Index of AUser's partner in list Nr, or -1 (also for an empty PC).
    int FindIndex(int Nr, const TUserListeRec& AUser) const;
    // Removes entry Index of list Nr; an invalid index is ignored.
    void Delete(int Nr, int Index);
    // Empties the partner's conversation and saves its log, which keeps only the header.
    bool DeleteLogText(const TUserListeRec& AUser);
    // Deletes the partner's log file and its journal; a message still being stored stays. The entry is
    // not touched.
    bool DeleteLogFile(const TUserListeRec& AUser);
    // Takes changed display names from the online users; bit 1: inbox changed, bit 2: history changed.
    int Update(const QVector<TUserListeRec>& AUserListe);
    // Newest Zeit first; equal times keep their order.
    void Sort(int Nr);

    // Rebuilds inbox and history from the log folder, dropping messages older than 90 days.
    void LoadLogs();
    // Writes the inbox file and the partner's log file; false when either could not be written.
    bool SaveLogUser(const TUserListeRec& AUser);

    // Full path of the partner's log file.
    QString LogFilePath(const TUserListeRec& AUser) const;

private:
    QVector<TUserListeRec>* ListeNr(int Nr);
    int EingangIndex(const QString& key) const;
    void LadeEingang(const QSet<QString>& vorhandeneBasen);
    bool LadeLog(const QFileInfo& datei, TUserListeRec& user) const;
    QString EingangText() const;
    void Einordnen(bool EingangS, const TUserListeRec& AUser);
    // The stored conversation of AUser, left empty in its list until it goes back.
    QString TextEntnehmen(const TUserListeRec& AUser);
    void Erledigt(quint64 seq, bool okS);
    using TJournale = QHash<QString, QList<TJournalRecord>>;
    TJournale LeseJournale(const QFileInfoList& dateien, QSet<QString>& basen);
    bool MitJournal(TJournale& journale, const QString& base, TUserListeRec& user, bool geladenS);

    struct TOffen
    {
        bool EingangS = false;
        bool KeyNeuS = false;
        TUserListeRec User;
        QString Block;
        QPointer<QObject> Context;
        Gespeichert Done;
    };

    QString FOrdner;
    const IClock& FClock;
    QVector<TUserListeRec> FEingang;
    QVector<TUserListeRec> FVerlauf;
    // Messages handed to the writer and not yet back, by sequence number; FErledigt: the last one back.
    QHash<quint64, TOffen> FOffen;
    quint64 FSeq = 0;
    quint64 FErledigt = 0;
    QObject FKontext; // receives the writer's answers on this thread
    std::unique_ptr<TLogSchreiber> FSchreiber;
};
