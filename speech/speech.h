// The one object through which the program speaks: the running screen reader or a voice of one of two
// synthesis engines, chosen by the voice's description.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>

class IScreenReader;
class IVoiceEngine;

// A selected speech output.
struct TNrIndex
{
    int32_t Nr = -1;    // -1 no output, 0 the screen reader, 1 and 2 the voice engines; anything else counts as -1
    int32_t Index = -1; // the voice in that engine's sorted list; -1 for the screen reader, no output, no voice

    bool operator==(const TNrIndex& o) const { return Nr == o.Nr && Index == o.Index; }
    bool operator!=(const TNrIndex& o) const { return !(*this == o); }
};

TNrIndex MakeNrIndex(int32_t ANr, int32_t AIndex);

// QString at this surface because every caller (announcements, the options dialog's voice list, the stored
// voice in the settings) holds QStrings; the engines and the screen reader below take UTF-8.
// Raises nothing: failures show as silence, an index of -1, or a rate or volume of 0.
class TSpeech
{
public:
    // Entry 0 of Tokens, and the description of selection 0.
    static const QString ScreenReaderEntry;

    // The screen reader is shared (the program's one dispatcher) and must outlive the facade; the engines
    // become the facade's own, a missing one counts as an engine without voices. Nothing is selected yet.
    TSpeech(IScreenReader& screenReader, std::unique_ptr<IVoiceEngine> engine1, std::unique_ptr<IVoiceEngine> engine2);
    ~TSpeech();
    TSpeech(const TSpeech&) = delete;
    TSpeech& operator=(const TSpeech&) = delete;

    // StopS: cut off what the selected output is saying first; otherwise an engine queues the text.
    void Speak(const QString& Text, bool StopS);
    void Stop();

    // The selection a stored description stands for, not applied: the screen reader for "" and for a voice that
    // no engine knows (any more); engine 1 wins when both list it.
    TNrIndex FindDescriptionInTokensNrIndex(const QString& ADescription) const;

    TNrIndex TokenNrIndex() const { return FNrIndex; }
    // The stored Index is read back from the engine: the voice it really uses now.
    void SetTokenNrIndex(const TNrIndex& V);

    // Read: the selected engine's value, 0 for the screen reader and for no output. Write: stored and handed
    // to both engines whatever is selected; no clamping here.
    int Rate() const;
    void SetRate(int X);
    int Volume() const;
    void SetVolume(int X);

    QString TokenDescription() const;
    // ScreenReaderEntry, then engine 1's voices, then engine 2's; rebuilt on every call.
    const QStringList& Tokens();

private:
    IVoiceEngine* Engine(int32_t nr) const;

    TNrIndex FNrIndex;
    int FRate = 0;
    int FVolume = 80;
    QStringList FTokens;
    IScreenReader& FTolk;
    std::array<std::unique_ptr<IVoiceEngine>, 2> FEngines; // engines 1 and 2
};
