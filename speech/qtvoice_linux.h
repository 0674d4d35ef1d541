// A voice engine on a QTextToSpeech engine named explicitly ("speechd", "flite"): the order of
// QTextToSpeech::availableEngines() varies between runs.
#pragma once

#include "speech/voiceengine.h"
#include "speech/voicelist.h"

#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QVoice>
#include <deque>
#include <memory>

class QTextToSpeech;

class QtVoiceEngine : public IVoiceEngine
{
public:
    // A speechd engine without a server is tried again at most this often.
    static constexpr int RetryAfterMs = 2000;

    // An engine that cannot be loaded, or a speech-dispatcher that does not answer in time, leaves the
    // engine without voices.
    explicit QtVoiceEngine(const QString& engineName);
    ~QtVoiceEngine() override;

    std::vector<std::string> voices() override;
    int findVoice(const std::string& description) override;
    int voiceIndex() override;
    void selectVoice(int index) override;
    std::string voiceDescription() override;
    int rate() override;
    void setRate(int rate) override;
    int volume() override;
    void setVolume(int volume) override;
    bool speak(const std::string& text, bool purge) override;
    void stop() override;
    bool isSpeaking() override;

    // "name - language", the text a voice is listed and stored by.
    static std::string Describe(const QVoice& voice);

private:
    void load();
    bool lostServer() const;
    void reconnect();
    void reconnectIfNeeded();
    void enumerateVoices();
    bool hasVoice() const;
    bool say(const QString& utterance);
    void onStateChanged(int state);

    QString m_engineName;
    std::unique_ptr<QTextToSpeech> m_tts;
    QList<QVoice> m_voices; // in the engine's order
    VoiceList m_list;
    int m_rate = 0;
    int m_volume = 80;
    std::deque<QString> m_waiting;
    bool m_inFlight = false; // a text was handed over and its end not reported yet
    std::string m_selected;  // the voice last selected, to select again on a new connection
    QDeadlineTimer m_retry{0};
};
