// The online user list built from presence datagrams, and the state changes of the last merge.
#pragma once

#include "common/clock.h"
#include "common/types.h"

#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

// Users whose state changed during one merge, per kind of change, for one spoken sentence.
class TStatus
{
public:
    TStatus() = default;

    void Clear();
    void Add(TStatusMode AStatusMode, const TUserListeRec& AUser);
    int Count(TStatusMode AStatusMode) const;
    // The users recorded for a mode, in recording order.
    const QList<TUserListeRec>& Liste(TStatusMode AStatusMode) const;
    // "Anna Online; Bernd Offline": online first, then offline, away, busy; empty when nothing was recorded.
    QString Text() const;

    bool ChangeS = false; // at least one change since the last Clear

private:
    std::array<QList<TUserListeRec>, StatusModeCount> FListe;
};

// Sound bits of TUserListe::SoundFlag.
enum TUserSoundBit : int32_t { SoundBitOnline = 1, SoundBitOffline = 2, SoundBitAway = 4, SoundBitBusy = 8 };

// One slot per user and PC heard from; a slot with an empty PC is free and is reused, never removed.
class TUserListe
{
public:
    // Users not heard for longer than this drop out during the next merge.
    static constexpr uint32_t DropOutMs = 30000;
    // Any host on the LAN can announce users; beyond this many a newcomer is not taken until someone
    // leaves, so a flood of invented users cannot exhaust memory or the redraw. Listed users still
    // update, sign off and drop out. One user of the own PC is taken beyond it, so the list never
    // loses its owner: at most MaxUsers + 1 slots.
    static constexpr int MaxUsers = 5000;

    explicit TUserListe(const IClock& clock = SystemClock::instance());

    // The computer this list runs on, for the one slot beyond MaxUsers.
    void SetEigenerPC(const QString& APC) { FEigenerPC = APC; }

    void Clear();
    int Count() const; // free slots included
    TUserListeRec Get(int Index) const;
    void Put(int Index, const TUserListeRec& Value);
    // The Index-th occupied slot in list order: row Index of the drawn online list.
    TUserListeRec FindItem(int Index) const;
    TUserListeRec FindUser(const QString& APC) const;
    int FindIndex(const QString& APC) const;
    // The occupied slots in list order.
    QList<TUserListeRec> GetListe() const;
    // How many slots are occupied: the size of GetListe without copying it.
    int OnlineCount() const;

    // Merges one user, as Protocol::parsePresence decodes a presence datagram; OnlineS false signs the user off.
    // True when some user of AUser.PC is listed afterwards.
    bool Add(const TUserListeRec& AUser, bool OnlineS);

    // After a standby, so that nobody drops out for the time the PC slept.
    void ResetMillisek();
    // Stable, by display name; only ASCII letters are compared without case.
    void Sort();

    // The lowest of the bits 1, 2, 4, 8 in SoundFlag, which is then cleared; 0 (SoundFlag untouched) when none is set.
    int32_t TakeSoundBit();

    bool ChangeS = false;  // something visible changed since the main window last redrew the list
    int32_t SoundFlag = 0; // TUserSoundBit values accumulated until taken
    TStatus Status;        // the state changes of the last Add

private:
    // A heard entry of a listed user: takes what changed and records a state change.
    void Aktualisieren(TUserListeRec& slot, const TUserListeRec& AUser, uint32_t now);
    void Record(TStatusMode mode, int32_t soundBit, const TUserListeRec& user);

    const IClock& FClock;
    QString FEigenerPC;
    std::vector<TUserListeRec> FListe;
};
