// The user's state as the window shows and announces it: the chosen state, automatic away from the last
// input, the start time of the current state, and the caption and tray hint built from them.
#pragma once

#include <QString>
#include <QTime>
#include <cstdint>

class IClock;
class ILastInput;
struct TEinstellungen;

class TStatusModel
{
public:
    // Tags of the three state commands.
    static constexpr int TagOnline = 1;
    static constexpr int TagAbwesend = 2;
    static constexpr int TagBeschaeftigt = 3;

    // lastInput may be null: then only the input the program itself saw counts.
    TStatusModel(const TEinstellungen& einstellungen, const IClock& clock, ILastInput* lastInput);

    // The user chose a state; anything but 1 to 3 counts as busy. False when it was chosen already.
    bool Waehlen(int tag);
    int Tag() const { return FTag; }
    bool IsBusy() const { return FTag == TagBeschaeftigt; }

    // Input the program received itself.
    void EingabeBemerkt();
    // Tick of the last input: the later of the system's and the program's own.
    uint32_t GetLetzteEingabe();
    // Only a user who chose "Online" and switched automatic away on goes away by idling.
    bool IsAbwesend();
    // The state number announced when the user is not away by idling.
    int PresenceStatusNr() const;

    // What one presence cycle finds: whether the user is away by idling now. Going away or coming back
    // restarts the state's time.
    struct TZyklus
    {
        bool abwesendS = false;
        bool zurueckS = false; // came back from automatic away in this cycle
    };
    TZyklus Zyklus();
    // The state number of the presence datagram of a cycle.
    int StatusNrFuer(const TZyklus& zyklus) const;

    QTime Onlinezeit() const { return FOnlinezeit; }
    void OnlinezeitNeu();

    // "<name> (<state>) - Tobrik V1.13".
    QString FensterTitel(bool AbwesendS);
    // "Tobrik V1.13[ (Abwesend)| (Beschäftigt)]; Ungelesen: <n>".
    QString IconHint(bool AbwesendS, int ungelesen);

private:
    bool abwesendAngezeigt(bool AbwesendS);

    const TEinstellungen& FEinstellungen;
    const IClock& FClock;
    ILastInput* FLastInput;
    int FTag = 0;
    bool FAutoAbwesendAktivS = false;
    uint32_t FAbwesendCount = 0;
    QTime FOnlinezeit;
};
