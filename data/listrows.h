// Row texts of the main window's lists and the rules behind its inbox commands and message field.
#pragma once

#include "common/types.h"
#include "data/pcliste.h"

#include <QHash>
#include <QList>
#include <QString>

// Departments by PC, built once per redraw; the first directory row of a PC counts.
class TAbteilungen
{
public:
    explicit TAbteilungen(const QList<TPCUserAbteilungListeRec>& directory);
    // "(Verwaltung) " or empty. PCs compare exactly, so a lower-case PC gets no department.
    QString GetAbteilungText(const QString& APC) const;

private:
    QHash<QString, QString> FAbteilung;
};

// "Anna Muster (Verwaltung) auf PC07 (Online seit 08:15:00)".
QString OnlineRowText(const TUserListeRec& user, const QString& abteilungText);
// "Anna Muster (Verwaltung) auf PC07 (09.12.2026 14:05:09)".
QString LogRowText(const TUserListeRec& entry, const QString& abteilungText);

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
