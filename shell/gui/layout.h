// Measuring routines shared by every window, and the main window's layout computed from the display font,
// so that large print gets larger controls instead of overlapping ones.
#pragma once

#include <QFont>
#include <QList>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QColor;
class QWidget;
struct TFontSetting;

// A labelled edit counts as Other: only a plain edit gets the edit margin.
enum class ControlKind { Edit, CheckBox, Button, StatusBar, Other };

// The text without any "&".
QString StripAccelerators(const QString& text);

// Character height of the font; with none, of the system's title font. 0 when nothing can be measured.
int GetTextHeight(const QFont* font);

// Pixel width of the text; 0 for an empty text or when nothing can be measured.
int GetTextWidth(const QFont& font, const QString& text);

// The text height (12 when it cannot be measured) plus the margin of the control kind.
int GetControlHeight(const QFont& font, ControlKind kind);

// Width of the text followed by one blank.
int GetCaptionWidth(const QFont& font, const QString& text);

// "Online...", "Abwesend...", "Beschäftigt...": every caption the state button can take.
QStringList StatusButtonCaptions();

// The common width of all buttons: the widest of the captions and the state captions, without "&", followed
// by "MM" and a blank.
int ButtonWidth(const QFont& font, const QStringList& buttonCaptions);

// What the main window's layout is computed from, in pixels of the client area.
struct LayoutInput
{
    int clientWidth = 0;
    int clientHeight = 0; // down to the bottom of the status bar
    QFont font;           // of the buttons and the status bar
    QStringList buttonCaptions;
    int listeLabelHeight = 0;
    int eingangLabelHeight = 0;
    int verlaufLabelHeight = 0;
    int nameHeight = 0; // Le1Name
    QSize nameLabel;    // the label of Le1Name
    QSize textLabel;    // Lbl1Text
    QSize logLabel;     // Lbl1Log
};

struct LayoutResult
{
    QRect Lbl1Liste, Lb1Liste, Lbl1Eingang, Lb1Eingang, Lbl1Verlauf, Lb1Verlauf;
    QRect Lbl1Name, Le1Name, Lbl1Text, Memo1Text, Lbl1Log, Re1Log;
    QRect Btn1Gelesen, Btn1Senden, Btn1Status, Btn1Optionen, Btn1Minimieren, Btn1Beenden;
    QRect StatusBar1;
    int panelWidths[4] = {};

    // Every rectangle with the objectName of its control.
    QList<QPair<QString, QRect>> named() const;
};

// The positions and sizes of the main window's controls. Where the buttons are too wide for the client
// width they are narrowed so that they neither overlap nor leave the window; sizes never become negative.
LayoutResult SchalterEinrichten(const LayoutInput& in);

// The narrowest client width at which, for this font, the buttons keep their full width and gaps, the
// list captions and the status bar counters show whole.
int MinimumClientWidth(const LayoutInput& in);

// Measures the window's controls, found by objectName. The client area is the parent of Lb1Liste; a status
// bar outside it (below, as in a main window) adds its current height. Missing controls count as empty.
LayoutInput LayoutInputFrom(const QWidget* window);

// Gives every control found by objectName its rectangle, relative to its parent; missing ones are skipped.
// A status bar placed by a main window gets only its height. The first four labels of StatusBar1 are its
// panels.
void ApplyLayout(QWidget* window, const LayoutResult& layout);

// Top-left corner of a window of the given outer size: the work area's corner when maximised, else centred.
// A window larger than the work area is kept at its top or left edge so its title bar stays reachable.
QPoint FensterEinrichten(const QRect& workArea, const QSize& windowSize, bool maximiertS);

// The stored display font as a QFont (name, size in points, style).
QFont FontFromSetting(const TFontSetting& stored);

// A stored colour (0x00BBGGRR); a system colour (high byte 0xFF) gives `system`.
QColor ColorFromSetting(uint32_t color, const QColor& system);
