// The font and colour dialog's layout computed from the display font, so that large print gets larger controls
// and a larger dialog instead of overlapping or cut-off ones.
#pragma once

#include <QFont>
#include <QList>
#include <QPair>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// Width of the widest of the column caption and the rows, followed by "MM" and a blank.
int MaxLvFontsWidth(const QFont& font, const QString& columnCaption, const QStringList& rowCaptions);

struct BackFontLayoutInput
{
    QFont font;                 // the current display font; buttons take its name, size and style
    QStringList buttonCaptions; // OK and Cancel
    QString boldCaption;
    int maxLvFontsWidth = 0; // MaxLvFontsWidth of the caption and all rows
    int minLvFontsWidth = 0; // MaxLvFontsWidth of the caption alone: the list is never narrower
    int listExtra = 0;       // what the list's frame and scroll bar take from its width
    QSize sizeLabel;         // the caption of the size field
    int upDownWidth = 0;     // the arrows of the size field
    QSize editHint;          // EditTest in the dialog's font
    // The controls' own smallest sizes. The formulas never make a control smaller, so a style whose controls
    // need more is not cut off.
    QSize sizeFieldHint; // the whole size field with its arrows
    QSize comboHint;     // a colour list showing its widest entry
    QSize boldHint;
    QSize buttonHint;
    QSize frame;    // what the dialog's frame adds to its client area
    QSize workArea; // of the owner's screen; an empty size sets no limit
};

struct BackFontLayoutResult
{
    QSize client;
    QRect LvFonts, LblSize, LeSize, UpDown1, CbBold, CoBoColors, CoBoBackColors, EditTest, Btn1OK, Btn2Cancel;

    // Every rectangle with the objectName of its control.
    QList<QPair<QString, QRect>> named() const;
};

// The client size and the controls' rectangles in it: the font list on the left, six button heights tall; the
// size field, the bold switch and the two colour lists beside it; the preview across below with room to grow
// to five times its height; the two buttons under it. Where the work area is too small the list gets narrower
// (its rows then scroll sideways), then the preview's room and the list get lower.
BackFontLayoutResult BackFontSchalterEinrichten(const BackFontLayoutInput& in);
