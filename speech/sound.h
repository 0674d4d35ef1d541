// The eleven event sounds and the program's small sound routines. Each sound's wave file from the
// sounds folder is held in memory. Six of them play through one shared player, so a new one cuts off
// the one before; the five that may overlap (incoming and the four presence sounds) have a player of
// their own. The error beep is handed in: it belongs to the window library.
#pragma once

#include "speech/output.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <functional>

class TMemorySoundPlayer;

// What stands in for a missing or refused sound file: LoadSound's frequency, duration and amplitude.
// The program uses the default, 0, 0, 0: a tone without samples, i.e. silence.
struct TFallbackTone
{
    int frequency = 0;
    int duration = 0; // milliseconds
    quint8 amplitude = 0;
};

class TSoundEffects : public QObject, public ISoundOutput
{
    Q_OBJECT
public:
    // soundsFolder ends with "/" (SoundsFolderPath()); every file is read here, once.
    TSoundEffects(const QString& soundsFolder, std::function<void()> beep, TFallbackTone tone = {},
                  QObject* parent = nullptr);

    // Plays at once, without asking the switches (the caller's Ton did). Returns at once.
    void Play(TSound sound) override;
    // The error beep: a key that cannot act here.
    void Beep() override;

    bool PlayBeep();
    // A desktop event sound by its Windows name; false when the desktop has none to play.
    bool PlaySystemSound(const QString& alias);
    // The sound of a balloon at the tray icon. Like the beep, it ignores the sound switches.
    void PlayNotification() override;

    // The sound's own player when it has one, otherwise (or when it fails) the shared memory player.
    void PlayMediaOrMemory(TMemorySoundPlayer* player, const QByteArray& buffer);
    // A player of its own for a file of the sounds folder, or null when there is no such file.
    TMemorySoundPlayer* MakePlaySound(const QString& fileName);

private:
    QString m_soundsFolder;
    std::function<void()> m_beep;
    std::array<QByteArray, SoundCount> m_buffers;
    std::array<TMemorySoundPlayer*, SoundCount> m_players{};
    TMemorySoundPlayer* m_memory = nullptr;
    TMemorySoundPlayer* m_systemSound = nullptr;
};
