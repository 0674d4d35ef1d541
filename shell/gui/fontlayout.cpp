#include "shell/gui/fontlayout.h"

#include "shell/gui/layout.h"

#include <algorithm>

namespace {

constexpr int Rand = 10;
constexpr int Abstand = 20;
constexpr int LabelAbstand = 5;
constexpr int MinLuecke = 5;
// The list is this many button heights tall; on a low screen no fewer than the smallest number.
constexpr int ListenHoehen = 6;
constexpr int MinListenHoehen = 3;
// Room below the preview, in its own heights: a larger chosen size makes it taller.
constexpr int VorschauHoehen = 5;

QRect box(int left, int top, int width, int height)
{
    return QRect(left, top, std::max(width, 0), std::max(height, 0));
}

int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}

int rightOf(const QRect& r)
{
    return r.x() + r.width();
}

QString widestOf(const QFont& font, const QStringList& texts)
{
    QString widest;
    int widestWidth = -1;
    for (const QString& text : texts) {
        const int w = GetTextWidth(font, text);
        if (w > widestWidth) {
            widest = text;
            widestWidth = w;
        }
    }
    return widest;
}

} // namespace

int MaxLvFontsWidth(const QFont& font, const QString& columnCaption, const QStringList& rowCaptions)
{
    return GetCaptionWidth(font, widestOf(font, QStringList{columnCaption} + rowCaptions) + QStringLiteral("MM"));
}

QList<QPair<QString, QRect>> BackFontLayoutResult::named() const
{
    return {{QStringLiteral("LvFonts"), LvFonts},
            {QStringLiteral("LblSize"), LblSize},
            {QStringLiteral("LeSize"), LeSize},
            {QStringLiteral("UpDown1"), UpDown1},
            {QStringLiteral("CbBold"), CbBold},
            {QStringLiteral("CoBoColors"), CoBoColors},
            {QStringLiteral("CoBoBackColors"), CoBoBackColors},
            {QStringLiteral("EditTest"), EditTest},
            {QStringLiteral("Btn1OK"), Btn1OK},
            {QStringLiteral("Btn2Cancel"), Btn2Cancel}};
}

BackFontLayoutResult BackFontSchalterEinrichten(const BackFontLayoutInput& in)
{
    const QFont& font = in.font;
    QStringList captions;
    for (const QString& caption : in.buttonCaptions)
        captions << StripAccelerators(caption);
    const int b =
        std::max(GetCaptionWidth(font, widestOf(font, captions) + QStringLiteral("MM")), in.buttonHint.width());
    const int btnH = std::max(GetControlHeight(font, ControlKind::Button), in.buttonHint.height());
    const int boldW =
        std::max(GetCaptionWidth(font, StripAccelerators(in.boldCaption) + QStringLiteral("MM")), in.boldHint.width());
    const int boldH = std::max(GetControlHeight(font, ControlKind::CheckBox), in.boldHint.height());
    const int textH = GetControlHeight(font, ControlKind::Other);
    const int sizeH = std::max(in.sizeFieldHint.height(), textH);
    const int leW = std::max(GetCaptionWidth(font, QStringLiteral("MM")), in.sizeFieldHint.width() - in.upDownWidth);
    const int comboH = std::max(in.comboHint.height(), textH);
    const int editH = std::max(in.editHint.height(), GetControlHeight(font, ControlKind::Edit));

    // Right of the list: the size row, and the colour lists at least as wide as their widest entry.
    const int zeileW = in.sizeLabel.width() + LabelAbstand + leW + in.upDownWidth + Rand + boldW;
    const int rechtsW = std::max(zeileW, in.comboHint.width());
    int listW = in.maxLvFontsWidth + in.listExtra;
    const auto clientWidth = [&] { return Rand + listW + Rand + rechtsW + Rand; };
    // The buttons side by side with gaps, whatever the rest needs.
    listW += std::max(0, 2 * b + 3 * MinLuecke - clientWidth());
    const int grenzeW = in.workArea.width() - in.frame.width();
    if (in.workArea.width() > 0 && clientWidth() > grenzeW)
        listW = std::max(listW - (clientWidth() - grenzeW), in.minLvFontsWidth + in.listExtra);
    const int cw = clientWidth();

    BackFontLayoutResult r;
    const auto place = [&](int listH, int raum) {
        r.LvFonts = box(Rand, Rand, listW, listH);
        const int sizeTop = (listH - sizeH) / 3 + Rand;
        r.LeSize = box(rightOf(r.LvFonts) + Rand + in.sizeLabel.width() + LabelAbstand, sizeTop, leW, sizeH);
        r.UpDown1 = box(rightOf(r.LeSize), sizeTop, in.upDownWidth, sizeH);
        r.LblSize = box(r.LeSize.x() - LabelAbstand - in.sizeLabel.width(),
                        sizeTop + (sizeH - in.sizeLabel.height()) / 2, in.sizeLabel.width(), in.sizeLabel.height());
        r.CbBold = box(rightOf(r.UpDown1) + Rand, sizeTop, boldW, boldH);
        const int farbenLeft = rightOf(r.LvFonts) + Rand;
        r.CoBoColors = box(farbenLeft, bottomOf(r.LeSize) + Abstand, cw - farbenLeft - Rand, comboH);
        r.CoBoBackColors = box(farbenLeft, bottomOf(r.CoBoColors) + Abstand, r.CoBoColors.width(), comboH);
        // Below the list, and below the colour lists should they reach further down.
        const int editTop = std::max(bottomOf(r.LvFonts), bottomOf(r.CoBoBackColors)) + Abstand;
        r.EditTest = box(Rand, editTop, cw - 2 * Rand, editH);
        const int btnTop = editTop + raum + Abstand;
        const int g = (cw - 2 * b) / 3;
        r.Btn1OK = box(g, btnTop, b, btnH);
        r.Btn2Cancel = box(2 * g + b, btnTop, b, btnH);
        r.client = QSize(cw, bottomOf(r.Btn1OK) + Rand);
    };

    int listH = ListenHoehen * btnH;
    int raum = VorschauHoehen * editH;
    place(listH, raum);
    const int grenzeH = in.workArea.height() - in.frame.height();
    if (in.workArea.height() > 0 && r.client.height() > grenzeH) {
        raum = std::max(editH, raum - (r.client.height() - grenzeH));
        place(listH, raum);
        // A lower list also lifts the size row and the colour lists, by a third of what it loses; a few
        // rounds find the height.
        const int minListH = MinListenHoehen * btnH;
        for (int runde = 0; runde < 100 && r.client.height() > grenzeH && listH > minListH; ++runde) {
            listH = std::max(minListH, listH - (r.client.height() - grenzeH));
            place(listH, raum);
        }
    }
    return r;
}
