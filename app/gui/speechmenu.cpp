// The main window's speech layer: every announcement goes through SpeakText, the chosen voice is applied
// by SetStimme, and the menu "Sprachsteuerung" stops, repeats, counts and changes volume and rate.
#include "app/gui/mainwindow.h"
#include "data/logliste.h"
#include "shell/gui/layout.h"
#include "shell/settings.h"
#include "speech/output.h"
#include "speech/screenreader.h"
#include "speech/speech.h"
#include "speech/voiceengine.h"

#include <QAction>
#include <QListWidget>
#include <QPlainTextEdit>

namespace {

// Without a screen-reader dispatcher the facade still needs one to talk to.
class NoScreenReader : public IScreenReader
{
public:
    bool isRunning() override { return false; }
    std::string name() override { return {}; }
    bool output(const std::string&, bool) override { return false; }
    bool speak(const std::string&, bool) override { return false; }
    bool braille(const std::string&) override { return false; }
    bool silence() override { return false; }
};

} // namespace

void TTB_Form1::CreateSpeech()
{
    if (!m_env.tolk) {
        m_noScreenReader = std::make_unique<NoScreenReader>();
        m_env.tolk = m_noScreenReader.get();
    }
    if (m_env.speechFactory)
        Speech = m_env.speechFactory();
    if (!Speech)
        Speech = std::make_unique<TSpeech>(*m_env.tolk, nullptr, nullptr);
}

bool TTB_Form1::SprachausgabeS() const
{
    return Speech && !m_settings->Einstellungen.Stimme.isEmpty() && Speech->TokenNrIndex().Nr != -1;
}

void TTB_Form1::SpeakText(const QString& AText, bool MerkenS)
{
    if (!SprachausgabeS() || AText.isEmpty())
        return;
    if (MerkenS && LetzteMeldungStr != AText) {
        LetzteMeldungStr = AText;
        MenuSpracheClick();
    }
    Speech->Speak(AText, true);
}

void TTB_Form1::SetStimme()
{
    const TEinstellungen& e = m_settings->Einstellungen;
    if (!e.Stimme.isEmpty()) {
        Speech->SetTokenNrIndex(Speech->FindDescriptionInTokensNrIndex(e.Stimme));
        Speech->SetRate(e.VoiceRate);
        Speech->SetVolume(e.VoiceVolume);
    } else {
        Speech->SetTokenNrIndex(MakeNrIndex(-1, -1));
    }
    MenuSpracheClick();
}

int TTB_Form1::VoiceRate() const
{
    return m_settings->Einstellungen.VoiceRate;
}

void TTB_Form1::SetVoiceRate(int X)
{
    m_settings->Einstellungen.VoiceRate = qBound(VoiceRateMin, X, VoiceRateMax);
    if (SprachausgabeS())
        Speech->SetRate(m_settings->Einstellungen.VoiceRate);
}

int TTB_Form1::VoiceVolume() const
{
    return m_settings->Einstellungen.VoiceVolume;
}

void TTB_Form1::SetVoiceVolume(int X)
{
    m_settings->Einstellungen.VoiceVolume = qBound(VoiceVolumeMin, X, VoiceVolumeMax);
    if (SprachausgabeS())
        Speech->SetVolume(m_settings->Einstellungen.VoiceVolume);
}

// Kept current whenever voice or memory change, not only when the menu opens: the items' keys work with
// the menu closed, and a disabled item's key does nothing.
void TTB_Form1::MenuSpracheClick()
{
    if (!MenuSpracheStoppen)
        return;
    const bool an = SprachausgabeS();
    MenuSpracheStoppen->setEnabled(an);
    MenuSpracheWiederholen->setEnabled(an && !LetzteMeldungStr.isEmpty());
    MenuSpracheUngelesen->setEnabled(an);
    MenuSpracheUngelesenJaws->setEnabled(an);
    for (QAction* a : MenuSpracheStimme)
        a->setEnabled(an);
}

void TTB_Form1::MenuSpracheStoppenClick()
{
    Speech->Stop();
}

void TTB_Form1::MenuSpracheUngelesenClick()
{
    // From the store: the inbox list may still be waiting to show the newest messages.
    SpeakText(QStringLiteral("Ungelesen: %1").arg(LogListe->Count(TLogListe::Eingang)), false);
}

void TTB_Form1::MenuSpracheWiederholenClick()
{
    SpeakText(LetzteMeldungStr, false);
}

void TTB_Form1::MenuSpracheLauterLeiserSchnellerLangsamerClick(int tag)
{
    switch (tag) {
    case 1:
        if (VoiceVolume() == VoiceVolumeMax)
            return Beep();
        SetVoiceVolume(VoiceVolume() + 5);
        break;
    case 2:
        if (VoiceVolume() == VoiceVolumeMin)
            return Beep();
        SetVoiceVolume(VoiceVolume() - 5);
        break;
    case 3:
        if (VoiceRate() == VoiceRateMax)
            return Beep();
        SetVoiceRate(VoiceRate() + 1);
        break;
    default:
        if (VoiceRate() == VoiceRateMin)
            return Beep();
        SetVoiceRate(VoiceRate() - 1);
        break;
    }
    Speech->Stop();
    const int i = qBound(1, tag, 4) - 1;
    SpeakText(StripAccelerators(MenuSpracheStimme[i]->text()), false);
}

void TTB_Form1::PuEditLogVorlesenClick()
{
    EnsureLogView();
    SpeakText(Re1Log->toPlainText(), false);
}
