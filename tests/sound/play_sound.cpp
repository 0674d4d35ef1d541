// Plays event sounds through TSoundEffects, as the program does, for the end-to-end sound test.
//   play_sound [--tone HZ,MS,AMPLITUDE] SOUNDS_FOLDER NAME[@MS]...
// NAME is a sound's file name without ".wav" ("incoming"); @MS starts it that many milliseconds after
// the first. --tone sets what stands in for a missing or refused file (the program's is silence).
// Exits 0 once the last sound has had time to end.
#include "common/texts.h"
#include "speech/sound.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <optional>

namespace {

std::optional<TSound> soundByName(const QString& name)
{
    for (int i = 0; i < SoundCount; ++i)
        if (Texts::soundFileName(TSound(i)) == name + QStringLiteral(".wav"))
            return TSound(i);
    return std::nullopt;
}

int usage()
{
    std::fprintf(stderr, "usage: play_sound [--tone HZ,MS,AMPLITUDE] SOUNDS_FOLDER NAME[@MS]...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    TFallbackTone tone;
    if (args.size() >= 2 && args.first() == QStringLiteral("--tone")) {
        const QStringList parts = args.at(1).split(QLatin1Char(','));
        if (parts.size() != 3)
            return usage();
        tone = {parts[0].toInt(), parts[1].toInt(), quint8(parts[2].toInt())};
        args = args.mid(2);
    }
    if (args.size() < 2)
        return usage();
    QString folder = args.takeFirst();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    TSoundEffects effects(folder, nullptr, tone);
    int remaining = int(args.size());
    for (const QString& arg : args) {
        const QStringList parts = arg.split(QLatin1Char('@'));
        const std::optional<TSound> sound = soundByName(parts.first());
        const int at = parts.size() > 1 ? parts.at(1).toInt() : 0;
        if (!sound || at < 0)
            return usage();
        // Every event sound is shorter than a second. The time counts from the last Play's return:
        // the first Play connects to the sound server, which on a busy machine can take a second.
        QTimer::singleShot(at, &effects, [&effects, &app, &remaining, sound] {
            effects.Play(*sound);
            if (--remaining == 0)
                QTimer::singleShot(1500, &app, &QCoreApplication::quit);
        });
    }
    return app.exec();
}
