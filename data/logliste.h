// The message log store: one log file per partner, the inbox (unread partners) and the history.
#pragma once

#include <optional>

#include "common/clock.h"
#include "common/types.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class QFileInfo;

class TLogListe
{
public:
    // logFolderPath: the folder of the logs and of "Eingang.txt"; the clock gives "today" for pruning.
    explicit TLogListe(const QString& logFolderPath, const IClock& clock = SystemClock::instance());

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

    // The stored entry of AUser's partner, inbox first; else AUser when UpdateS, else an empty record.
    TUserListeRec Find(const TUserListeRec& AUser, bool UpdateS) const;
    // Index of AUser's partner in list Nr, or -1 (also for an empty PC).
    int FindIndex(int Nr, const TUserListeRec& AUser) const;
    // Removes entry Index of list Nr; an invalid index is ignored.
    void Delete(int Nr, int Index);
    // Empties the partner's conversation and saves its log, which keeps only the header.
    bool DeleteLogText(const TUserListeRec& AUser);
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
    bool SchreibeEingang() const;

    QString FOrdner;
    mutable std::optional<QString> FEingangGeschrieben; // what the inbox file holds, as last written here
    const IClock& FClock;
    QVector<TUserListeRec> FEingang;
    QVector<TUserListeRec> FVerlauf;
};
