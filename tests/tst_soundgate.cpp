// The gate in front of every sound: the master switch, the sound's own switch and what a busy user hears.
#include "common/texts.h"
#include "speech/output.h"

#include <QTest>

Q_DECLARE_METATYPE(TSound)

class TestSoundGate : public QObject
{
    Q_OBJECT
private slots:
    void gate_data();
    void gate();
};

void TestSoundGate::gate_data()
{
    QTest::addColumn<TSound>("sound");
    QTest::addColumn<bool>("userBusy");
    QTest::addColumn<bool>("busyS");
    QTest::addColumn<bool>("master");
    QTest::addColumn<bool>("own");
    QTest::addColumn<bool>("plays");
    // Busy mutes what others cause; what the user does still sounds.
    const QList<TSound> mutedWhileBusy = {TSound::sIncoming, TSound::sOnline, TSound::sOffline, TSound::sAway};
    for (int i = 0; i < SoundCount; ++i) {
        const auto s = static_cast<TSound>(i);
        const QByteArray name = Texts::soundFileName(s).toLatin1();
        QTest::newRow(name + ", all on") << s << false << false << true << true << true;
        QTest::newRow(name + ", master switch off") << s << false << true << false << true << false;
        QTest::newRow(name + ", own switch off") << s << false << true << true << false << false;
        const bool whileBusy = s != TSound::sBusy && !mutedWhileBusy.contains(s);
        QTest::newRow(name + ", user busy") << s << true << false << true << true << whileBusy;
    }
    QTest::newRow("busy.wav, the user's own switch to busy") << TSound::sBusy << true << true << true << true << true;
    QTest::newRow("busy.wav, own switch to busy but switched off")
        << TSound::sBusy << true << true << true << false << false;
    QTest::newRow("incoming.wav, busy and let through") << TSound::sIncoming << true << true << true << true << false;
}

void TestSoundGate::gate()
{
    QFETCH(TSound, sound);
    QFETCH(bool, userBusy);
    QFETCH(bool, busyS);
    QFETCH(bool, master);
    QFETCH(bool, own);
    QTEST(SoundAllowed(sound, busyS, userBusy, master, own), "plays");
}

QTEST_GUILESS_MAIN(TestSoundGate)
#include "tst_soundgate.moc"
