// The options dialog: the whole settings record in one modal window, every control announcing itself to
// the screen reader, and a short sample of each voice while the user walks the voice list.
#pragma once

#include "shell/settings.h"

#include <QDialog>
#include <QStringList>
#include <memory>

class IScreenReader;
class TSpeech;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

class TOptionenDlg : public QDialog
{
    Q_OBJECT

public:
    // owner: the dialog is centred over its window and takes 97 % of its height. tolk: the program's
    // screen-reader dispatcher for focus cues; it must outlive the dialog. speech: the dialog's own facade,
    // for voice samples only (null: one with the screen reader only). font and backColor: the display font
    // and background. winUserName: the name "Standa&rd" returns to.
    TOptionenDlg(QWidget* owner, IScreenReader& tolk, std::unique_ptr<TSpeech> speech, const TFontSetting& font,
                 uint32_t backColor, const QString& winUserName);
    ~TOptionenDlg() override;

    // Refills the voice list, then shows the record. A voice that is not in the list leaves it without
    // selection; rate and volume are carried through unchanged.
    void SetEinstellungen(TEinstellungen AEinstellungen);
    // The record as the controls show it: the name cleaned at both ends, the selected voice or none.
    TEinstellungen GetEinstellungen() const;

    // The name field is editable unless set otherwise; while it is read-only "Standa&rd" keeps OldName.
    void SetNameReadOnly(bool readOnlyS);
    void SetOldName(const QString& name) { OldName = name; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void CaptionZuweisen();
    void SetTabOrders();
    void FormShow();
    void SchriftartZuweisen();
    void SchalterEinrichten();
    void FensterEinrichten();
    void StimmenEinlesen();
    void FreigabenPruefen();
    void ErsteSoundZeileWaehlen();
    void Btn1ResetClick();
    void Lv1StimmenClick();
    void Timer1SpeakTimer();
    void FocusCue(QObject* watched, bool enteredS);

    IScreenReader& m_tolk;
    std::unique_ptr<TSpeech> Speech;
    TFontSetting m_font;
    uint32_t m_backColor;
    QString m_winUserName;
    QString OldName;
    int VoiceRate = 1;
    int VoiceVolume = 80;
    QStringList StimmenSl;
    bool InStimmenS = false;
    bool m_shown = false;

    QLabel* Lbl1Name = nullptr;
    QLineEdit* Le1Name = nullptr;
    QCheckBox* Cb1Autostart = nullptr;
    QCheckBox* Cb1FensterWiederherstellen = nullptr;
    QCheckBox* Cb1FensterNachSendenMinimieren = nullptr;
    QCheckBox* Cb1MinimiertStarten = nullptr;
    QCheckBox* Cb1BeendenSichern = nullptr;
    QCheckBox* Cb1SoundsWiedergeben = nullptr;
    QTreeWidget* Lv1Sounds = nullptr;
    QCheckBox* Cb1AutoAbwesend = nullptr;
    // The up/down control and its edit are one spin box: the edit is its line edit, one tab stop for both.
    QSpinBox* Ud1AbwesendMin = nullptr;
    QLineEdit* Ed1AbwesendMin = nullptr;
    QCheckBox* Cb1StatusLesen = nullptr;
    QCheckBox* Cb1NachrichtLesen = nullptr;
    QTreeWidget* Lv1Stimmen = nullptr;
    QPushButton* Btn1Reset = nullptr;
    QPushButton* Btn1OK = nullptr;
    QPushButton* Btn1Abbrechen = nullptr;
    QTimer* Timer1Speak = nullptr;
};
