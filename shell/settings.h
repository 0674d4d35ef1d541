// The user's preferences, the values kept beside them, and their load and save through a key-value store.
#pragma once

#include "common/types.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class ISettingsStore;

constexpr int32_t VoiceRateMin = -10;
constexpr int32_t VoiceRateMax = 10;
constexpr int32_t VoiceVolumeMin = 0;
constexpr int32_t VoiceVolumeMax = 100;

using TSoundsArr = std::array<bool, SoundCount>;

constexpr TSoundsArr AlleSoundsAn()
{
    TSoundsArr a{};
    for (bool& on : a)
        on = true;
    return a;
}

struct TEinstellungen
{
    QString Name;            // the logon name after EinstellungenVorbelegen
    bool AutostartS = false; // mirrors the startup entry, never stored with the rest
    bool SoundsWiedergebenS = true;
    TSoundsArr SoundsArr = AlleSoundsAn(); // indexed by TSound
    bool FensterWiederherstellenS = true;
    bool FensterNachSendenMinimierenS = false;
    bool MinimiertStartenS = false;
    bool BeendenSichernS = true;
    bool StatusLesenS = false;
    bool NachrichtLesenS = false;
    QString Stimme; // empty: no voice chosen
    int32_t VoiceRate = 1;
    int32_t VoiceVolume = 80;
    bool AutoAbwesendS = false;
    int32_t AbwesendMin = 10;

    bool operator==(const TEinstellungen& o) const;
    bool operator!=(const TEinstellungen& o) const { return !(*this == o); }
};

// Colours are 0x00BBGGRR; a high byte of 0xFF names a system colour by the index in the low byte.
constexpr uint32_t SystemWindowTextColor = 0xFF000008;
constexpr uint32_t ColorWhite = 0xFFFFFF;

// The program's one display font.
struct TFontSetting
{
    QString name = QStringLiteral("Arial");
    int32_t sizePt = 12;
    uint32_t color = SystemWindowTextColor;
    uint8_t charSet = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    bool operator==(const TFontSetting& o) const;
    bool operator!=(const TFontSetting& o) const { return !(*this == o); }
};

// The main window's state (0 normal, 1 minimised, 2 maximised) and outer size in pixels.
struct TWindowGeometry
{
    int32_t state = 0;
    int32_t width = 1200;
    int32_t height = 900;

    bool operator==(const TWindowGeometry& o) const
    {
        return state == o.state && width == o.width && height == o.height;
    }
};

// Everything that one load or save covers.
struct TSettingsState
{
    TEinstellungen Einstellungen;
    TWindowGeometry Fenster;
    TFontSetting GlobalFont;
    uint32_t GlobalBackColor = ColorWhite;
    bool RuhezustandS = false;
};

// What the window supplies for a load.
struct TSettingsLoadContext
{
    bool SilentS = false;
    QString WinUserName;
    int32_t minWidth = 0;
    int32_t minHeight = 0;
    int32_t workAreaWidth = 0; // 0 or less: unknown, no upper limit
    int32_t workAreaHeight = 0;
    // Called with the clamped value after it was stored (and after "Stimme" was loaded), so the window
    // can apply it to the chosen voice.
    std::function<void(int32_t)> onVoiceRate;
    std::function<void(int32_t)> onVoiceVolume;
};

// Every field to its default; Name becomes winUserName unless keepNameS.
void EinstellungenVorbelegen(TEinstellungen& e, bool keepNameS, const QString& winUserName);

// The legacy colour numbers 0..18; any other number is white.
uint32_t HintColorToColor(int32_t number);

// The property setters behind VoiceRate and VoiceVolume: clamp to the range, then store.
void SetVoiceRate(TEinstellungen& e, int32_t rate);
void SetVoiceVolume(TEinstellungen& e, int32_t volume);

// "Sounds": one "1" or "0" per TSound; a short text leaves the missing positions on.
QString SoundsCodieren(const TSoundsArr& sounds);
TSoundsArr SoundsDecodieren(const QString& text);

// "FontStyle": 1 italic, 2 bold, 4 underline, 8 strike-out.
uint32_t FontStyleCodieren(const TFontSetting& font);
void FontStyleDecodieren(TFontSetting& font, uint32_t style);

// A stored height or width: ignored (empty) up to 100, else raised to the minimum and then cut to the
// work area.
std::optional<int32_t> FensterMassBegrenzen(int32_t stored, int32_t minimum, int32_t workArea);

// Loads every value the store holds; false (and nothing changed) when the store cannot be opened.
bool RegistryLaden(const ISettingsStore& store, TSettingsState& state, const TSettingsLoadContext& context);

// Writes the whole set; false when the store cannot be written or the writes did not reach it.
bool RegistrySpeichern(ISettingsStore& store, const TSettingsState& state);
