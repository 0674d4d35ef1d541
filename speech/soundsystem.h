// The desktop's own event sounds, asked for by their Windows names ("SystemNotification").
#pragma once

#include <QString>
#include <QStringList>

// How this desktop plays one of its event sounds: a program that plays it, or else a wave file of
// its sound theme. All empty when the desktop has none for that name.
struct TSystemSound
{
    QString program;
    QStringList arguments;
    QString waveFile;
};

TSystemSound FindSystemSound(const QString& alias);
