#include "speech/soundwave.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace {

constexpr int kToneRate = 11025;
constexpr double kPi = 3.14159265358979323846;
// Event sounds last about a second; anything far bigger is not one of ours and is not held in memory.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

void appendLe32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendLe16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

QByteArray readWholeFile(const QString& fileName)
{
    QFile file(fileName);
    if (file.size() > kMaxFileSize || !file.open(QIODevice::ReadOnly))
        return {};
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    return data;
}

QByteArray synthesiseTone(int frequency, int duration, quint8 amplitude)
{
    if (frequency > 0.6 * kToneRate)
        return {};
    const quint32 n = duration > 0 ? quint32(qint64(duration) * kToneRate / 1000) : 0;
    QByteArray image;
    image.reserve(46 + int(n));
    image.append("RIFF", 4);
    appendLe32(image, n + 38);
    image.append("WAVEfmt ", 8);
    appendLe32(image, 18);
    appendLe16(image, 1);         // PCM
    appendLe16(image, 1);         // mono
    appendLe32(image, kToneRate); // samples per second
    appendLe32(image, kToneRate); // bytes per second
    appendLe16(image, 1);         // block align
    appendLe16(image, 8);         // bits per sample
    appendLe16(image, 0);         // extra format bytes
    image.append("data", 4);
    appendLe32(image, n);
    for (quint32 i = 0; i < n; ++i) {
        const double s = std::sin(i * 2 * kPi * frequency / kToneRate) * amplitude;
        image.append(char((int(std::trunc(s)) + 127) & 0xFF));
    }
    return image;
}

} // namespace

QByteArray LoadSound(int frequency, int duration, quint8 amplitude, const QString& fileName)
{
    if (!fileName.isEmpty() && QFileInfo(fileName).isFile()) {
        QByteArray data = readWholeFile(fileName);
        if (!data.isEmpty())
            return data;
    }
    return synthesiseTone(frequency, duration, amplitude);
}

qint64 TWaveFormat::durationMs() const
{
    const qint64 bytesPerSecond = qint64(sampleRate) * channels * (bitsPerSample / 8);
    return bytesPerSecond > 0 ? qint64(dataSize) * 1000 / bytesPerSecond : 0;
}

std::optional<TWaveFormat> ParseWave(const QByteArray& image)
{
    const qsizetype size = image.size();
    const char* data = image.constData();
    if (size < 12 || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "WAVE", 4) != 0)
        return std::nullopt;

    TWaveFormat format;
    bool haveFormat = false;
    qsizetype pos = 12;
    while (pos + 8 <= size) {
        const char* chunk = data + pos;
        const qsizetype length = qFromLittleEndian<quint32>(chunk + 4);
        const qsizetype body = pos + 8;
        if (length > size - body)
            return std::nullopt; // truncated, or a size that lies
        if (memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16)
                return std::nullopt;
            const char* f = data + body;
            const int tag = qFromLittleEndian<quint16>(f);
            format.channels = qFromLittleEndian<quint16>(f + 2);
            format.sampleRate = int(qFromLittleEndian<quint32>(f + 4));
            const int blockAlign = qFromLittleEndian<quint16>(f + 12);
            format.bitsPerSample = qFromLittleEndian<quint16>(f + 14);
            const bool bitsOk = format.bitsPerSample == 8 || format.bitsPerSample == 16 || format.bitsPerSample == 32;
            if (tag != 1 || format.channels < 1 || format.channels > 2 || !bitsOk || format.sampleRate < 1000 ||
                format.sampleRate > 384000 || blockAlign != format.channels * format.bitsPerSample / 8)
                return std::nullopt;
            haveFormat = true;
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return std::nullopt; // the players read the format before the samples
            const int frame = format.channels * format.bitsPerSample / 8;
            format.dataOffset = body;
            format.dataSize = length - length % frame;
            return format;
        }
        pos = body + length + (length & 1); // chunks are padded to even sizes
    }
    return std::nullopt;
}
