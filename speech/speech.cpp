#include "speech/speech.h"

#include "speech/screenreader.h"
#include "speech/voiceengine.h"

const QString TSpeech::ScreenReaderEntry = QStringLiteral("ScreenReader (JAWS/NVDA)");

TNrIndex MakeNrIndex(int32_t ANr, int32_t AIndex)
{
    return TNrIndex{ANr, AIndex};
}

TSpeech::TSpeech(IScreenReader& screenReader, std::unique_ptr<IVoiceEngine> engine1,
                 std::unique_ptr<IVoiceEngine> engine2)
    : FTolk(screenReader)
    , FEngines{std::move(engine1), std::move(engine2)}
{
}

TSpeech::~TSpeech() = default;

IVoiceEngine* TSpeech::Engine(int32_t nr) const
{
    if (nr == 1 || nr == 2)
        return FEngines[nr - 1].get();
    return nullptr;
}

void TSpeech::Speak(const QString& Text, bool StopS)
{
    if (FNrIndex.Nr == 0) {
        FTolk.speak(Text.toStdString(), StopS);
        return;
    }
    if (IVoiceEngine* engine = Engine(FNrIndex.Nr))
        engine->speak(Text.toStdString(), StopS);
}

void TSpeech::Stop()
{
    if (FNrIndex.Nr == 0) {
        FTolk.silence();
        return;
    }
    if (IVoiceEngine* engine = Engine(FNrIndex.Nr))
        engine->stop();
}

TNrIndex TSpeech::FindDescriptionInTokensNrIndex(const QString& ADescription) const
{
    const TNrIndex screenReader{0, -1};
    if (ADescription.isEmpty() || ADescription.compare(ScreenReaderEntry, Qt::CaseInsensitive) == 0)
        return screenReader;
    const std::string description = ADescription.toStdString();
    for (int32_t nr = 1; nr <= 2; ++nr) {
        IVoiceEngine* engine = Engine(nr);
        const int index = engine ? engine->findVoice(description) : -1;
        if (index >= 0)
            return TNrIndex{nr, index};
    }
    return screenReader;
}

void TSpeech::SetTokenNrIndex(const TNrIndex& V)
{
    FNrIndex = V;
    if (V.Nr == 0) {
        FNrIndex.Index = -1;
    } else if (IVoiceEngine* engine = Engine(V.Nr)) {
        engine->selectVoice(V.Index);
        FNrIndex.Index = engine->voiceIndex();
    } else if (V.Nr == 1 || V.Nr == 2) {
        FNrIndex.Index = -1; // that engine is missing: it has no voice to select
    } else {
        FNrIndex = TNrIndex{};
    }
    if (FNrIndex.Nr >= 1) {
        SetRate(FRate);
        SetVolume(FVolume);
    }
}

int TSpeech::Rate() const
{
    IVoiceEngine* engine = Engine(FNrIndex.Nr);
    return engine ? engine->rate() : 0;
}

void TSpeech::SetRate(int X)
{
    FRate = X;
    for (auto& engine : FEngines) {
        if (engine)
            engine->setRate(X);
    }
}

int TSpeech::Volume() const
{
    IVoiceEngine* engine = Engine(FNrIndex.Nr);
    return engine ? engine->volume() : 0;
}

void TSpeech::SetVolume(int X)
{
    FVolume = X;
    for (auto& engine : FEngines) {
        if (engine)
            engine->setVolume(X);
    }
}

QString TSpeech::TokenDescription() const
{
    if (FNrIndex.Nr == 0)
        return ScreenReaderEntry;
    IVoiceEngine* engine = Engine(FNrIndex.Nr);
    return engine ? QString::fromStdString(engine->voiceDescription()) : QString();
}

const QStringList& TSpeech::Tokens()
{
    FTokens.clear();
    FTokens.append(ScreenReaderEntry);
    for (auto& engine : FEngines) {
        if (!engine)
            continue;
        for (const std::string& voice : engine->voices())
            FTokens.append(QString::fromStdString(voice));
    }
    return FTokens;
}
