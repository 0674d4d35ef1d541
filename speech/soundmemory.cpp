#include "speech/soundmemory.h"

#include "speech/soundwave.h"

#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QTimer>

namespace {

// The sink reports "idle" as soon as it has handed the last bytes to the sound server, while the
// server still holds a buffer of them to play. The stream is closed only this long after the sound's
// own length, so its end is never cut (Qt's QSoundEffect closes at once and loses about 0.1 s), and
// an idle stream does not keep the sound device awake.
constexpr int kReleaseMs = 1000;

} // namespace

TMemorySoundPlayer::TMemorySoundPlayer(QObject* parent)
    : QObject(parent)
    , m_source(new QBuffer(this))
    , m_release(new QTimer(this))
{
    m_release->setSingleShot(true);
    connect(m_release, &QTimer::timeout, this, &TMemorySoundPlayer::Stop);
}

TMemorySoundPlayer::~TMemorySoundPlayer()
{
    Stop();
}

void TMemorySoundPlayer::Stop()
{
    m_release->stop();
    if (m_sink)
        m_sink->stop();
    m_source->close();
}

bool TMemorySoundPlayer::Play(const QByteArray& image)
{
    Stop();
    const std::optional<TWaveFormat> wave = ParseWave(image);
    if (!wave || wave->dataSize == 0)
        return false;

    QAudioFormat format;
    format.setSampleRate(wave->sampleRate);
    format.setChannelCount(wave->channels);
    format.setSampleFormat(wave->bitsPerSample == 8    ? QAudioFormat::UInt8
                           : wave->bitsPerSample == 16 ? QAudioFormat::Int16
                                                       : QAudioFormat::Int32);
    QAudioSink* sink = sinkFor(format);
    if (!sink)
        return false;

    m_source->setData(image.mid(wave->dataOffset, wave->dataSize));
    if (!m_source->open(QIODevice::ReadOnly))
        return false;
    sink->start(m_source);
    if (sink->error() != QAudio::NoError)
        return false;
    m_release->start(int(qMin<qint64>(wave->durationMs(), 60000)) + kReleaseMs);
    return true;
}

QAudioSink* TMemorySoundPlayer::sinkFor(const QAudioFormat& format)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return nullptr;
    const bool broken = m_sink && (m_sink->error() == QAudio::OpenError || m_sink->error() == QAudio::FatalError);
    if (m_sink && (format != m_format || device != m_device || broken)) {
        // Deleting a sink runs the event loop inside its destructor; leave that to the loop itself.
        m_sink->deleteLater();
        m_sink = nullptr;
    }
    if (!m_sink) {
        m_sink = new QAudioSink(device, format, this);
        m_format = format;
        m_device = device;
    }
    return m_sink;
}
