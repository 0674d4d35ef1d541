// The voice engines on SAPI 5 directly: a COM voice object (ISpVoice) and the voice tokens of one token
// category, listed by their descriptions.
#pragma once

#include "speech/com_win.h"
#include "speech/voiceengine.h"
#include "speech/voicelist.h"

#include <functional>
#include <sapi.h>
#include <vector>
#include <wrl/client.h>

// The OneCore voices' own token category, beside the classic SPCAT_VOICES.
constexpr const wchar_t* OneCoreVoicesCategory = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech_OneCore\\Voices";

struct SapiVoice
{
    Microsoft::WRL::ComPtr<ISpObjectToken> token;
    std::string description;
};

// A voice's description: its text in the user's UI language, else its default text, else its key's name.
std::string SapiVoiceDescription(ISpObjectToken* token);
// Every token with its description, in the enumerator's order. Any failure ends the walk and gives nothing:
// voice stores exist whose enumerations never say they are done.
std::vector<SapiVoice> ReadSapiVoices(IEnumSpObjectTokens* tokens);

class SapiVoiceEngine : public IVoiceEngine
{
public:
    // Where the voices come from, asked again at every listing.
    using TokenSource = std::function<Microsoft::WRL::ComPtr<IEnumSpObjectTokens>(ISpVoice* voice)>;
    // The voices of the token category at this registry path.
    static TokenSource Category(std::wstring path);
    // The voices of the category that the voice object's current voice belongs to, else those at this path.
    static TokenSource CategoryOfVoiceOr(std::wstring path);

    // defaultIsOurs: the voice object's voice from the start is one of this engine's, whatever it is; else it
    // counts only when it is in the list (the classic object standing in for the OneCore one starts with a
    // classic voice).
    SapiVoiceEngine(Microsoft::WRL::ComPtr<ISpVoice> voice, TokenSource tokens, bool defaultIsOurs);
    ~SapiVoiceEngine() override;
    SapiVoiceEngine(const SapiVoiceEngine&) = delete;
    SapiVoiceEngine& operator=(const SapiVoiceEngine&) = delete;

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

private:
    // Lists the voices again, as installing or removing one takes effect at once.
    void enumerate();

    ComScope m_com;
    Microsoft::WRL::ComPtr<ISpVoice> m_voice;
    TokenSource m_tokens;
    std::vector<SapiVoice> m_voices; // in the category's order
    VoiceList m_list;
    bool m_hasVoice = false; // the voice object's voice is one of this engine's
    int m_rate = 0;
    int m_volume = 80;
};
