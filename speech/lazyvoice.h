// A voice engine that is loaded only when a voice of it is really wanted: loading a synthesis engine can
// start a speech server, which a user who listens to the screen reader (or to nothing) never needs.
#pragma once

#include "speech/voiceengine.h"

#include <functional>
#include <memory>

class LazyVoiceEngine : public IVoiceEngine
{
public:
    using Factory = std::function<std::unique_ptr<IVoiceEngine>()>;
    explicit LazyVoiceEngine(Factory factory);
    ~LazyVoiceEngine() override;

    bool isLoaded() const { return m_engine != nullptr; }

    std::vector<std::string> voices() override;
    int findVoice(const std::string& description) override;
    int voiceIndex() override;
    void selectVoice(int index) override;
    std::string voiceDescription() override;
    // Until loaded there is no current voice: reads give 0 and writes are not taken, as for any engine.
    int rate() override;
    void setRate(int rate) override;
    int volume() override;
    void setVolume(int volume) override;
    bool speak(const std::string& text, bool purge) override;
    void stop() override;
    bool isSpeaking() override;

private:
    IVoiceEngine& engine();

    Factory m_factory;
    std::unique_ptr<IVoiceEngine> m_engine;
};
