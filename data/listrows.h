// Row texts of the main window's lists and the rules behind its inbox commands and message field.
#pragma once

#include "common/types.h"
#include "data/pcliste.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Departments by PC; the first directory row of a PC counts.
class TAbteilungen
{
public:
    explicit TAbteilungen(const QList<TPCUserAbteilungListeRec>& directory);
    // "(Verwaltung) " or empty. PCs compare exactly, so a lower-case PC gets no department.
    QString GetAbteilungText(const QString& APC) const;
    // Built from this very directory list (not merely an equal one), so it can be kept.
    bool BuiltFrom(const QList<TPCUserAbteilungListeRec>& directory) const { return FVon.isSharedWith(directory); }

private:
    QList<TPCUserAbteilungListeRec> FVon;
    // The texts ready made: rows ask for them once per partner and redraw.
    QHash<QString, QString> FAbteilungText;
};

// "Anna Muster (Verwaltung) auf PC07 (Online seit 08:15:00)".
QString OnlineRowText(const TUserListeRec& user, const QString& abteilungText);
// "Anna Muster (Verwaltung) auf PC07 (09.12.2026 14:05:09)".
QString LogRowText(const TUserListeRec& entry, const QString& abteilungText);

// The rows of the inbox or the history, kept between redraws: a message changes one partner's row, and
// formatting every row anew for each message cost more with every partner in the lists.
class TLogRows
{
public:
    // Rows (LogRowText) and keys ("user|PC") of entries, in their order.
    void Build(const QList<TUserListeRec>& entries, const TAbteilungen& abteilungen);
    const QStringList& Rows() const { return FRows; }
    const QStringList& Keys() const { return FKeys; }

private:
    struct TZeile
    {
        QString Name;
        QDateTime Zeit;
        QString AbteilungText;
        QString Row;
        QString Key;
    };
    QHash<std::pair<QString, QString>, TZeile> FZeilen;
    QStringList FRows;
    QStringList FKeys;
};

// Enabled state of the inbox commands, from the open partner's inbox position i (-1: not there) and the
// inbox length n.
struct TInboxCommands
{
    bool gelesen = false;
    bool naechste = false;
    bool vorherige = false;
};
TInboxCommands InboxCommands(int i, int n);

// Inbox position to open for "next" or "previous"; -1 when there is none.
int UnreadTarget(int i, int n, bool naechsteS);

// The row to select after a list was redrawn with `count` rows: the remembered one, one back when it
// fell off the end, never below 0 (so an empty list selects nothing).
int ReselectRow(int remembered, int count);

// The message field never holds "|", the protocol's separator; it becomes "/" in place.
QString ReplaceBars(const QString& text);
