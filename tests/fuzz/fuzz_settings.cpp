// The settings loader over a store filled from the input: one value a line, "Name:d=123" a DWORD,
// "Name:s=text" or "Name=text" a string. Loaded values stay in their ranges, and what is saved of
// them loads again the same.
#include "fuzzing.h"

#include "doubles/settingsstore.h"

#include "shell/settings.h"

namespace {

MemorySettingsStore storeOf(const QByteArray& input)
{
    MemorySettingsStore store;
    for (const QByteArray& line : input.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        QByteArray name = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        if (name.endsWith(":d")) {
            name.chop(2);
            store.writeDword(name.toStdString(), uint32_t(value.toLongLong()));
        } else {
            if (name.endsWith(":s"))
                name.chop(2);
            store.writeString(name.toStdString(), value.toStdString());
        }
    }
    return store;
}

TSettingsLoadContext context(bool silentS, int32_t* rate, int32_t* volume)
{
    TSettingsLoadContext c;
    c.SilentS = silentS;
    c.WinUserName = QStringLiteral("amaier");
    c.minWidth = 1000;
    c.minHeight = 700;
    c.workAreaWidth = 1920;
    c.workAreaHeight = 1040;
    c.onVoiceRate = [rate](int32_t v) { *rate = v; };
    c.onVoiceVolume = [volume](int32_t v) { *volume = v; };
    return c;
}

bool sameState(const TSettingsState& a, const TSettingsState& b)
{
    return a.Einstellungen == b.Einstellungen && a.Fenster == b.Fenster && a.GlobalFont == b.GlobalFont &&
           a.GlobalBackColor == b.GlobalBackColor;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemorySettingsStore store = storeOf(fuzzing::bytesOf(data, size));
    for (bool silentS : {false, true}) {
        int32_t rate = 99;
        int32_t volume = 999;
        TSettingsState state;
        FUZZ_CHECK(RegistryLaden(store, state, context(silentS, &rate, &volume)));
        const TEinstellungen& e = state.Einstellungen;
        FUZZ_CHECK(e.VoiceRate >= VoiceRateMin && e.VoiceRate <= VoiceRateMax && rate == e.VoiceRate);
        FUZZ_CHECK(e.VoiceVolume >= VoiceVolumeMin && e.VoiceVolume <= VoiceVolumeMax && volume == e.VoiceVolume);
        FUZZ_CHECK(state.Fenster.state == 0 || state.Fenster.state == 2);
        FUZZ_CHECK(state.Fenster.width > 100 && state.Fenster.width <= 1920);
        FUZZ_CHECK(state.Fenster.height > 100 && state.Fenster.height <= 1040);
        FUZZ_CHECK(!state.GlobalFont.name.isEmpty());
        FUZZ_CHECK(!silentS || (!e.SoundsWiedergebenS && !e.FensterWiederherstellenS));
        if (silentS)
            continue;

        MemorySettingsStore saved;
        FUZZ_CHECK(RegistrySpeichern(saved, state));
        TSettingsState again;
        FUZZ_CHECK(RegistryLaden(saved, again, context(false, &rate, &volume)));
        FUZZ_CHECK(sameState(again, state));
    }

    // A store that cannot be opened changes nothing.
    store.setAvailable(false);
    TSettingsState untouched;
    untouched.Fenster.width = 1234;
    int32_t rate = 0;
    int32_t volume = 0;
    FUZZ_CHECK(!RegistryLaden(store, untouched, context(false, &rate, &volume)));
    FUZZ_CHECK(untouched.Fenster.width == 1234 && sameState(untouched, [] {
                   TSettingsState s;
                   s.Fenster.width = 1234;
                   return s;
               }()));
    return 0;
}
