#include "data/listrows.h"

#include "common/texts.h"

TAbteilungen::TAbteilungen(const QList<TPCUserAbteilungListeRec>& directory)
    : FVon(directory)
{
    FAbteilungText.reserve(directory.size());
    for (const TPCUserAbteilungListeRec& row : directory) {
        if (!FAbteilungText.contains(row.PC))
            FAbteilungText.insert(row.PC,
                                  row.Abteilung.isEmpty() ? QString() : u'(' + row.Abteilung + QStringLiteral(") "));
    }
}

QString TAbteilungen::GetAbteilungText(const QString& APC) const
{
    return FAbteilungText.value(APC);
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

void TLogRows::Build(const QList<TUserListeRec>& entries, const TAbteilungen& abteilungen)
{
    // Partners gone from the list leave their rows behind; past twice the list they are dropped.
    if (FZeilen.size() > 2 * entries.size() + 64)
        FZeilen.clear();
    FRows.clear();
    FKeys.clear();
    FRows.reserve(entries.size());
    FKeys.reserve(entries.size());
    for (const TUserListeRec& entry : entries) {
        TZeile& z = FZeilen[{entry.UserName, entry.PC}];
        const QString abteilungText = abteilungen.GetAbteilungText(entry.PC);
        if (z.Key.isNull() || z.Name != entry.Name || z.Zeit != entry.Zeit || z.AbteilungText != abteilungText) {
            z.Name = entry.Name;
            z.Zeit = entry.Zeit;
            z.AbteilungText = abteilungText;
            z.Row = LogRowText(entry, abteilungText);
            z.Key = entry.UserName + u'|' + entry.PC;
        }
        FRows.append(z.Row);
        FKeys.append(z.Key);
    }
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
