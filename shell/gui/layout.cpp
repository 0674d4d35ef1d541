#include "shell/gui/layout.h"

#include "shell/settings.h"

#include "common/texts.h"

#include <QAbstractButton>
#include <QColor>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QWidget>
#include <algorithm>

namespace {

// Margins and gaps of the window, in pixels.
constexpr int Rand = 10;
constexpr int Abstand = 5;
// Smallest gap left between buttons when their captions are too wide for the window.
constexpr int MinLuecke = 5;

const char* const ButtonNames[] = {"Btn1Gelesen",  "Btn1Senden",     "Btn1Status",
                                   "Btn1Optionen", "Btn1Minimieren", "Btn1Beenden"};

// Font metrics need a GUI application; without one there is nothing to measure on.
bool canMeasure()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// truncate(value / 100 × percent), exactly: the fraction never picks up rounding noise of a real number.
int percentOf(int value, int percent)
{
    return static_cast<int>(static_cast<long long>(value) * percent / 100);
}

int nonNegative(int v)
{
    return std::max(v, 0);
}

QRect box(int left, int top, int width, int height)
{
    return QRect(left, top, nonNegative(width), nonNegative(height));
}

int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}

int rightOf(const QRect& r)
{
    return r.x() + r.width();
}

QSize hintOf(const QWidget* w)
{
    return w ? w->sizeHint() : QSize(0, 0);
}

} // namespace

QString StripAccelerators(const QString& text)
{
    return QString(text).remove(u'&');
}

int GetTextHeight(const QFont* font)
{
    if (!canMeasure())
        return 0;
    const QFont f = font ? *font : QFontDatabase::systemFont(QFontDatabase::TitleFont);
    return nonNegative(QFontMetrics(f).height());
}

int GetTextWidth(const QFont& font, const QString& text)
{
    if (text.isEmpty() || !canMeasure())
        return 0;
    return nonNegative(QFontMetrics(font).horizontalAdvance(text));
}

int GetControlHeight(const QFont& font, ControlKind kind)
{
    int h = GetTextHeight(&font);
    if (h <= 0)
        h = 12;
    switch (kind) {
    case ControlKind::Edit:
    case ControlKind::CheckBox:
        return h + 8;
    case ControlKind::Button:
        return h + 12;
    case ControlKind::StatusBar:
        return h + 6;
    case ControlKind::Other:
        break;
    }
    return h;
}

int GetCaptionWidth(const QFont& font, const QString& text)
{
    return GetTextWidth(font, text + QLatin1Char(' '));
}

QStringList StatusButtonCaptions()
{
    QStringList captions;
    for (int nr : {StatusOnline, StatusAbwesend, StatusBeschaeftigt})
        captions << Texts::statusText(nr) + QStringLiteral("...");
    return captions;
}

int ButtonWidth(const QFont& font, const QStringList& buttonCaptions)
{
    // The widest in pixels, not in characters: a short caption of wide letters must not be clipped.
    QString widest;
    int widestWidth = -1;
    for (const QString& caption : buttonCaptions + StatusButtonCaptions()) {
        const QString text = StripAccelerators(caption);
        const int w = GetTextWidth(font, text);
        if (w > widestWidth) {
            widest = text;
            widestWidth = w;
        }
    }
    return GetCaptionWidth(font, widest + QStringLiteral("MM"));
}

QList<QPair<QString, QRect>> LayoutResult::named() const
{
    return {{QStringLiteral("Lbl1Liste"), Lbl1Liste},
            {QStringLiteral("Lb1Liste"), Lb1Liste},
            {QStringLiteral("Lbl1Eingang"), Lbl1Eingang},
            {QStringLiteral("Lb1Eingang"), Lb1Eingang},
            {QStringLiteral("Lbl1Verlauf"), Lbl1Verlauf},
            {QStringLiteral("Lb1Verlauf"), Lb1Verlauf},
            {QStringLiteral("Lbl1Name"), Lbl1Name},
            {QStringLiteral("Le1Name"), Le1Name},
            {QStringLiteral("Lbl1Text"), Lbl1Text},
            {QStringLiteral("Memo1Text"), Memo1Text},
            {QStringLiteral("Lbl1Log"), Lbl1Log},
            {QStringLiteral("Re1Log"), Re1Log},
            {QStringLiteral("Btn1Gelesen"), Btn1Gelesen},
            {QStringLiteral("Btn1Senden"), Btn1Senden},
            {QStringLiteral("Btn1Status"), Btn1Status},
            {QStringLiteral("Btn1Optionen"), Btn1Optionen},
            {QStringLiteral("Btn1Minimieren"), Btn1Minimieren},
            {QStringLiteral("Btn1Beenden"), Btn1Beenden},
            {QStringLiteral("StatusBar1"), StatusBar1}};
}

LayoutResult SchalterEinrichten(const LayoutInput& in)
{
    LayoutResult r;
    const int cw = in.clientWidth;

    const int statusH = GetControlHeight(in.font, ControlKind::StatusBar);
    r.StatusBar1 = box(0, in.clientHeight - statusH, cw, statusH);
    const int statusTop = r.StatusBar1.y();

    const int btnH = GetControlHeight(in.font, ControlKind::Button);
    const int spalteW = nonNegative(percentOf(cw - 3 * Rand, 40));
    const int spalteRechts = Rand + spalteW;

    // With large print the captions can need more than the client width; the buttons are then narrowed
    // until both rows keep a small gap, rather than overlapping or running off the window.
    int b = ButtonWidth(in.font, in.buttonCaptions);
    const int paarRest = cw - spalteRechts - 2 * Rand;
    if ((cw - 4 * b) / 5 < 0 || (paarRest - 2 * b) / 3 < 0)
        b = nonNegative(std::min({b, (cw - 5 * MinLuecke) / 4, (paarRest - 3 * MinLuecke) / 2}));

    r.Lbl1Liste = box(Rand, Rand, spalteW, in.listeLabelHeight);
    const int listeTop = bottomOf(r.Lbl1Liste) + Abstand;
    r.Lb1Liste = box(Rand, listeTop, spalteW,
                     percentOf(statusTop - listeTop - btnH - 4 * Rand - 2 * (in.eingangLabelHeight + Abstand), 34));

    const int btnTop = statusTop - btnH - Rand;
    const int g = (cw - 4 * b) / 5;
    r.Btn1Status = box(g, btnTop, b, btnH);
    r.Btn1Optionen = box(rightOf(r.Btn1Status) + g, btnTop, b, btnH);
    r.Btn1Minimieren = box(rightOf(r.Btn1Optionen) + g, btnTop, b, btnH);
    r.Btn1Beenden = box(rightOf(r.Btn1Minimieren) + g, btnTop, b, btnH);

    r.Lbl1Eingang = box(Rand, bottomOf(r.Lb1Liste) + Rand, spalteW, in.eingangLabelHeight);
    const int eingangTop = bottomOf(r.Lbl1Eingang) + Abstand;
    r.Lb1Eingang = box(Rand, eingangTop, spalteW, (btnTop - eingangTop - in.eingangLabelHeight - 25) / 2);

    r.Lbl1Verlauf = box(Rand, bottomOf(r.Lb1Eingang) + Rand, spalteW, in.verlaufLabelHeight);
    const int verlaufTop = bottomOf(r.Lbl1Verlauf) + Abstand;
    r.Lb1Verlauf = box(Rand, verlaufTop, spalteW, btnTop - verlaufTop - Rand);

    const int paarTop = bottomOf(r.Lb1Verlauf) - btnH;
    const int h = (cw - rightOf(r.Lb1Verlauf) - 2 * b - 2 * Rand) / 3;
    r.Btn1Gelesen = box(rightOf(r.Lb1Verlauf) + h + Rand, paarTop, b, btnH);
    r.Btn1Senden = box(rightOf(r.Btn1Gelesen) + h, paarTop, b, btnH);

    const int l = std::max({in.nameLabel.width(), in.textLabel.width(), in.logLabel.width()});
    const int rechtsLeft = rightOf(r.Lb1Liste) + l + 15;
    const int rechtsW = cw - rechtsLeft - Rand;
    r.Le1Name = box(rechtsLeft, Rand, rechtsW, in.nameHeight);
    r.Memo1Text = box(rechtsLeft, bottomOf(r.Le1Name) + Rand, rechtsW, 3 * in.nameHeight);
    const int logTop = bottomOf(r.Memo1Text) + Rand;
    r.Re1Log = box(rechtsLeft, logTop, rechtsW, paarTop - logTop - Rand);

    auto captionLeftOf = [](const QRect& control, const QSize& label) { return control.x() - label.width() - Abstand; };
    r.Lbl1Name =
        box(captionLeftOf(r.Le1Name, in.nameLabel), r.Le1Name.y() + (in.nameHeight - in.nameLabel.height()) / 2,
            in.nameLabel.width(), in.nameLabel.height());
    r.Lbl1Text =
        box(captionLeftOf(r.Memo1Text, in.textLabel), r.Memo1Text.y(), in.textLabel.width(), in.textLabel.height());
    r.Lbl1Log = box(captionLeftOf(r.Re1Log, in.logLabel), r.Re1Log.y(), in.logLabel.width(), in.logLabel.height());

    // A counter panel never gets narrower than its text with four digits, so large print is not cut
    // off; the key hints take what is left.
    const int barW = r.StatusBar1.width();
    const int percents[3] = {11, 15, 13};
    const char* const samples[3] = {"Online: 0000", "Ungelesen: 0000", "Gelesen: 0000"};
    int rest = barW;
    for (int i = 0; i < 3; ++i) {
        r.panelWidths[i] = std::max(percentOf(barW, percents[i]),
                                    GetCaptionWidth(in.font, QString::fromLatin1(samples[i])) + 2 * Rand);
        rest -= r.panelWidths[i];
    }
    r.panelWidths[3] = nonNegative(rest);
    return r;
}

int MinimumClientWidth(const LayoutInput& in)
{
    const int b = ButtonWidth(in.font, in.buttonCaptions);
    // The bottom row: four buttons with their gaps.
    const int unten = 4 * b + 5 * MinLuecke;
    // The right of the left column holds both pair buttons: 60 % of the width less the margins.
    const int paar = (2 * b + 3 * MinLuecke + 2 * Rand + Rand) * 100 / 60 + 3 * Rand;
    // The left column is 40 % of the width and must show the list captions whole.
    int beschriftung = 0;
    for (const char* caption : {"Online", "Nachrichteneingang", "Nachrichtenverlauf"})
        beschriftung = std::max(beschriftung, GetCaptionWidth(in.font, QString::fromUtf8(caption)));
    const int links = beschriftung * 100 / 40 + 3 * Rand;
    // The status bar's three counters at their narrowest, and room for the hints.
    int zaehler = 0;
    for (const char* sample : {"Online: 0000", "Ungelesen: 0000", "Gelesen: 0000"})
        zaehler += GetCaptionWidth(in.font, QString::fromLatin1(sample)) + 2 * Rand;
    return std::max({unten, paar, links, zaehler * 100 / 60});
}

LayoutInput LayoutInputFrom(const QWidget* window)
{
    auto find = [window](const char* name) { return window->findChild<QWidget*>(QString::fromLatin1(name)); };

    LayoutInput in;
    const QWidget* liste = find("Lb1Liste");
    const QWidget* client = liste && liste->parentWidget() ? liste->parentWidget() : window;
    in.clientWidth = client->width();
    in.clientHeight = client->height();
    const QWidget* status = find("StatusBar1");
    if (status && status->parentWidget() != client && status->isVisibleTo(window))
        in.clientHeight += status->height();

    const QWidget* beenden = find("Btn1Beenden");
    in.font = beenden ? beenden->font() : window->font();
    for (const char* name : ButtonNames)
        if (auto* button = qobject_cast<const QAbstractButton*>(find(name)))
            in.buttonCaptions << button->text();

    in.listeLabelHeight = hintOf(find("Lbl1Liste")).height();
    in.eingangLabelHeight = hintOf(find("Lbl1Eingang")).height();
    in.verlaufLabelHeight = hintOf(find("Lbl1Verlauf")).height();
    in.nameHeight = hintOf(find("Le1Name")).height();
    in.nameLabel = hintOf(find("Lbl1Name"));
    in.textLabel = hintOf(find("Lbl1Text"));
    in.logLabel = hintOf(find("Lbl1Log"));
    return in;
}

void ApplyLayout(QWidget* window, const LayoutResult& layout)
{
    for (const auto& [name, rect] : layout.named()) {
        QWidget* w = window->findChild<QWidget*>(name);
        if (!w)
            continue;
        // A main window places its status bar itself and only honours a fixed height.
        if (qobject_cast<QStatusBar*>(w) && qobject_cast<QMainWindow*>(w->parentWidget()))
            w->setFixedHeight(rect.height());
        else
            w->setGeometry(rect);
    }

    auto* status = window->findChild<QWidget*>(QStringLiteral("StatusBar1"));
    if (!status)
        return;
    const QList<QLabel*> panels = status->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    for (int i = 0; i < panels.size() && i < 4; ++i) {
        panels[i]->setAlignment(Qt::AlignCenter);
        // The last panel stretches over the rest, whatever margins the bar keeps between panels; at large
        // sizes its text is cut rather than widening the bar past the window (its accessible text stays whole).
        if (i < 3) {
            panels[i]->setFixedWidth(layout.panelWidths[i]);
        } else {
            panels[i]->setMinimumWidth(0);
            panels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        }
    }
}

QPoint FensterEinrichten(const QRect& workArea, const QSize& windowSize, bool maximiertS)
{
    if (maximiertS)
        return workArea.topLeft();
    const int left = workArea.left() + (workArea.width() - windowSize.width()) / 2;
    const int top = workArea.top() + (workArea.height() - windowSize.height()) / 2;
    return QPoint(std::max(left, workArea.left()), std::max(top, workArea.top()));
}

QFont FontFromSetting(const TFontSetting& stored)
{
    QFont font(stored.name);
    if (stored.sizePt > 0)
        font.setPointSize(stored.sizePt);
    font.setBold(stored.bold);
    font.setItalic(stored.italic);
    font.setUnderline(stored.underline);
    font.setStrikeOut(stored.strikeOut);
    return font;
}

QColor ColorFromSetting(uint32_t color, const QColor& system)
{
    if ((color >> 24) == 0xFF)
        return system;
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}
