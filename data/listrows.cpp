#include "data/listrows.h"

#include "common/texts.h"

TAbteilungen::TAbteilungen(const QList<TPCUserAbteilungListeRec>& directory)
{
    FAbteilung.reserve(directory.size());
    for (const TPCUserAbteilungListeRec& row : directory) {
        if (!FAbteilung.contains(row.PC))
            FAbteilung.insert(row.PC, row.Abteilung);
    }
}

QString TAbteilungen::GetAbteilungText(const QString& APC) const
{
    const QString abteilung = FAbteilung.value(APC);
    return abteilung.isEmpty() ? QString() : QStringLiteral("(%1) ").arg(abteilung);
}

QString OnlineRowText(const TUserListeRec& user, const QString& abteilungText)
{
    const QString seit = QStringLiteral(" seit ") + user.Onlinezeit.toString(QStringLiteral("hh:mm:ss"));
    // Built by concatenation: a "%1" inside a name must stay as it is.
    return user.Name + u' ' + abteilungText + QStringLiteral("auf ") + user.PC + u' ' + u'(' +
           Texts::statusText(user.StatusNr) + seit + u')';
}

QString LogRowText(const TUserListeRec& entry, const QString& abteilungText)
{
    return entry.Name + u' ' + abteilungText + QStringLiteral("auf ") + entry.PC + QStringLiteral(" (") +
           entry.Zeit.toString(Texts::DatumZeitFormat) + u')';
}

TInboxCommands InboxCommands(int i, int n)
{
    TInboxCommands c;
    c.gelesen = i >= 0;
    c.naechste = n > 0 && i < n - 1;
    c.vorherige = n > 0 && i != 0;
    return c;
}

int UnreadTarget(int i, int n, bool naechsteS)
{
    const int target = i < 0 ? 0 : (naechsteS ? i + 1 : i - 1);
    return target >= 0 && target < n ? target : -1;
}

int ReselectRow(int remembered, int count)
{
    int row = remembered;
    if (row > count - 1)
        --row;
    return row < 0 ? 0 : row;
}

QString ReplaceBars(const QString& text)
{
    QString result = text;
    result.replace(u'|', u'/');
    return result;
}
