#include "speech/sound.h"

#include "common/texts.h"
#include "speech/soundmemory.h"
#include "speech/soundsystem.h"
#include "speech/soundwave.h"

#include <QFileInfo>
#include <QProcess>

namespace {

// These may overlap each other and the memory sound; the rest play from memory, one at a time.
bool hasOwnPlayer(TSound sound)
{
    switch (sound) {
    case TSound::sIncoming:
    case TSound::sOnline:
    case TSound::sOffline:
    case TSound::sAway:
    case TSound::sBusy:
        return true;
    default:
        return false;
    }
}

} // namespace

TSoundEffects::TSoundEffects(const QString& soundsFolder, std::function<void()> beep, TFallbackTone tone,
                             QObject* parent)
    : QObject(parent)
    , m_soundsFolder(soundsFolder)
    , m_beep(std::move(beep))
    , m_memory(new TMemorySoundPlayer(this))
{
    for (int i = 0; i < SoundCount; ++i) {
        const QString fileName = Texts::soundFileName(TSound(i));
        const QString path = m_soundsFolder.isEmpty() ? QString() : m_soundsFolder + fileName;
        QByteArray image = LoadSound(tone.frequency, tone.duration, tone.amplitude, path);
        // A file that is no PCM wave we can play is refused whole: the tone stands in, from memory.
        const bool playable = ParseWave(image).has_value();
        if (!playable)
            image = LoadSound(tone.frequency, tone.duration, tone.amplitude, QString());
        m_buffers[i] = image;
        if (hasOwnPlayer(TSound(i)) && playable)
            m_players[i] = MakePlaySound(fileName);
    }
}

TMemorySoundPlayer* TSoundEffects::MakePlaySound(const QString& fileName)
{
    if (m_soundsFolder.isEmpty() || !QFileInfo(m_soundsFolder + fileName).isFile())
        return nullptr;
    return new TMemorySoundPlayer(this);
}

void TSoundEffects::Play(TSound sound)
{
    const int i = static_cast<int>(sound);
    if (i < 0 || i >= SoundCount)
        return;
    if (hasOwnPlayer(sound))
        PlayMediaOrMemory(m_players[i], m_buffers[i]);
    else
        m_memory->Play(m_buffers[i]);
}

void TSoundEffects::PlayMediaOrMemory(TMemorySoundPlayer* player, const QByteArray& buffer)
{
    if (player && player->Play(buffer))
        return;
    m_memory->Play(buffer);
}

void TSoundEffects::Beep()
{
    PlayBeep();
}

bool TSoundEffects::PlayBeep()
{
    if (m_beep)
        m_beep();
    return true;
}

bool TSoundEffects::PlaySystemSound(const QString& alias)
{
    const TSystemSound sound = FindSystemSound(alias);
    if (!sound.program.isEmpty())
        return QProcess::startDetached(sound.program, sound.arguments);
    if (sound.waveFile.isEmpty())
        return false;
    if (!m_systemSound)
        m_systemSound = new TMemorySoundPlayer(this);
    const QByteArray image = LoadSound(0, 0, 0, sound.waveFile);
    // The wave was found, so the alias is configured: without a sound device that is still a success.
    m_systemSound->Play(image);
    return ParseWave(image).has_value();
}

void TSoundEffects::PlayNotification()
{
    PlaySystemSound(QStringLiteral("SystemNotification"));
}
