// Fire-and-forget playback of a wave image held in memory. One player plays one image at a time: a new
// image cuts off the one still playing. Separate players sound side by side.
#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QByteArray>
#include <QObject>

class QAudioSink;
class QBuffer;
class QTimer;

class TMemorySoundPlayer : public QObject
{
    Q_OBJECT
public:
    explicit TMemorySoundPlayer(QObject* parent = nullptr);
    ~TMemorySoundPlayer() override;

    // Starts the image and returns at once. False when nothing will sound: the image is not a PCM
    // wave we can play, it holds no samples, or there is no sound device.
    bool Play(const QByteArray& image);
    void Stop();

private:
    QAudioSink* sinkFor(const QAudioFormat& format);

    QAudioSink* m_sink = nullptr;
    QAudioFormat m_format;
    QAudioDevice m_device;
    QBuffer* m_source = nullptr;
    QTimer* m_release = nullptr;
};
