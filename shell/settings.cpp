#include "shell/settings.h"

#include "shell/settingsstore.h"

#include <algorithm>

namespace {

constexpr uint32_t StyleItalic = 1;
constexpr uint32_t StyleBold = 2;
constexpr uint32_t StyleUnderline = 4;
constexpr uint32_t StyleStrikeOut = 8;

std::optional<int32_t> readInt(const ISettingsStore& store, const char* name)
{
    const auto v = store.readDword(name);
    if (!v)
        return std::nullopt;
    return static_cast<int32_t>(*v);
}

bool readBool(const ISettingsStore& store, const char* name, bool missing)
{
    const auto v = store.readDword(name);
    return v ? *v != 0 : missing;
}

std::optional<QString> readText(const ISettingsStore& store, const char* name)
{
    const auto v = store.readString(name);
    if (!v)
        return std::nullopt;
    return QString::fromStdString(*v);
}

void writeBool(ISettingsStore& store, const char* name, bool value)
{
    store.writeDword(name, value ? 1 : 0);
}

void writeText(ISettingsStore& store, const char* name, const QString& value)
{
    store.writeString(name, value.toStdString());
}

void ladeFenster(const ISettingsStore& store, TWindowGeometry& fenster, const TSettingsLoadContext& c)
{
    if (const auto state = readInt(store, "WindowState"))
        fenster.state = *state == 0 ? 0 : 2; // a window saved minimised comes back maximised
    if (const auto h = readInt(store, "Height"))
        fenster.height = FensterMassBegrenzen(*h, c.minHeight, c.workAreaHeight).value_or(fenster.height);
    if (const auto w = readInt(store, "Width"))
        fenster.width = FensterMassBegrenzen(*w, c.minWidth, c.workAreaWidth).value_or(fenster.width);
}

void ladeEinstellungen(const ISettingsStore& store, TEinstellungen& e, const TSettingsLoadContext& c)
{
    e.SoundsArr = SoundsDecodieren(readText(store, "Sounds").value_or(QString()));
    e.Name = readText(store, "Name").value_or(c.WinUserName);
    // A silent start keeps the PC quiet whatever the user stored.
    e.SoundsWiedergebenS = !c.SilentS && readBool(store, "SoundsWiedergeben", true);
    e.FensterWiederherstellenS = !c.SilentS && readBool(store, "FensterWiederherstellen", true);
    e.FensterNachSendenMinimierenS = readBool(store, "FensterNachSendenMinimieren", false);
    e.MinimiertStartenS = readBool(store, "MinimiertStarten", false);
    e.BeendenSichernS = readBool(store, "BeendenSichern", true);
    e.StatusLesenS = readBool(store, "StatusLesen", false);
    e.NachrichtLesenS = readBool(store, "NachrichtLesen", false);
    // The voice first: the rate and volume hooks apply to the voice only once one is chosen.
    e.Stimme = readText(store, "Stimme").value_or(QString());
    SetVoiceRate(e, readInt(store, "VoiceRate").value_or(1));
    if (c.onVoiceRate)
        c.onVoiceRate(e.VoiceRate);
    SetVoiceVolume(e, readInt(store, "VoiceVolume").value_or(80));
    if (c.onVoiceVolume)
        c.onVoiceVolume(e.VoiceVolume);
    e.AutoAbwesendS = readBool(store, "AutoAbwesend", false);
    e.AbwesendMin = readInt(store, "AbwesendMin").value_or(10);
}

void ladeFont(const ISettingsStore& store, TFontSetting& font)
{
    const QString name = readText(store, "FontName").value_or(QString());
    font.name = name.isEmpty() ? QStringLiteral("Arial") : name;
    font.sizePt = readInt(store, "FontSize").value_or(12);
    font.color = store.readDword("FontColor").value_or(SystemWindowTextColor);
    font.charSet = static_cast<uint8_t>(store.readDword("FontCharSet").value_or(0) & 0xFF);
    FontStyleDecodieren(font, store.readDword("FontStyle").value_or(0));
}

uint32_t ladeBackColor(const ISettingsStore& store)
{
    if (const auto back = store.readDword("BackColor"))
        return *back;
    if (const auto hint = readInt(store, "HintColor"))
        return HintColorToColor(*hint);
    return ColorWhite;
}

} // namespace

bool TEinstellungen::operator==(const TEinstellungen& o) const
{
    return Name == o.Name && AutostartS == o.AutostartS && SoundsWiedergebenS == o.SoundsWiedergebenS &&
           SoundsArr == o.SoundsArr && FensterWiederherstellenS == o.FensterWiederherstellenS &&
           FensterNachSendenMinimierenS == o.FensterNachSendenMinimierenS && MinimiertStartenS == o.MinimiertStartenS &&
           BeendenSichernS == o.BeendenSichernS && StatusLesenS == o.StatusLesenS &&
           NachrichtLesenS == o.NachrichtLesenS && Stimme == o.Stimme && VoiceRate == o.VoiceRate &&
           VoiceVolume == o.VoiceVolume && AutoAbwesendS == o.AutoAbwesendS && AbwesendMin == o.AbwesendMin;
}

bool TFontSetting::operator==(const TFontSetting& o) const
{
    return name == o.name && sizePt == o.sizePt && color == o.color && charSet == o.charSet && bold == o.bold &&
           italic == o.italic && underline == o.underline && strikeOut == o.strikeOut;
}

void EinstellungenVorbelegen(TEinstellungen& e, bool keepNameS, const QString& winUserName)
{
    const QString name = keepNameS ? e.Name : winUserName;
    e = TEinstellungen();
    e.Name = name;
}

uint32_t HintColorToColor(int32_t number)
{
    static constexpr uint32_t table[] = {
        0x000000, 0xFFFFFF, 0x00FFFF, 0xFF0000, 0x800000, 0xF0CAA6, 0x808000, 0x008000, 0xC0DCC0, 0x00FF00,
        0x008080, 0x808080, 0x808080, 0xC0C0C0, 0x0000FF, 0x800080, 0xFF00FF, 0xC0C0C0, 0x000080,
    };
    constexpr int32_t count = sizeof(table) / sizeof(table[0]);
    return number >= 0 && number < count ? table[number] : ColorWhite;
}

void SetVoiceRate(TEinstellungen& e, int32_t rate)
{
    e.VoiceRate = std::clamp(rate, VoiceRateMin, VoiceRateMax);
}

void SetVoiceVolume(TEinstellungen& e, int32_t volume)
{
    e.VoiceVolume = std::clamp(volume, VoiceVolumeMin, VoiceVolumeMax);
}

QString SoundsCodieren(const TSoundsArr& sounds)
{
    QString text;
    for (bool on : sounds)
        text += on ? QLatin1Char('1') : QLatin1Char('0');
    return text;
}

TSoundsArr SoundsDecodieren(const QString& text)
{
    TSoundsArr sounds = AlleSoundsAn();
    for (int i = 0; i < SoundCount && i < text.size(); ++i)
        sounds[i] = text.at(i) == QLatin1Char('1');
    return sounds;
}

uint32_t FontStyleCodieren(const TFontSetting& font)
{
    return (font.italic ? StyleItalic : 0) | (font.bold ? StyleBold : 0) | (font.underline ? StyleUnderline : 0) |
           (font.strikeOut ? StyleStrikeOut : 0);
}

void FontStyleDecodieren(TFontSetting& font, uint32_t style)
{
    font.italic = style & StyleItalic;
    font.bold = style & StyleBold;
    font.underline = style & StyleUnderline;
    font.strikeOut = style & StyleStrikeOut;
}

std::optional<int32_t> FensterMassBegrenzen(int32_t stored, int32_t minimum, int32_t workArea)
{
    if (stored <= 100)
        return std::nullopt;
    int32_t size = std::max(stored, minimum);
    if (workArea > 0)
        size = std::min(size, workArea);
    return size;
}

bool RegistryLaden(const ISettingsStore& store, TSettingsState& state, const TSettingsLoadContext& context)
{
    if (!store.readable())
        return false;
    ladeFenster(store, state.Fenster, context);
    state.RuhezustandS = readBool(store, "Ruhezustand", false);
    ladeEinstellungen(store, state.Einstellungen, context);
    ladeFont(store, state.GlobalFont);
    state.GlobalBackColor = ladeBackColor(store);
    return true;
}

bool RegistrySpeichern(ISettingsStore& store, const TSettingsState& state)
{
    if (!store.writable())
        return false;
    const TEinstellungen& e = state.Einstellungen;
    const TFontSetting& font = state.GlobalFont;
    store.writeInt("WindowState", state.Fenster.state);
    store.writeInt("Height", state.Fenster.height);
    store.writeInt("Width", state.Fenster.width);
    writeText(store, "Name", e.Name);
    writeBool(store, "SoundsWiedergeben", e.SoundsWiedergebenS);
    writeText(store, "Sounds", SoundsCodieren(e.SoundsArr));
    writeBool(store, "FensterWiederherstellen", e.FensterWiederherstellenS);
    writeBool(store, "FensterNachSendenMinimieren", e.FensterNachSendenMinimierenS);
    writeBool(store, "MinimiertStarten", e.MinimiertStartenS);
    writeBool(store, "BeendenSichern", e.BeendenSichernS);
    writeBool(store, "StatusLesen", e.StatusLesenS);
    writeBool(store, "NachrichtLesen", e.NachrichtLesenS);
    writeText(store, "Stimme", e.Stimme);
    store.writeInt("VoiceRate", e.VoiceRate);
    store.writeInt("VoiceVolume", e.VoiceVolume);
    writeBool(store, "AutoAbwesend", e.AutoAbwesendS);
    store.writeInt("AbwesendMin", e.AbwesendMin);
    store.writeDword("BackColor", state.GlobalBackColor);
    writeText(store, "FontName", font.name);
    store.writeInt("FontSize", font.sizePt);
    store.writeDword("FontColor", font.color);
    store.writeDword("FontCharSet", font.charSet);
    store.writeDword("FontStyle", FontStyleCodieren(font));
    return store.flush();
}
