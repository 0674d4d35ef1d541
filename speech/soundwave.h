// Wave images in memory: the synthesised tone that stands in for a missing sound file, and the check
// that a file is a PCM wave both players can play.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// The whole wave file at fileName, or when it is missing or unreadable a synthesised sine tone as a
// complete wave image: 11025 Hz, 8 bit, mono, a 46-byte header. A frequency above 6615 Hz gives the
// empty image instead of a tone. With 0, 0, 0 (what the program passes) the tone is 46 bytes of header
// with no samples: silence.
QByteArray LoadSound(int frequency, int duration, quint8 amplitude, const QString& fileName);

// A PCM wave that both players accept: integer PCM of 8, 16 or 32 bits, one or two channels.
struct TWaveFormat
{
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    qsizetype dataOffset = 0; // the samples inside the image
    qsizetype dataSize = 0;   // whole frames only

    qint64 durationMs() const;
};

// The format and samples of a wave image, or nothing when it is not a PCM wave we can play, or when a
// chunk claims more bytes than the image holds.
std::optional<TWaveFormat> ParseWave(const QByteArray& image);
