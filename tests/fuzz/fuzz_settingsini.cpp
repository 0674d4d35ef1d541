// Any bytes as the settings file that QSettings reads on Linux, loaded through the store the program
// uses. A file Qt cannot parse must leave every value as it was; one it can parse loads values in range.
#include "fuzzing.h"

#include "shell/settings.h"
#include "shell/settingsstore.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // QSettings trusts what it parsed of a path while size and time look unchanged: a new name each time.
    static quint64 run = 0;
    const QString path = fuzzing::scratchFolder() + QStringLiteral("/Tobrik-%1.conf").arg(++run);
    fuzzing::writeFile(path, fuzzing::bytesOf(data, size));
    {
        const QSettingsStore store(path);
        TSettingsLoadContext context;
        context.WinUserName = QStringLiteral("amaier");
        context.minWidth = 1000;
        context.minHeight = 700;
        context.workAreaWidth = 1920;
        context.workAreaHeight = 1040;
        TSettingsState state;
        const TSettingsState before = state;
        const bool loaded = RegistryLaden(store, state, context);
        FUZZ_CHECK(loaded == store.readable());
        if (!loaded) {
            FUZZ_CHECK(state.Einstellungen == before.Einstellungen && state.Fenster == before.Fenster &&
                       state.GlobalFont == before.GlobalFont);
        }
        const TEinstellungen& e = state.Einstellungen;
        FUZZ_CHECK(e.VoiceRate >= VoiceRateMin && e.VoiceRate <= VoiceRateMax);
        FUZZ_CHECK(e.VoiceVolume >= VoiceVolumeMin && e.VoiceVolume <= VoiceVolumeMax);
        FUZZ_CHECK(state.Fenster.width > 100 && state.Fenster.width <= 1920);
        FUZZ_CHECK(state.Fenster.height > 100 && state.Fenster.height <= 1040);
    }
    QFile::remove(path);
    return 0;
}
