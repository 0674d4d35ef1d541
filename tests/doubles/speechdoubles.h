// Test doubles of the screen reader and of a voice engine: they record what they were asked to do.
#pragma once

#include "speech/screenreader.h"
#include "speech/voiceengine.h"
#include "speech/voicelist.h"

#include <algorithm>
#include <string>
#include <vector>

// A screen reader that runs while `running` says so; every call is logged as "call:text:flag".
class RecordingScreenReader : public IScreenReader
{
public:
    bool isRunning() override { return running; }
    std::string name() override { return running ? "Fake" : ""; }
    bool output(const std::string& text, bool interrupt) override
    {
        return record("output:" + text + flag(interrupt), !text.empty());
    }
    bool speak(const std::string& text, bool interrupt) override
    {
        return record("speak:" + text + flag(interrupt), !text.empty());
    }
    bool braille(const std::string& text) override { return record("braille:" + text, !text.empty()); }
    bool silence() override { return record("silence", true); }

    bool running = true;
    std::vector<std::string> calls;

private:
    static std::string flag(bool on) { return on ? ":interrupt" : ""; }
    bool record(const std::string& call, bool accepted)
    {
        calls.push_back(call);
        return running && accepted;
    }
};

// An engine with a fixed list of voices (given in the engine's own order) and the index semantics of the real
// engines: rate and volume are kept only while a voice is current, and are held within their ranges.
// Logged calls: "speak:text", "speak:text:purge", "stop", "select:i", "rate:r", "volume:v".
class RecordingVoiceEngine : public IVoiceEngine
{
public:
    explicit RecordingVoiceEngine(std::vector<std::string> voicesInEngineOrder = {})
        : m_inEngineOrder(voicesInEngineOrder)
        , m_list(std::move(voicesInEngineOrder))
    {
    }

    std::vector<std::string> voices() override { return m_list.descriptions(); }
    int findVoice(const std::string& description) override { return m_list.find(description); }
    int voiceIndex() override { return m_list.find(voiceDescription()); }
    void selectVoice(int index) override
    {
        calls.push_back("select:" + std::to_string(index));
        const int position = m_list.position(index);
        if (position < 0)
            return;
        m_current = position;
        m_appliedRate = m_rate;
        m_appliedVolume = m_volume;
    }
    std::string voiceDescription() override { return m_current >= 0 ? m_inEngineOrder[m_current] : ""; }
    int rate() override { return m_current >= 0 ? m_appliedRate : 0; }
    void setRate(int rate) override
    {
        calls.push_back("rate:" + std::to_string(rate));
        if (m_current < 0)
            return;
        m_rate = m_appliedRate = std::clamp(rate, MinRate, MaxRate);
    }
    int volume() override { return m_current >= 0 ? m_appliedVolume : 0; }
    void setVolume(int volume) override
    {
        calls.push_back("volume:" + std::to_string(volume));
        if (m_current < 0)
            return;
        m_volume = m_appliedVolume = std::clamp(volume, MinVolume, MaxVolume);
    }
    bool speak(const std::string& text, bool purge) override
    {
        calls.push_back("speak:" + text + (purge ? ":purge" : ""));
        return m_current >= 0 && !text.empty();
    }
    void stop() override { calls.push_back("stop"); }
    bool isSpeaking() override { return false; }

    std::vector<std::string> calls;

private:
    std::vector<std::string> m_inEngineOrder;
    VoiceList m_list;
    int m_current = -1;
    int m_rate = 0;
    int m_volume = 80;
    int m_appliedRate = 0;
    int m_appliedVolume = 80;
};
