// Presence heard on the list channel, merged into the online list: the one place that decodes a presence
// datagram, remembers where each PC was heard from, and says what a merge means for sound and start time.
#pragma once

#include "common/types.h"

#include <QHash>
#include <QHostAddress>
#include <QString>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

class IClock;
class TUserListe;

class TPresenceChannel
{
public:
    // ownPC: this computer's name; its own datagrams are merged like any other, and the list is told
    // which PC is its own, so a full list still takes it.
    TPresenceChannel(TUserListe& liste, const IClock& clock, const QString& ownPC);

    struct TMerge
    {
        bool changedS = false;       // the online list changed visibly
        std::optional<TSound> sound; // the one sound for this change, if any
        bool eigenerStatusS = false; // the own PC came online or changed its state
        QString statusText;          // "Anna Online; Bernd Offline", empty when no state changed
    };

    // Merges one datagram; nullopt when it is not a presence datagram that names a user.
    std::optional<TMerge> Merge(const QByteArray& payload, const QHostAddress& peer);

    // Where to send to the PC: the address its presence first came from since it was listed. Null when
    // it is not listed or another address has claimed it since; the caller then resolves the name, so a
    // forged datagram cannot redirect messages.
    QHostAddress Address(const QString& pc) const;

private:
    struct TAdresse
    {
        QHostAddress Erste;
        bool UmstrittenS = false; // another address claimed the PC
        // Signed off while contested, or by another address: kept, contested, until DropOutMs have passed
        // unless the PC is listed again, so that a forged sign-off does not clear the way for the forger.
        bool VerwaistS = false;
        uint32_t VerwaistSeit = 0;
    };

    // gelistetS: some user of pc is listed after the merge.
    void AdressenNachfuehren(const QString& pc, bool OnlineS, bool gelistetS, const QHostAddress& peer);

    TUserListe& FListe;
    const IClock& FClock;
    QString FOwnPC;
    // Only PCs in the list, and the orphans below: bounded by the list's cap.
    QHash<QString, TAdresse> FAdressen;
    // Orphaned PCs in the order they were signed off, with the tick of the sign-off.
    std::deque<std::pair<QString, uint32_t>> FVerwaist;
};
