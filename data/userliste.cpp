#include "data/userliste.h"

#include "common/texts.h"

#include <algorithm>

namespace {

const QList<TUserListeRec> KeineUser;

// Compared as a number: a mode converted from outside may lie beyond the named ones.
bool validMode(TStatusMode mode)
{
    const int value = static_cast<int>(mode);
    return value >= 0 && value < StatusModeCount;
}

// An invalid time stands for a value that is not a number: it never equals anything.
bool gleicheZeit(const QTime& a, const QTime& b)
{
    return a.isValid() && b.isValid() && a == b;
}

char16_t fold(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

bool nameKleiner(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = fold(pa[i].unicode());
        const char16_t cb = fold(pb[i].unicode());
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

} // namespace

void TStatus::Clear()
{
    for (auto& liste : FListe)
        liste.clear();
    ChangeS = false;
}

void TStatus::Add(TStatusMode AStatusMode, const TUserListeRec& AUser)
{
    if (!validMode(AStatusMode))
        return;
    FListe[AStatusMode].append(AUser);
    ChangeS = true;
}

int TStatus::Count(TStatusMode AStatusMode) const
{
    return validMode(AStatusMode) ? int(FListe[AStatusMode].size()) : 0;
}

const QList<TUserListeRec>& TStatus::Liste(TStatusMode AStatusMode) const
{
    return validMode(AStatusMode) ? FListe[AStatusMode] : KeineUser;
}

QString TStatus::Text() const
{
    QString text;
    for (int mode = 0; mode < StatusModeCount; ++mode) {
        const QString modeText = Texts::statusModeText(TStatusMode(mode));
        for (const TUserListeRec& user : FListe[mode]) {
            text += user.Name;
            text += u' ';
            text += modeText;
            text += QLatin1String("; ");
        }
    }
    text.chop(2);
    return text;
}

TUserListe::TUserListe(const IClock& clock)
    : FClock(clock)
{
}

void TUserListe::Clear()
{
    FListe.clear();
    ChangeS = false;
    SoundFlag = 0;
    Status.Clear();
}

int TUserListe::Count() const
{
    return int(FListe.size());
}

TUserListeRec TUserListe::Get(int Index) const
{
    if (Index < 0 || Index >= Count())
        return TUserListeRec();
    return FListe[size_t(Index)];
}

void TUserListe::Put(int Index, const TUserListeRec& Value)
{
    if (Index < 0 || Index >= Count())
        return;
    FListe[size_t(Index)] = Value;
}

TUserListeRec TUserListe::FindItem(int Index) const
{
    if (Index < 0)
        return TUserListeRec();
    for (const TUserListeRec& slot : FListe) {
        if (slot.PC.isEmpty())
            continue;
        if (Index-- == 0)
            return slot;
    }
    return TUserListeRec();
}

TUserListeRec TUserListe::FindUser(const QString& APC) const
{
    return Get(FindIndex(APC));
}

int TUserListe::FindIndex(const QString& APC) const
{
    if (APC.isEmpty())
        return -1;
    for (size_t i = 0; i < FListe.size(); ++i) {
        if (FListe[i].PC == APC)
            return int(i);
    }
    return -1;
}

int TUserListe::OnlineCount() const
{
    int n = 0;
    for (const TUserListeRec& slot : FListe)
        n += slot.PC.isEmpty() ? 0 : 1;
    return n;
}

QList<TUserListeRec> TUserListe::GetListe() const
{
    QList<TUserListeRec> liste;
    for (const TUserListeRec& slot : FListe) {
        if (!slot.PC.isEmpty())
            liste.append(slot);
    }
    return liste;
}

bool TUserListe::Add(const TUserListeRec& AUser, bool OnlineS)
{
    Status.Clear();
    bool found = false;
    int free = -1;
    int belegt = 0;
    bool pcGelistetS = false;
    const uint32_t now = FClock.tickCount();
    // Free slots are checked first: an empty PC names nobody and must not revive or sign off a free slot.
    for (size_t i = 0; i < FListe.size(); ++i) {
        TUserListeRec& slot = FListe[i];
        if (slot.PC.isEmpty()) {
            free = int(i);
            continue;
        }
        const bool gleicherPCS = slot.PC == AUser.PC;
        if (gleicherPCS && slot.UserName == AUser.UserName) {
            found = true;
            if (OnlineS) {
                Aktualisieren(slot, AUser, now);
            } else {
                slot.PC.clear();
                free = int(i);
                ChangeS = true;
                Record(smOffline, SoundBitOffline, AUser);
            }
        } else if (now - slot.Millisek > DropOutMs) {
            // Unsigned difference: a tick count that wrapped past 2^32 still gives the true age.
            Record(smOffline, SoundBitOffline, slot);
            slot.PC.clear();
            free = int(i);
            ChangeS = true;
        }
        if (!slot.PC.isEmpty()) {
            ++belegt;
            pcGelistetS = pcGelistetS || gleicherPCS;
        }
    }
    if (found || !OnlineS || AUser.PC.isEmpty())
        return pcGelistetS;
    if (belegt >= MaxUsers && (AUser.PC != FEigenerPC || pcGelistetS))
        return pcGelistetS;
    TUserListeRec neu = AUser;
    neu.Millisek = now;
    if (free >= 0)
        FListe[size_t(free)] = neu;
    else
        FListe.push_back(neu);
    ChangeS = true;
    Record(smOnline, SoundBitOnline, neu);
    return true;
}

void TUserListe::Aktualisieren(TUserListeRec& slot, const TUserListeRec& AUser, uint32_t now)
{
    slot.Millisek = now;
    if (slot.Name != AUser.Name) {
        slot.Name = AUser.Name;
        ChangeS = true;
    }
    if (slot.StatusNr != AUser.StatusNr) {
        slot.StatusNr = AUser.StatusNr;
        ChangeS = true;
        if (AUser.StatusNr == StatusAbwesend)
            Record(smAway, SoundBitAway, AUser);
        else if (AUser.StatusNr == StatusBeschaeftigt)
            Record(smBusy, SoundBitBusy, AUser);
        else
            Record(smOnline, SoundBitOnline, AUser);
    }
    if (!gleicheZeit(slot.Onlinezeit, AUser.Onlinezeit)) {
        slot.Onlinezeit = AUser.Onlinezeit;
        ChangeS = true;
    }
    if (slot.UsersOnline != AUser.UsersOnline) {
        slot.UsersOnline = AUser.UsersOnline;
        ChangeS = true;
    }
}

void TUserListe::Record(TStatusMode mode, int32_t soundBit, const TUserListeRec& user)
{
    SoundFlag |= soundBit;
    Status.Add(mode, user);
}

void TUserListe::ResetMillisek()
{
    const uint32_t now = FClock.tickCount();
    for (TUserListeRec& slot : FListe)
        slot.Millisek = now;
}

void TUserListe::Sort()
{
    std::stable_sort(FListe.begin(), FListe.end(),
                     [](const TUserListeRec& a, const TUserListeRec& b) { return nameKleiner(a.Name, b.Name); });
}

int32_t TUserListe::TakeSoundBit()
{
    for (int32_t bit : {SoundBitOnline, SoundBitOffline, SoundBitAway, SoundBitBusy}) {
        if (SoundFlag & bit) {
            SoundFlag = 0;
            return bit;
        }
    }
    return 0;
}
