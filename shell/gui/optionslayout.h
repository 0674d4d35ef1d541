// The options dialog's captions and its layout computed from the display font, so that large print gets
// larger controls and a larger dialog instead of overlapping or cut-off ones.
#pragma once

#include <QFont>
#include <QHash>
#include <QList>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The dialog's own texts.
namespace OptionenTexte {
inline const QString Titel = QStringLiteral("Optionen einstellen");
inline const QString SpalteSounds = QStringLiteral("Sounds");
inline const QString SpalteStimmen = QStringLiteral("Stimmen");
} // namespace OptionenTexte

// Caption with its access key of a check box, a button or the name label, by objectName; empty for others.
QString OptionenCaption(const QString& objectName);

// The check boxes in tab order, by objectName.
const QList<QString>& OptionenCheckBoxNames();

// The three buttons, left to right.
const QList<QString>& OptionenButtonNames();

struct OptionenLayoutInput
{
    QFont font;          // the display font; buttons take its name, size and style, so they measure alike
    int ownerHeight = 0; // outer height of the owner window
    QSize frame;         // what the dialog's frame adds to its client area
    QSize workArea;      // of the owner's screen; an empty size sets no limit
    QSize nameLabel;     // the caption of Le1Name
    int nameHeight = 0;  // Le1Name
    int upDownWidth = 0; // the arrows of Ud1AbwesendMin
    // The controls' own smallest sizes by objectName (Ud1AbwesendMin: the whole minutes field). The formulas
    // never make a control smaller, so a style whose check boxes or buttons need more is not cut off.
    QHash<QString, QSize> hints;
    int listMinWidth = 0;     // both lists show their widest row whole
    int stimmenMinHeight = 0; // Lv1Stimmen shows its caption and a few rows
};

struct OptionenLayoutResult
{
    QSize client;
    QRect Lbl1Name, Le1Name;
    QRect Cb1Autostart, Cb1FensterWiederherstellen, Cb1FensterNachSendenMinimieren, Cb1MinimiertStarten,
        Cb1BeendenSichern, Cb1SoundsWiedergeben;
    QRect Lv1Sounds, Lv1Stimmen;
    QRect Cb1AutoAbwesend, Ed1AbwesendMin, Ud1AbwesendMin, Cb1StatusLesen, Cb1NachrichtLesen;
    QRect Btn1Reset, Btn1OK, Btn1Abbrechen;

    // Every rectangle with the objectName of its control.
    QList<QPair<QString, QRect>> named() const;
};

// The client size and the controls' rectangles in it. The three buttons set the width, 97 % of the owner's
// height the height. Where that leaves too little room (the lists narrower than their rows, the minutes rows
// closer than 5 pixels) the dialog grows, within the work area; the buttons then spread over the width.
OptionenLayoutResult OptionenSchalterEinrichten(const OptionenLayoutInput& in);

// Top-left corner of the dialog's outer bounds: centred over the owner's outer bounds, then moved into the
// work area where it would stick out; a dialog larger than the work area keeps its top-left corner in it.
QPoint OptionenFensterEinrichten(const QRect& ownerFrame, const QSize& dialogOuter, const QRect& workArea);
