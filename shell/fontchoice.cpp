#include "shell/fontchoice.h"

#include <algorithm>

namespace {

struct PaletteEntry
{
    const char* name;
    int red, green, blue;
};

const PaletteEntry Palette[PaletteCount] = {
    {"Schwarz", 0, 0, 0},        {"Weiß", 255, 255, 255},       {"Gelb", 255, 255, 0},     {"Blau", 0, 0, 255},
    {"Marineblau", 0, 0, 128},   {"Himmelblau", 166, 202, 240}, {"Blaugrün", 0, 128, 128}, {"Grün", 0, 128, 0},
    {"Minzgrün", 192, 220, 192}, {"Gelbgrün", 0, 255, 0},       {"Olivgrün", 128, 128, 0}, {"Grau", 128, 128, 128},
    {"Rot", 255, 0, 0},          {"Violett", 128, 0, 128},      {"Lila", 255, 0, 255},     {"Silber", 192, 192, 192},
    {"Braun", 128, 0, 0},
};

uint32_t paletteColor(int i)
{
    const PaletteEntry& e = Palette[i];
    return uint32_t(e.red) | uint32_t(e.green) << 8 | uint32_t(e.blue) << 16;
}

void complete(QString& field, const QString& fallback)
{
    if (field.isEmpty())
        field = fallback;
}

bool allDigits(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

TBackFontDlgTexts DefaultBackFontDlgTexts()
{
    TBackFontDlgTexts t;
    t.WindowCaption = QStringLiteral("Schrifteinstellungen");
    t.FontColumnCaption = QStringLiteral("Schriftart");
    t.FontSizeCaption = QStringLiteral("Schrift&größe (%d-%d):");
    t.BoldCaption = QStringLiteral("&Fett");
    t.PreviewText = QStringLiteral("Das ist eine Vorschau, wie der Text aussehen wird.");
    t.OkCaption = QStringLiteral("O&K");
    t.CancelCaption = QStringLiteral("&Abbrechen");
    t.InsertCaption = QStringLiteral("Einfügen");
    t.CopyCaption = QStringLiteral("&Kopieren");
    t.SelectAllCaption = QStringLiteral("Alles &markieren");
    t.BackgroundSuffix = QStringLiteral(" (Hintergrund)");
    t.EqualColorsQuestion =
        QStringLiteral("Schriftfarbe und Hintergrundfarbe sind identisch!\r\nSoll trotzdem fortgesetzt werden?");
    t.TolkFontName = QStringLiteral("Schriftart: %s");
    t.TolkFontColor = QStringLiteral("Schriftfarbe: %s");
    t.TolkFontSize = QStringLiteral("Schriftgröße (%d bis %d): %s");
    t.TolkBackColor = QStringLiteral("Hintergrundfarbe: %s");
    for (int i = 0; i < PaletteCount; ++i)
        t.ColorNames[i] = QString::fromUtf8(Palette[i].name);
    return t;
}

TBackFontDlgTexts CompleteBackFontDlgTexts(const TBackFontDlgTexts& texts)
{
    const TBackFontDlgTexts d = DefaultBackFontDlgTexts();
    TBackFontDlgTexts t = texts;
    complete(t.WindowCaption, d.WindowCaption);
    complete(t.FontColumnCaption, d.FontColumnCaption);
    complete(t.FontSizeCaption, d.FontSizeCaption);
    complete(t.BoldCaption, d.BoldCaption);
    complete(t.PreviewText, d.PreviewText);
    complete(t.OkCaption, d.OkCaption);
    complete(t.CancelCaption, d.CancelCaption);
    complete(t.InsertCaption, d.InsertCaption);
    complete(t.CopyCaption, d.CopyCaption);
    complete(t.SelectAllCaption, d.SelectAllCaption);
    complete(t.BackgroundSuffix, d.BackgroundSuffix);
    complete(t.EqualColorsQuestion, d.EqualColorsQuestion);
    complete(t.TolkFontName, d.TolkFontName);
    complete(t.TolkFontColor, d.TolkFontColor);
    complete(t.TolkFontSize, d.TolkFontSize);
    complete(t.TolkBackColor, d.TolkBackColor);
    for (int i = 0; i < PaletteCount; ++i)
        complete(t.ColorNames[i], d.ColorNames[i]);
    return t;
}

QString FormatText(const QString& pattern, const QStringList& values)
{
    QString out;
    int next = 0;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        const QChar f = i + 1 < pattern.size() ? pattern[i + 1] : QChar();
        if (c == u'%' && (f == u'd' || f == u's')) {
            if (next < values.size())
                out += values[next];
            ++next;
            ++i;
        } else if (c == u'%' && f == u'%') {
            out += c;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

TColors::TColors()
    : TColors(DefaultBackFontDlgTexts().ColorNames, DefaultBackFontDlgTexts().BackgroundSuffix)
{
}

TColors::TColors(const TBackFontDlgColorNames& AColorNames, const QString& ABackgroundSuffix)
    : FBackgroundSuffix(ABackgroundSuffix)
{
    for (int i = 0; i < PaletteCount; ++i)
        FList.push_back(TColorName{i, paletteColor(i), AColorNames[i]});
}

void TColors::FillStringList(QStringList& Sl, bool IsBackground) const
{
    Sl.clear();
    for (const TColorName& c : FList)
        Sl << (IsBackground ? c.Name + FBackgroundSuffix : c.Name);
}

bool TColors::FindColor(uint32_t Color, TColorName& ColorName) const
{
    const auto it = std::find_if(FList.begin(), FList.end(), [Color](const TColorName& c) { return c.Color == Color; });
    if (it == FList.end())
        return false;
    ColorName = *it;
    return true;
}

bool TColors::FindName(const QString& Name, TColorName& ColorName) const
{
    if (Name.trimmed().isEmpty())
        return false;
    const auto it = std::find_if(FList.begin(), FList.end(), [&Name](const TColorName& c) {
        return c.Name.compare(Name, Qt::CaseInsensitive) == 0;
    });
    if (it == FList.end())
        return false;
    ColorName = *it;
    return true;
}

TColorName TColors::Get(int Index) const
{
    if (Index < 0 || Index >= Count())
        Index = 0;
    return FList[Index];
}

bool SizeTextValid(const QString& text)
{
    // Two digits at most, so a long run of digits can never overflow the conversion.
    if (text.isEmpty() || text.size() > 2 || !allDigits(text))
        return false;
    const int size = text.toInt();
    return size >= FontSizeMin && size <= FontSizeMax;
}

int SizeFromText(const QString& text)
{
    bool ok = false;
    const int size = allDigits(text) && text.size() <= 9 ? text.toInt(&ok) : 0;
    return ok ? std::clamp(size, FontSizeMin, FontSizeMax) : FontSizeMin;
}

TFontRows FontListRows(QStringList installed, const QString& currentName)
{
    std::stable_sort(installed.begin(), installed.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    TFontRows rows;
    rows.families = installed;
    rows.captions = installed;
    for (int i = 0; i < installed.size() && rows.current < 0; ++i) {
        if (installed[i].compare(currentName, Qt::CaseInsensitive) == 0)
            rows.current = i;
    }
    if (rows.current >= 0)
        rows.captions[rows.current].prepend(u'*');
    rows.selected = rows.current >= 0 ? rows.current : (installed.isEmpty() ? -1 : 0);
    return rows;
}
