// The font and colour dialog: font, size, weight, text and background colour with a live preview line, a
// question when both colours are the same, and a spoken cue on entering each field.
#pragma once

#include "shell/fontchoice.h"
#include "shell/settings.h"

#include <QDialog>
#include <functional>

class IScreenReader;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;
class QAction;

class TBackFontDlg : public QDialog
{
    Q_OBJECT

public:
    // A Yes/No question to the user; true for Yes.
    using Frage = std::function<bool(QWidget* parent, const QString& text)>;

    // AOwner: the dialog is centred over its window. AAktBackColor and AAktFont: the current background and
    // display font; they are the starting choice and the dialog's own look. ATolk: the screen-reader
    // dispatcher for the cues, null for none; it must outlive the dialog. AFrage: asks before closing with
    // equal colours; null: a message box.
    TBackFontDlg(QWidget* AOwner, uint32_t AAktBackColor, const TFontSetting& AAktFont, IScreenReader* ATolk,
                 Frage AFrage = nullptr);
    // The same with texts of the caller's; empty ones keep their defaults.
    TBackFontDlg(QWidget* AOwner, uint32_t AAktBackColor, const TFontSetting& AAktFont, const TBackFontDlgTexts& ATexts,
                 IScreenReader* ATolk, Frage AFrage = nullptr);
    ~TBackFontDlg() override;

    // The palette colour of the chosen background; black when none is chosen.
    uint32_t NewBackColor() const;
    // The current font with the chosen name, size and colour, bold or no style at all; the character set is
    // kept.
    void GetNewFont(TFontSetting& AFont) const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void CaptionZuweisen();
    void SetTabOrders();
    void SchriftenEinlesen();
    void Anfangswerte();
    void FormShow();
    void SchriftartZuweisen();
    void SchalterEinrichten();
    void FensterEinrichten();
    void UpdateEditTest();
    void EditTestHoeheAnpassen();
    void LeSizeChange();
    void TimerTolkTimer();
    void Enters(QObject* watched);

    uint32_t FAktBackColor;
    TFontSetting FAktFont;
    IScreenReader* FTolk;
    TBackFontDlgTexts FTexts;
    TColors FColors;
    Frage FFrage;
    QStringList FFontFamilies; // row i of LvFonts shows family i
    int FMaxLvFontsWidth = 0;
    int FPreviewBottom = 0; // the preview grows with its font down to here
    int FTolkVersuche = 0;
    bool m_shown = false;

    QTreeWidget* LvFonts = nullptr;
    QLabel* LblSize = nullptr;
    // The up/down control and its edit are one spin box: the edit is its line edit, one tab stop for both.
    QSpinBox* UpDown1 = nullptr;
    QLineEdit* LeSize = nullptr;
    QCheckBox* CbBold = nullptr;
    QComboBox* CoBoColors = nullptr;
    QComboBox* CoBoBackColors = nullptr;
    QLineEdit* EditTest = nullptr;
    QPushButton* Btn1OK = nullptr;
    QPushButton* Btn2Cancel = nullptr;
    QMenu* PuMenu1 = nullptr;
    QAction* PuEinfuegen = nullptr;
    QMenu* PuMenuVorschau = nullptr;
    QAction* PuVorschauAllesMarkieren = nullptr;
    QAction* PuVorschauKopieren = nullptr;
    QTimer* TimerTolk = nullptr;
};
