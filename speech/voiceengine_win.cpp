#include "speech/sapi_win.h"

#include <algorithm>
#include <sphelper.h>
#include <stdlib.h>

using Microsoft::WRL::ComPtr;

namespace {

// The OneCore runtime's voice object (Windows 10 and later).
const CLSID CLSID_OneCoreSpVoice = {0x9bc773b8, 0x9b6c, 0x400f, {0x8a, 0xf0, 0x0d, 0xfd, 0xd1, 0xc4, 0x32, 0x29}};

std::wstring TokenId(ISpObjectToken* token)
{
    wchar_t* id = nullptr;
    if (!token || FAILED(token->GetId(&id)) || !id)
        return {};
    std::wstring result = id;
    CoTaskMemFree(id);
    return result;
}

} // namespace

std::string SapiVoiceDescription(ISpObjectToken* token)
{
    if (!token)
        return {};
    wchar_t language[9];
    _ultow(GetUserDefaultUILanguage(), language, 16);
    for (const wchar_t* name : {static_cast<const wchar_t*>(language), static_cast<const wchar_t*>(nullptr)}) {
        wchar_t* text = nullptr;
        if (SUCCEEDED(token->GetStringValue(name, &text)) && text) {
            std::string description = ToUtf8(text);
            CoTaskMemFree(text);
            if (!description.empty())
                return description;
        }
    }
    // A voice without any text (Wine's only voice) is still listed and found under the name of its key.
    const std::wstring id = TokenId(token);
    return ToUtf8(id.substr(id.find_last_of(L'\\') + 1));
}

std::vector<SapiVoice> ReadSapiVoices(IEnumSpObjectTokens* tokens)
{
    ULONG count = 0;
    if (!tokens || FAILED(tokens->GetCount(&count)))
        return {};
    std::vector<SapiVoice> voices;
    for (ULONG i = 0; i < count; ++i) {
        SapiVoice voice;
        if (FAILED(tokens->Item(i, voice.token.GetAddressOf())) || !voice.token)
            return {};
        voice.description = SapiVoiceDescription(voice.token.Get());
        voices.push_back(std::move(voice));
    }
    return voices;
}

SapiVoiceEngine::TokenSource SapiVoiceEngine::Category(std::wstring path)
{
    return [path](ISpVoice*) {
        ComPtr<IEnumSpObjectTokens> tokens;
        if (FAILED(SpEnumTokens(path.c_str(), nullptr, nullptr, tokens.GetAddressOf())))
            return ComPtr<IEnumSpObjectTokens>();
        return tokens;
    };
}

SapiVoiceEngine::TokenSource SapiVoiceEngine::CategoryOfVoiceOr(std::wstring path)
{
    return [fallback = Category(std::move(path))](ISpVoice* voice) {
        ComPtr<ISpObjectToken> current;
        ComPtr<ISpObjectTokenCategory> category;
        ComPtr<IEnumSpObjectTokens> tokens;
        if (voice && SUCCEEDED(voice->GetVoice(current.GetAddressOf())) && current &&
            SUCCEEDED(current->GetCategory(category.GetAddressOf())) && category &&
            SUCCEEDED(category->EnumTokens(nullptr, nullptr, tokens.GetAddressOf())) && tokens)
            return tokens;
        return fallback(voice);
    };
}

SapiVoiceEngine::SapiVoiceEngine(ComPtr<ISpVoice> voice, TokenSource tokens, bool defaultIsOurs)
    : m_voice(std::move(voice))
    , m_tokens(std::move(tokens))
{
    if (!m_voice)
        return;
    enumerate();
    ComPtr<ISpObjectToken> current;
    if (FAILED(m_voice->GetVoice(current.GetAddressOf())) || !current)
        return;
    if (defaultIsOurs) {
        m_hasVoice = true;
        return;
    }
    const std::wstring id = TokenId(current.Get());
    m_hasVoice = !id.empty() && std::any_of(m_voices.cbegin(), m_voices.cend(), [&](const SapiVoice& v) {
        return CompareStringOrdinal(TokenId(v.token.Get()).c_str(), -1, id.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
}

SapiVoiceEngine::~SapiVoiceEngine()
{
    stop();
}

void SapiVoiceEngine::enumerate()
{
    m_voices.clear();
    if (m_voice && m_tokens)
        m_voices = ReadSapiVoices(m_tokens(m_voice.Get()).Get());
    std::vector<std::string> descriptions;
    descriptions.reserve(m_voices.size());
    for (const SapiVoice& voice : m_voices)
        descriptions.push_back(voice.description);
    m_list = VoiceList(std::move(descriptions));
}

std::vector<std::string> SapiVoiceEngine::voices()
{
    enumerate();
    return m_list.descriptions();
}

int SapiVoiceEngine::findVoice(const std::string& description)
{
    if (description.empty())
        return -1;
    enumerate();
    return m_list.find(description);
}

int SapiVoiceEngine::voiceIndex()
{
    return findVoice(voiceDescription());
}

void SapiVoiceEngine::selectVoice(int index)
{
    enumerate();
    const int position = m_list.position(index);
    if (position < 0 || position >= int(m_voices.size()))
        return;
    if (FAILED(m_voice->SetVoice(m_voices[size_t(position)].token.Get())))
        return;
    m_hasVoice = true;
    m_voice->SetRate(m_rate);
    m_voice->SetVolume(USHORT(m_volume));
}

std::string SapiVoiceEngine::voiceDescription()
{
    ComPtr<ISpObjectToken> current;
    if (!m_hasVoice || FAILED(m_voice->GetVoice(current.GetAddressOf())))
        return {};
    return SapiVoiceDescription(current.Get());
}

int SapiVoiceEngine::rate()
{
    long rate = 0;
    if (!m_hasVoice || FAILED(m_voice->GetRate(&rate)))
        return 0;
    return int(rate);
}

void SapiVoiceEngine::setRate(int rate)
{
    if (!m_hasVoice)
        return;
    m_rate = std::clamp(rate, MinRate, MaxRate);
    m_voice->SetRate(m_rate);
}

int SapiVoiceEngine::volume()
{
    USHORT volume = 0;
    if (!m_hasVoice || FAILED(m_voice->GetVolume(&volume)))
        return 0;
    return int(volume);
}

void SapiVoiceEngine::setVolume(int volume)
{
    if (!m_hasVoice)
        return;
    m_volume = std::clamp(volume, MinVolume, MaxVolume);
    m_voice->SetVolume(USHORT(m_volume));
}

bool SapiVoiceEngine::speak(const std::string& text, bool purge)
{
    if (!m_hasVoice || text.empty())
        return false;
    DWORD flags = SPF_ASYNC | SPF_IS_NOT_XML;
    if (purge)
        flags |= SPF_PURGEBEFORESPEAK;
    return SUCCEEDED(m_voice->Speak(ToWide(text).c_str(), flags, nullptr));
}

void SapiVoiceEngine::stop()
{
    if (m_hasVoice)
        m_voice->Speak(L"", SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr);
}

bool SapiVoiceEngine::isSpeaking()
{
    SPVOICESTATUS status = {};
    if (!m_hasVoice || FAILED(m_voice->GetStatus(&status, nullptr)))
        return false;
    return (status.dwRunningState & SPRS_IS_SPEAKING) != 0;
}

std::unique_ptr<IVoiceEngine> CreateVoiceEngine(int nr)
{
    // The engine keeps COM up for itself; this scope only covers creating its voice object.
    ComScope com;
    const auto create = [](const CLSID& voiceClass) {
        ComPtr<ISpVoice> voice;
        CoCreateInstance(voiceClass, nullptr, CLSCTX_ALL, IID_ISpVoice, reinterpret_cast<void**>(voice.GetAddressOf()));
        return voice;
    };
    switch (nr) {
    case 1:
        return std::make_unique<SapiVoiceEngine>(create(CLSID_SpVoice), SapiVoiceEngine::Category(SPCAT_VOICES), true);
    case 2:
        if (ComPtr<ISpVoice> voice = create(CLSID_OneCoreSpVoice))
            return std::make_unique<SapiVoiceEngine>(voice, SapiVoiceEngine::CategoryOfVoiceOr(OneCoreVoicesCategory),
                                                     true);
        // Without the OneCore runtime the classic voice object speaks the OneCore voices, as far as their
        // engines let it.
        return std::make_unique<SapiVoiceEngine>(create(CLSID_SpVoice),
                                                 SapiVoiceEngine::Category(OneCoreVoicesCategory), false);
    default:
        return std::make_unique<SapiVoiceEngine>(nullptr, nullptr, false);
    }
}
