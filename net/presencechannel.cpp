#include "net/presencechannel.h"

#include "common/clock.h"
#include "data/userliste.h"
#include "net/protocol.h"

TPresenceChannel::TPresenceChannel(TUserListe& liste, const IClock& clock, const QString& ownPC)
    : FListe(liste)
    , FClock(clock)
    , FOwnPC(ownPC)
{
}

std::optional<TPresenceChannel::TMerge> TPresenceChannel::Merge(const QByteArray& payload, const QHostAddress& peer)
{
    const std::optional<QString> text = Protocol::decodeDatagram(payload);
    const std::optional<Protocol::TPresence> presence =
        text ? Protocol::parsePresence(*text, FClock.now().time()) : std::nullopt;
    if (!presence)
        return std::nullopt;
    if (!peer.isNull())
        FAdressen.insert(presence->User.PC, peer);

    FListe.Add(presence->User, presence->OnlineS);
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

QHostAddress TPresenceChannel::Address(const QString& pc) const
{
    return FAdressen.value(pc);
}
