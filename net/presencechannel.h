// Presence heard on the list channel, merged into the online list: the one place that decodes a presence
// datagram, remembers where each PC was heard from, and says what a merge means for sound and start time.
#pragma once

#include "common/types.h"

#include <QHash>
#include <QHostAddress>
#include <QString>
#include <optional>

class IClock;
class TUserListe;

class TPresenceChannel
{
public:
    // ownPC: this computer's name; its own datagrams are merged like any other.
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

    // The address the PC's presence last came from; null when it was never heard.
    QHostAddress Address(const QString& pc) const;

private:
    TUserListe& FListe;
    const IClock& FClock;
    QString FOwnPC;
    QHash<QString, QHostAddress> FAdressen;
};
