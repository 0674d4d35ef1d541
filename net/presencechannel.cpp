#include "net/presencechannel.h"

#include "common/clock.h"
#include "data/userliste.h"
#include "net/protocol.h"

#include <QSet>

TPresenceChannel::TPresenceChannel(TUserListe& liste, const IClock& clock, const QString& ownPC)
    : FListe(liste)
    , FClock(clock)
    , FOwnPC(ownPC)
{
    FListe.SetEigenerPC(ownPC);
}

std::optional<TPresenceChannel::TMerge> TPresenceChannel::Merge(const QByteArray& payload, const QHostAddress& peer)
{
    const std::optional<QString> text = Protocol::decodeDatagram(payload);
    const std::optional<Protocol::TPresence> presence =
        text ? Protocol::parsePresence(*text, FClock.now().time()) : std::nullopt;
    if (!presence)
        return std::nullopt;

    const bool gelistetS = FListe.Add(presence->User, presence->OnlineS);
    AdressenNachfuehren(presence->User.PC, presence->OnlineS, gelistetS, peer);
    TMerge merge;
    if (!FListe.ChangeS)
        return merge;
    merge.changedS = true;
    // Only the lowest bit sounds; the own state change may hide behind another user's leaving.
    const int32_t flag = FListe.SoundFlag;
    const int32_t bit = FListe.TakeSoundBit();
    merge.eigenerStatusS = presence->User.PC == FOwnPC && (flag & (SoundBitOnline | SoundBitAway | SoundBitBusy)) != 0;
    static const TSound sounds[] = {TSound::sOnline, TSound::sOffline, TSound::sAway, TSound::sBusy};
    for (int i = 0; i < 4; ++i) {
        if (bit == 1 << i)
            merge.sound = sounds[i];
    }
    if (FListe.Status.ChangeS)
        merge.statusText = FListe.Status.Text();
    return merge;
}

void TPresenceChannel::AdressenNachfuehren(const QString& pc, bool OnlineS, bool gelistetS, const QHostAddress& peer)
{
    const uint32_t now = FClock.tickCount();
    while (!FVerwaist.empty() && (now - FVerwaist.front().second > TUserListe::DropOutMs ||
                                  FVerwaist.size() > size_t(TUserListe::MaxUsers))) {
        const auto [verwaistPC, seit] = FVerwaist.front();
        FVerwaist.pop_front();
        const auto it = FAdressen.find(verwaistPC);
        if (it != FAdressen.end() && it->VerwaistS && it->VerwaistSeit == seit)
            FAdressen.erase(it);
    }

    const QList<TUserListeRec>& weg = FListe.Status.Liste(smOffline);
    // After half a minute without network everybody drops out at once; one walk of the list per user
    // would then be quadratic.
    QSet<QString> gelistete;
    const bool mengeS = weg.size() > 8;
    if (mengeS) {
        for (const TUserListeRec& u : FListe.GetListe())
            gelistete.insert(u.PC);
    }
    const auto gelistet = [&](const QString& APC) {
        return mengeS ? gelistete.contains(APC) : FListe.FindIndex(APC) >= 0;
    };

    for (const TUserListeRec& u : weg) {
        const auto it = FAdressen.find(u.PC);
        if (it == FAdressen.end() || it->VerwaistS || gelistet(u.PC))
            continue;
        // A sign-off is as easy to forge as any presence: were it to clear a contested PC, or one signed off
        // from elsewhere, a forger could sign the user off and claim the PC as its first address.
        const bool abgemeldetS = u.PC == pc && !OnlineS;
        if (abgemeldetS && (it->UmstrittenS || it->Erste != peer)) {
            it->UmstrittenS = true;
            it->VerwaistS = true;
            it->VerwaistSeit = now;
            FVerwaist.emplace_back(u.PC, now);
        } else {
            FAdressen.erase(it);
        }
    }

    if (OnlineS && !peer.isNull() && gelistetS) {
        const auto it = FAdressen.find(pc);
        if (it == FAdressen.end()) {
            FAdressen.insert(pc, TAdresse{peer});
        } else {
            it->UmstrittenS = it->UmstrittenS || it->Erste != peer;
            it->VerwaistS = false;
        }
    }
}

QHostAddress TPresenceChannel::Address(const QString& pc) const
{
    const auto it = FAdressen.constFind(pc);
    if (it == FAdressen.constEnd() || it->UmstrittenS || FListe.FindIndex(pc) < 0)
        return QHostAddress();
    return it->Erste;
}
