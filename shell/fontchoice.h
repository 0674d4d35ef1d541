// What the font and colour dialog decides without a window: its texts, the palette of 17 named colours, the
// size range and the rows of its font list.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

constexpr int FontSizeMin = 5;
constexpr int FontSizeMax = 35;
constexpr int PaletteCount = 17;

using TBackFontDlgColorNames = std::array<QString, PaletteCount>;

// One palette entry; Color is 0x00BBGGRR like every stored colour.
struct TColorName
{
    int Index = 0;
    uint32_t Color = 0;
    QString Name;
};

// The dialog's texts. Patterns take their values in order: %d a number, %s a text.
struct TBackFontDlgTexts
{
    QString WindowCaption;
    QString FontColumnCaption;
    QString FontSizeCaption; // smallest and largest size
    QString BoldCaption;
    QString PreviewText;
    QString OkCaption;
    QString CancelCaption;
    QString InsertCaption;
    QString CopyCaption;
    QString SelectAllCaption;
    QString BackgroundSuffix;
    QString EqualColorsQuestion;
    QString TolkFontName;  // the row
    QString TolkFontColor; // the list's text
    QString TolkFontSize;  // smallest and largest size, the field's text
    QString TolkBackColor; // the list's text
    TBackFontDlgColorNames ColorNames;
};

TBackFontDlgTexts DefaultBackFontDlgTexts();

// The given texts with every empty one (and every empty colour name) replaced by its default.
TBackFontDlgTexts CompleteBackFontDlgTexts(const TBackFontDlgTexts& texts);

// Each %d or %s of the pattern takes the next value (nothing once they run out); %% is one percent sign.
QString FormatText(const QString& pattern, const QStringList& values);

// The palette in its fixed order, with the names the texts give.
class TColors
{
public:
    TColors();
    TColors(const TBackFontDlgColorNames& AColorNames, const QString& ABackgroundSuffix);

    int Count() const { return static_cast<int>(FList.size()); }
    // Every name in palette order; background entries carry the suffix.
    void FillStringList(QStringList& Sl, bool IsBackground) const;
    // The first entry of exactly this colour value.
    bool FindColor(uint32_t Color, TColorName& ColorName) const;
    // The first entry of this name ignoring letter case; never one for a blank name.
    bool FindName(const QString& Name, TColorName& ColorName) const;
    // Entry 0 for an index outside the palette.
    TColorName Get(int Index) const;

private:
    QString FBackgroundSuffix;
    std::vector<TColorName> FList;
};

// The size field holds a whole number within the range.
bool SizeTextValid(const QString& text);

// What the size becomes when the field is left: its number, or the smallest size when it holds none, within
// the range.
int SizeFromText(const QString& text);

// The font list: the installed families sorted ignoring letter case, the current font marked with "*".
struct TFontRows
{
    QStringList families; // row i shows families[i]
    QStringList captions;
    int current = -1;  // the current font's row; -1 when it is not installed
    int selected = -1; // the current font's row, else the first; -1 for an empty list
};

TFontRows FontListRows(QStringList installed, const QString& currentName);
