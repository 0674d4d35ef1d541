// Records and enumerations shared by every subsystem.
#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>

// One user at one PC: an online user, the current conversation partner, an inbox or history entry.
struct TUserListeRec
{
    QString PC; // empty: no user (a free slot of the online list)
    QString UserName;
    QString Name;
    QString Text;     // the conversation, newest block first
    QDateTime Zeit;   // newest message, or the log file's last write
    QTime Onlinezeit; // since when the user's state holds, as the user's PC sent it
    int32_t UsersOnline = 0;
    int32_t StatusNr = 0;
    uint32_t Millisek = 0; // tick count of the last merged presence entry

    bool operator==(const TUserListeRec& o) const
    {
        return PC == o.PC && UserName == o.UserName && Name == o.Name && Text == o.Text && Zeit == o.Zeit &&
               Onlinezeit == o.Onlinezeit && UsersOnline == o.UsersOnline && StatusNr == o.StatusNr &&
               Millisek == o.Millisek;
    }
    bool operator!=(const TUserListeRec& o) const { return !(*this == o); }
};

// State numbers sent in field 5 of a presence datagram.
enum StatusNummer : int32_t { StatusOnline = 0, StatusAbwesend = 1, StatusBeschaeftigt = 2 };

// Kinds of state change, in announcement order.
enum TStatusMode { smOnline, smOffline, smAway, smBusy };
constexpr int StatusModeCount = 4;

// The eleven sound events; the ordinal indexes the per-sound switches of the settings.
enum class TSound { sSignin, sIncoming, sOutgoing, sTyping, sOnline, sOffline, sAway, sBusy, sClick, sDelete, sRead };
constexpr int SoundCount = 11;
