// The sound files, the synthesised tone, the wave check and what happens without a sound server.
// CTest points PULSE_SERVER at a socket that does not exist, so no real sound server is ever reached.
#include "app/paths.h"
#include "common/texts.h"
#include "speech/sound.h"
#include "speech/soundmemory.h"
#include "speech/soundsystem.h"
#include "speech/soundwave.h"
#include "testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray le32(quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    return QByteArray(b, 4);
}

QByteArray le16(quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    return QByteArray(b, 2);
}

QByteArray chunk(const QByteArray& id, const QByteArray& body, qint64 declared = -1)
{
    QByteArray out = id + le32(quint32(declared < 0 ? body.size() : declared)) + body;
    if (body.size() % 2)
        out.append('\0');
    return out;
}

QByteArray fmtChunk(int tag, int channels, int rate, int bits, int blockAlign = -1)
{
    const int align = blockAlign < 0 ? channels * bits / 8 : blockAlign;
    return chunk("fmt ", le16(quint16(tag)) + le16(quint16(channels)) + le32(quint32(rate)) +
                             le32(quint32(rate * align)) + le16(quint16(align)) + le16(quint16(bits)));
}

QByteArray riff(const QByteArray& chunks, const QByteArray& form = "WAVE")
{
    return "RIFF" + le32(quint32(4 + chunks.size())) + form + chunks;
}

QByteArray pcm16Mono(int rate, int samples)
{
    return riff(fmtChunk(1, 1, rate, 16) + chunk("data", QByteArray(samples * 2, '\x10')));
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void init();
    void cleanup() { m_dir.reset(); }

    void synthesisedTone_data();
    void synthesisedTone();
    void toneSamples_data();
    void toneSamples();
    void loadSoundFile_data();
    void loadSoundFile();
    void parseWave_data();
    void parseWave();
    void shippedSoundsArePlayable();
    void withoutSoundServerNothingSoundsAndNothingFails();
    void systemSoundFromTheDesktop();

private:
    QString write(const QString& name, const QByteArray& bytes);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSound::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestSound::write(const QString& name, const QByteArray& bytes)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

void TestSound::synthesisedTone_data()
{
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("samples"); // -1: no image at all

    QTest::newRow("0, 0, 0 (the program's call) give a header without samples") << 0 << 0 << 0;
    QTest::newRow("440 Hz for one second give 11025 samples, 11071 bytes") << 440 << 1000 << 11025;
    QTest::newRow("the sample count truncates: 1 ms is 11 samples") << 440 << 1 << 11;
    QTest::newRow("6615 Hz is the highest tone still made") << 6615 << 100 << 1102;
    QTest::newRow("above 6615 Hz the image stays empty") << 7000 << 1000 << -1;
}

void TestSound::synthesisedTone()
{
    QFETCH(int, frequency);
    QFETCH(int, duration);
    QFETCH(int, samples);

    const QByteArray image = LoadSound(frequency, duration, 100, m_dir->filePath(QStringLiteral("missing.wav")));
    if (samples < 0) {
        QVERIFY(image.isEmpty());
        QVERIFY(!ParseWave(image));
        return;
    }
    const quint32 n = quint32(samples);
    const QByteArray header = "RIFF" + le32(n + 38) + "WAVE" + "fmt " + le32(18) + le16(1) + le16(1) + le32(11025) +
                              le32(11025) + le16(1) + le16(8) + le16(0) + "data" + le32(n);
    QCOMPARE(header.size(), 46);
    QCOMPARE(image.size(), 46 + samples);
    QCOMPARE(image.left(46).toHex(' '), header.toHex(' '));

    const std::optional<TWaveFormat> wave = ParseWave(image);
    QVERIFY(wave);
    QCOMPARE(wave->channels, 1);
    QCOMPARE(wave->sampleRate, 11025);
    QCOMPARE(wave->bitsPerSample, 8);
    QCOMPARE(wave->dataOffset, qsizetype(46));
    QCOMPARE(wave->dataSize, qsizetype(samples));
}

void TestSound::toneSamples_data()
{
    // Expected bytes worked out by hand from byte(trunc(sin(i * 2 pi * f / 11025) * a) + 127).
    QTest::addColumn<int>("amplitude");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expected");

    QTest::newRow("sample 0 is the middle, 127") << 100 << 0 << 127;
    QTest::newRow("sample 1 of 440 Hz at 100 is 151") << 100 << 1 << 151;
    QTest::newRow("near the crest: 226") << 100 << 6 << 226;
    QTest::newRow("near the trough: 28") << 100 << 19 << 28;
    QTest::newRow("-1.42 truncates towards zero, to 126") << 100 << 25 << 126;
    QTest::newRow("the last of one second: 103") << 100 << 11024 << 103;
    QTest::newRow("amplitude 255 wraps modulo 256: 301 becomes 45") << 255 << 3 << 45;
}

void TestSound::toneSamples()
{
    QFETCH(int, amplitude);
    QFETCH(int, index);
    QFETCH(int, expected);

    const QByteArray image = LoadSound(440, 1000, quint8(amplitude), QString());
    QCOMPARE(image.size(), 11071);
    QCOMPARE(int(quint8(image.at(46 + index))), expected);
}

void TestSound::loadSoundFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // written under name unless null
    QTest::addColumn<bool>("tone");          // the synthesised image instead of the content

    QTest::newRow("an existing file is taken whole, whatever it holds")
        << QStringLiteral("a.wav") << QByteArray("not a wave at all") << false;
    QTest::newRow("a valid wave is taken whole") << QStringLiteral("a.wav") << pcm16Mono(22050, 100) << false;
    QTest::newRow("a missing file gives the tone") << QStringLiteral("missing.wav") << QByteArray() << true;
    QTest::newRow("an empty file gives the tone") << QStringLiteral("empty.wav") << QByteArray("") << true;
    QTest::newRow("a folder in place of the file gives the tone") << QStringLiteral("folder") << QByteArray() << true;
    QTest::newRow("no file name gives the tone") << QString() << QByteArray() << true;
}

void TestSound::loadSoundFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, tone);

    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    if (!content.isNull())
        QVERIFY(!write(name, content).isEmpty());
    const QString path = name.isEmpty() ? QString() : m_dir->filePath(name);

    const QByteArray image = LoadSound(440, 10, 100, path);
    if (tone) {
        QCOMPARE(image.size(), 46 + 110);
        QVERIFY(image.startsWith("RIFF"));
        QCOMPARE(ParseWave(image)->sampleRate, 11025);
    } else {
        QCOMPARE(image, content);
    }
}

void TestSound::parseWave_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<int>("durationMs");

    const QByteArray list = chunk("LIST", "INFOISFT\x03\0\0\0ab"); // odd length: padded
    const QByteArray samples(4410, '\x01');
    const QByteArray good = pcm16Mono(22050, 2205);

    QTest::newRow("16-bit mono at 22050 Hz") << good << true << 1 << 16 << 4410 << 100;
    QTest::newRow("8-bit mono") << riff(fmtChunk(1, 1, 11025, 8) + chunk("data", samples)) << true << 1 << 8 << 4410
                                << 400;
    QTest::newRow("16-bit stereo") << riff(fmtChunk(1, 2, 44100, 16) + chunk("data", samples)) << true << 2 << 16
                                   << 4408 << 24;
    QTest::newRow("32-bit integer") << riff(fmtChunk(1, 1, 44100, 32) + chunk("data", samples)) << true << 1 << 32
                                    << 4408 << 24;
    QTest::newRow("an unknown chunk of odd length before the samples is skipped")
        << riff(fmtChunk(1, 1, 22050, 16) + list + chunk("data", samples)) << true << 1 << 16 << 4410 << 100;
    QTest::newRow("no samples at all: a silent wave")
        << riff(fmtChunk(1, 1, 22050, 16) + chunk("data", {})) << true << 1 << 16 << 0 << 0;
    QTest::newRow("a half frame at the end is left out")
        << riff(fmtChunk(1, 1, 22050, 16) + chunk("data", "\1\2\3")) << true << 1 << 16 << 2 << 0;

    QTest::newRow("an empty file") << QByteArray() << false << 0 << 0 << 0 << 0;
    QTest::newRow("not RIFF") << QByteArray("RIFX") + good.mid(4) << false << 0 << 0 << 0 << 0;
    QTest::newRow("RIFF, but not a wave") << riff(fmtChunk(1, 1, 22050, 16), "AVI ") << false << 0 << 0 << 0 << 0;
    QTest::newRow("cut off inside the format") << good.left(30) << false << 0 << 0 << 0 << 0;
    QTest::newRow("cut off inside the samples") << good.left(good.size() - 1) << false << 0 << 0 << 0 << 0;
    QTest::newRow("a data chunk claiming more bytes than the file has")
        << riff(fmtChunk(1, 1, 22050, 16) + chunk("data", samples, 1000000)) << false << 0 << 0 << 0 << 0;
    QTest::newRow("a format chunk too short")
        << riff(chunk("fmt ", QByteArray(14, '\1')) + chunk("data", samples)) << false << 0 << 0 << 0 << 0;
    QTest::newRow("samples before the format")
        << riff(chunk("data", samples) + fmtChunk(1, 1, 22050, 16)) << false << 0 << 0 << 0 << 0;
    QTest::newRow("no data chunk") << riff(fmtChunk(1, 1, 22050, 16) + list) << false << 0 << 0 << 0 << 0;
    QTest::newRow("float samples (format 3), not PCM")
        << riff(fmtChunk(3, 1, 22050, 32) + chunk("data", samples)) << false << 0 << 0 << 0 << 0;
    QTest::newRow("compressed (ADPCM, format 2)")
        << riff(fmtChunk(2, 1, 22050, 4, 256) + chunk("data", samples)) << false << 0 << 0 << 0 << 0;
    QTest::newRow("24-bit") << riff(fmtChunk(1, 1, 22050, 24) + chunk("data", samples)) << false << 0 << 0 << 0 << 0;
    QTest::newRow("three channels") << riff(fmtChunk(1, 3, 22050, 16) + chunk("data", samples)) << false << 0 << 0 << 0
                                    << 0;
    QTest::newRow("no channels") << riff(fmtChunk(1, 0, 22050, 16, 2) + chunk("data", samples)) << false << 0 << 0 << 0
                                 << 0;
    QTest::newRow("a sample rate of 0") << riff(fmtChunk(1, 1, 0, 16) + chunk("data", samples)) << false << 0 << 0 << 0
                                        << 0;
    QTest::newRow("a block size that does not fit the format")
        << riff(fmtChunk(1, 2, 22050, 16, 2) + chunk("data", samples)) << false << 0 << 0 << 0 << 0;
}

void TestSound::parseWave()
{
    QFETCH(QByteArray, image);
    QFETCH(bool, valid);

    const std::optional<TWaveFormat> wave = ParseWave(image);
    QCOMPARE(wave.has_value(), valid);
    if (!valid)
        return;
    QTEST(wave->channels, "channels");
    QTEST(wave->bitsPerSample, "bits");
    QTEST(int(wave->dataSize), "dataSize");
    QTEST(int(wave->durationMs()), "durationMs");
    QVERIFY(wave->dataOffset + wave->dataSize <= image.size());
}

void TestSound::shippedSoundsArePlayable()
{
    // The build puts the repository's sounds next to the programs it builds, this test included.
    const QString folder = SoundsFolderPath();
    QVERIFY(!folder.isEmpty());
    QList<QByteArray> images;
    for (int i = 0; i < SoundCount; ++i) {
        const QString path = folder + Texts::soundFileName(TSound(i));
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        QVERIFY2(QFileInfo(path).size() < 100 * 1024, qPrintable(path));
        const QByteArray image = LoadSound(0, 0, 0, path);
        const std::optional<TWaveFormat> wave = ParseWave(image);
        QVERIFY2(wave, qPrintable(path));
        QCOMPARE(wave->channels, 1);
        QCOMPARE(wave->bitsPerSample, 16);
        QVERIFY(wave->sampleRate == 22050 || wave->sampleRate == 44100);
        QVERIFY2(wave->durationMs() >= 20 && wave->durationMs() < 1000, qPrintable(path));
        QVERIFY2(!images.contains(image), qPrintable(path + QStringLiteral(" is a copy of another sound")));
        images.append(image);
    }
}

void TestSound::withoutSoundServerNothingSoundsAndNothingFails()
{
    // A valid image that would sound: with no device there is nowhere to play it.
    TMemorySoundPlayer memory;
    QVERIFY(!memory.Play(LoadSound(440, 200, 100, QString())));
    QVERIFY(!memory.Play(QByteArray("RIFF junk")));

    // The shipped sounds, one refused file and missing ones: everything plays into silence and returns.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sounds")));
    QVERIFY(QFile::copy(SoundsFolderPath() + QStringLiteral("online.wav"), m_dir->filePath("sounds/online.wav")));
    QVERIFY(!write(QStringLiteral("sounds/incoming.wav"), "RIFF\4\0\0\0WAVE").isEmpty());
    for (const QString& folder : {SoundsFolderPath(), m_dir->filePath(QStringLiteral("sounds/"))}) {
        int beeps = 0;
        QElapsedTimer timer;
        timer.start();
        TSoundEffects effects(folder, [&beeps] { ++beeps; }, {440, 300, 100});
        for (int i = 0; i < SoundCount; ++i)
            effects.Play(TSound(i));
        effects.Beep();
        QVERIFY(effects.PlayBeep());
        QCOMPARE(beeps, 2);
        qInfo("%s: start and eleven sounds took %lld ms", qPrintable(folder), timer.elapsed());
        QTest::qWait(300); // background decoding and the players' timers run and find no device
    }
}

void TestSound::systemSoundFromTheDesktop()
{
#ifdef Q_OS_WIN
    QSKIP("Linux desktops only; Windows' sound scheme has a test of its own (tst_soundsystem_win)");
#endif
    const QByteArray oldPath = qgetenv("PATH");
    const QByteArray oldDirs = qgetenv("XDG_DATA_DIRS");
    auto restore = qScopeGuard([&] {
        qputenv("PATH", oldPath);
        qputenv("XDG_DATA_DIRS", oldDirs);
    });
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("dirs")));
    qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("bin"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir->filePath(QStringLiteral("dirs"))));

    // Neither a player nor a theme file: nothing to play, and nothing for names we do not know.
    TSoundEffects effects(QString(), nullptr);
    QCOMPARE(FindSystemSound(QStringLiteral("SystemNotification")).waveFile, QString());
    QVERIFY(!effects.PlaySystemSound(QStringLiteral("SystemNotification")));

    // A wave file in the fallback theme of the user's data folder.
    const QString themeFile =
        qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/sounds/freedesktop/stereo/dialog-information.wav");
    QVERIFY(QDir().mkpath(QFileInfo(themeFile).path()));
    auto removeTheme =
        qScopeGuard([&] { QDir(qEnvironmentVariable("XDG_DATA_HOME") + "/sounds").removeRecursively(); });
    QFile theme(themeFile);
    QVERIFY(theme.open(QIODevice::WriteOnly));
    theme.write(pcm16Mono(22050, 2205));
    theme.close();
    QCOMPARE(FindSystemSound(QStringLiteral("SystemNotification")).waveFile, themeFile);
    QVERIFY(effects.PlaySystemSound(QStringLiteral("SystemNotification")));
    QCOMPARE(FindSystemSound(QStringLiteral("NoSuchAlias")).waveFile, QString());
    QVERIFY(!effects.PlaySystemSound(QStringLiteral("NoSuchAlias")));

    // libcanberra's player, when installed, is asked for the event by its freedesktop name.
    const QString record = m_dir->filePath(QStringLiteral("asked.txt"));
    const QString player = write(QStringLiteral("bin/canberra-gtk-play"),
                                 "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + QFile::encodeName(record) + "'\n");
    QVERIFY(QFile::setPermissions(player, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(FindSystemSound(QStringLiteral("SystemNotification")).program, player);
    effects.PlayNotification();
    QTRY_VERIFY(QFileInfo(record).size() > 0);
    QFile asked(record);
    QVERIFY(asked.open(QIODevice::ReadOnly));
    QCOMPARE(asked.readAll(), QByteArray("--id\ndialog-information\n--description\nTobrik\n"));
}

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"
