#include "speech/lazyvoice.h"

namespace {

// Stands in when the factory gives nothing: an engine without voices.
class NoVoices : public IVoiceEngine
{
public:
    std::vector<std::string> voices() override { return {}; }
    int findVoice(const std::string&) override { return -1; }
    int voiceIndex() override { return -1; }
    void selectVoice(int) override {}
    std::string voiceDescription() override { return {}; }
    int rate() override { return 0; }
    void setRate(int) override {}
    int volume() override { return 0; }
    void setVolume(int) override {}
    bool speak(const std::string&, bool) override { return false; }
    void stop() override {}
    bool isSpeaking() override { return false; }
};

} // namespace

LazyVoiceEngine::LazyVoiceEngine(Factory factory)
    : m_factory(std::move(factory))
{
}

LazyVoiceEngine::~LazyVoiceEngine() = default;

IVoiceEngine& LazyVoiceEngine::engine()
{
    if (!m_engine) {
        if (m_factory)
            m_engine = m_factory();
        if (!m_engine)
            m_engine = std::make_unique<NoVoices>();
    }
    return *m_engine;
}

std::vector<std::string> LazyVoiceEngine::voices()
{
    return engine().voices();
}

int LazyVoiceEngine::findVoice(const std::string& description)
{
    return engine().findVoice(description);
}

int LazyVoiceEngine::voiceIndex()
{
    return m_engine ? m_engine->voiceIndex() : -1;
}

void LazyVoiceEngine::selectVoice(int index)
{
    engine().selectVoice(index);
}

std::string LazyVoiceEngine::voiceDescription()
{
    return m_engine ? m_engine->voiceDescription() : std::string();
}

int LazyVoiceEngine::rate()
{
    return m_engine ? m_engine->rate() : 0;
}

void LazyVoiceEngine::setRate(int rate)
{
    if (m_engine)
        m_engine->setRate(rate);
}

int LazyVoiceEngine::volume()
{
    return m_engine ? m_engine->volume() : 0;
}

void LazyVoiceEngine::setVolume(int volume)
{
    if (m_engine)
        m_engine->setVolume(volume);
}

bool LazyVoiceEngine::speak(const std::string& text, bool purge)
{
    return m_engine && m_engine->speak(text, purge);
}

void LazyVoiceEngine::stop()
{
    if (m_engine)
        m_engine->stop();
}

bool LazyVoiceEngine::isSpeaking()
{
    return m_engine && m_engine->isSpeaking();
}
