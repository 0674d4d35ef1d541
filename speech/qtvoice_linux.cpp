#include "speech/qtvoice_linux.h"

#include "speech/nosigpipe_linux.h"
#include "speech/speechd_linux.h"

#include <QLocale>
#include <QTextToSpeech>
#include <algorithm>

QtVoiceEngine::QtVoiceEngine(const QString& engineName)
    : m_engineName(engineName)
{
    load();
}

void QtVoiceEngine::load()
{
    m_tts.reset();
    m_voices.clear();
    m_list = VoiceList();
    m_waiting.clear();
    m_inFlight = false;
    if (m_engineName.isEmpty() || !QTextToSpeech::availableEngines().contains(m_engineName))
        return;
    // Qt's speechd engine connects without a time-out (and starts a server when none listens): a server
    // that accepts but does not answer would hold the program for good.
    if (m_engineName == QLatin1String("speechd") &&
        ProbeSpeechd(SpeechdOutput::DefaultTimeoutMs) == ProbeResult::Silent)
        return;
    NoSigpipe noSigpipe;
    m_tts = std::make_unique<QTextToSpeech>(m_engineName);
    if (m_tts->engine() != m_engineName) {
        m_tts.reset();
        return;
    }
    enumerateVoices();
    QObject::connect(m_tts.get(), &QTextToSpeech::stateChanged, m_tts.get(),
                     [this](QTextToSpeech::State state) { onStateChanged(state); });
}

// Qt's speechd engine notices a server that went away only when a text fails, and stays broken for good.
bool QtVoiceEngine::lostServer() const
{
    return m_tts && m_engineName == QLatin1String("speechd") && m_tts->state() == QTextToSpeech::Error &&
           m_tts->errorReason() == QTextToSpeech::ErrorReason::Input;
}

// A new engine connects to the server that runs now; it gets the voice, rate and volume of before.
void QtVoiceEngine::reconnect()
{
    load();
    selectVoice(m_list.find(m_selected));
    if (!hasVoice())
        m_retry.setRemainingTime(RetryAfterMs);
}

// Lost its server, or found none (or no voices) before: speechd is tried again when a server answers now,
// at most every RetryAfterMs.
void QtVoiceEngine::reconnectIfNeeded()
{
    if (m_engineName != QLatin1String("speechd"))
        return;
    if (lostServer())
        reconnect();
    else if (!hasVoice() && m_retry.hasExpired() &&
             ProbeSpeechd(SpeechdOutput::DefaultTimeoutMs) == ProbeResult::Answered)
        reconnect();
}

QtVoiceEngine::~QtVoiceEngine()
{
    stop();
}

std::string QtVoiceEngine::Describe(const QVoice& voice)
{
    const QString language = voice.locale().nativeLanguageName();
    if (language.isEmpty())
        return voice.name().toStdString();
    return (voice.name() + QStringLiteral(" - ") + language).toStdString();
}

// The engines list only the voices of the current language (speechd none at all while LANG is unset), so
// every language is visited once, and the voice in use before is restored.
void QtVoiceEngine::enumerateVoices()
{
    const QLocale locale = m_tts->locale();
    const QVoice voice = m_tts->voice();
    std::vector<std::string> descriptions;
    for (const QLocale& language : m_tts->availableLocales()) {
        m_tts->setLocale(language);
        for (const QVoice& v : m_tts->availableVoices()) {
            const bool known = std::any_of(m_voices.cbegin(), m_voices.cend(), [&](const QVoice& k) {
                return k.name() == v.name() && k.locale() == v.locale();
            });
            if (known)
                continue;
            m_voices.append(v);
            descriptions.push_back(Describe(v));
        }
    }
    if (!voice.name().isEmpty()) {
        m_tts->setLocale(locale);
        m_tts->setVoice(voice);
    }
    m_list = VoiceList(std::move(descriptions));
}

bool QtVoiceEngine::hasVoice() const
{
    return m_tts && !m_tts->voice().name().isEmpty();
}

std::vector<std::string> QtVoiceEngine::voices()
{
    return m_list.descriptions();
}

int QtVoiceEngine::findVoice(const std::string& description)
{
    return m_list.find(description);
}

int QtVoiceEngine::voiceIndex()
{
    return m_list.find(voiceDescription());
}

std::string QtVoiceEngine::voiceDescription()
{
    return hasVoice() ? Describe(m_tts->voice()) : std::string();
}

void QtVoiceEngine::selectVoice(int index)
{
    const int position = m_list.position(index);
    if (!m_tts || position < 0 || position >= m_voices.size())
        return;
    NoSigpipe noSigpipe;
    const QVoice& voice = m_voices.at(position);
    m_tts->setLocale(voice.locale());
    m_tts->setVoice(voice);
    m_selected = m_list.descriptions()[index];
    m_tts->setRate(m_rate / 10.0);
    m_tts->setVolume(m_volume / 100.0);
}

int QtVoiceEngine::rate()
{
    NoSigpipe noSigpipe;
    return hasVoice() ? qRound(m_tts->rate() * 10) : 0;
}

void QtVoiceEngine::setRate(int rate)
{
    if (!hasVoice())
        return;
    NoSigpipe noSigpipe;
    m_rate = std::clamp(rate, MinRate, MaxRate);
    m_tts->setRate(m_rate / 10.0);
}

int QtVoiceEngine::volume()
{
    NoSigpipe noSigpipe;
    return hasVoice() ? qRound(m_tts->volume() * 100) : 0;
}

void QtVoiceEngine::setVolume(int volume)
{
    if (!hasVoice())
        return;
    NoSigpipe noSigpipe;
    m_volume = std::clamp(volume, MinVolume, MaxVolume);
    m_tts->setVolume(m_volume / 100.0);
}

// QTextToSpeech 6.4 has no queue of its own, and its say() cuts off what is being said unless the engine
// reports itself ready. Texts that must wait are kept here and handed over as the engine becomes ready
// again; once it is, speech-dispatcher itself queues a text behind the one it speaks.
bool QtVoiceEngine::speak(const std::string& text, bool purge)
{
    reconnectIfNeeded();
    if (text.empty() || !hasVoice())
        return false;
    const QString utterance = QString::fromStdString(text);
    if (purge) {
        m_waiting.clear();
    } else if (m_tts->state() != QTextToSpeech::Ready && (m_inFlight || !m_waiting.empty())) {
        m_waiting.push_back(utterance);
        return true;
    }
    if (say(utterance))
        return true;
    reconnect();
    return hasVoice() && say(utterance);
}

// False when speech-dispatcher went away since the last text.
bool QtVoiceEngine::say(const QString& utterance)
{
    NoSigpipe noSigpipe;
    m_inFlight = true;
    m_tts->say(utterance);
    return !lostServer();
}

void QtVoiceEngine::stop()
{
    m_waiting.clear();
    if (!hasVoice())
        return;
    NoSigpipe noSigpipe;
    m_tts->stop();
}

bool QtVoiceEngine::isSpeaking()
{
    return m_inFlight || !m_waiting.empty() || (m_tts && m_tts->state() == QTextToSpeech::Speaking);
}

// Reported from speech-dispatcher's thread and handled here later: the engine may have begun the next text
// meanwhile, so its state now counts, not the reported one.
void QtVoiceEngine::onStateChanged(int state)
{
    if (state == QTextToSpeech::Error) {
        m_inFlight = false;
        m_waiting.clear();
        return;
    }
    if (state != QTextToSpeech::Ready || m_tts->state() != QTextToSpeech::Ready)
        return;
    m_inFlight = false;
    if (m_waiting.empty())
        return;
    const QString next = m_waiting.front();
    m_waiting.pop_front();
    say(next);
}

std::unique_ptr<IVoiceEngine> CreateVoiceEngine(int nr)
{
    switch (nr) {
    case 1:
        return std::make_unique<QtVoiceEngine>(QStringLiteral("speechd"));
    case 2:
        return std::make_unique<QtVoiceEngine>(QStringLiteral("flite"));
    default:
        return std::make_unique<QtVoiceEngine>(QString());
    }
}
