// The user's state: the three state menus, automatic away from the last input, the caption and tray
// hint, and the tray menu's switches.
#include "windowfixture.h"

#include "shell/settings.h"

#include <QAction>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

class TestStatus : public QObject
{
    Q_OBJECT
private slots:
    void stateMenusAgree();
    void automaticAwayFollowsIdleTime_data();
    void automaticAwayFollowsIdleTime();
    void automaticAwayEndsWithInput();
    void busyIsNeverTurnedAway();
    void stateChosenDuringStartIsNotBroadcastAtOnce();
    void trayAutostartWritesTheEntry();
    void traySoundsSwitchIsSaved();
    void oldRunKeyEntryBecomesTheShortcut();
    void silentStartSwitchesAutostartOn();
};

namespace {

QAction* action(Fixture& f, const char* name)
{
    return f.window->findChild<QAction*>(QString::fromLatin1(name));
}

// The state field (5) of the newest presence datagram the window sent.
QString lastState(Fixture& f)
{
    return GetFeld(QString::fromUtf8(f.presence->last().at(0).toByteArray()), 5);
}

void enableAutoAway(Fixture& f, int minutes)
{
    f.window->settings().Einstellungen.AutoAbwesendS = true;
    f.window->settings().Einstellungen.AbwesendMin = minutes;
}

} // namespace

void TestStatus::stateMenusAgree()
{
    Fixture f;
    f.start();
    action(f, "PuCtiStatus3Beschaeftigt")->trigger();
    for (const char* name : {"MenuStatus3Busy", "PuCtiStatus3Beschaeftigt", "PuBtnStatus3Busy"})
        QVERIFY2(action(f, name)->isChecked(), name);
    auto* button = f.window->findChild<QPushButton*>("Btn1Status");
    QCOMPARE(button->text(), QStringLiteral("Beschäftigt..."));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("amaier (Beschäftigt) - Tobrik V1.13"));
    QCOMPARE(f.probe().iconHint(), QStringLiteral("Tobrik V1.13 (Beschäftigt); Ungelesen: 0"));
    QCOMPARE(f.sound.played.back(), TSound::sBusy);

    // Choosing the state that is already checked changes nothing and plays nothing.
    const size_t played = f.sound.played.size();
    const int sent = f.presence->count();
    action(f, "MenuStatus3Busy")->trigger();
    QTest::qWait(100);
    QCOMPARE(f.sound.played.size(), played);
    QCOMPARE(f.presence->count(), sent);

    action(f, "PuBtnStatus2Abwesend")->trigger();
    QVERIFY(action(f, "MenuStatus2Abwesend")->isChecked());
    QCOMPARE(button->text(), QStringLiteral("Abwesend..."));
}

void TestStatus::automaticAwayFollowsIdleTime_data()
{
    QTest::addColumn<uint32_t>("idleMs");
    QTest::addColumn<bool>("away");
    QTest::newRow("exactly the limit is not yet away") << uint32_t(600000) << false;
    QTest::newRow("one millisecond more is away") << uint32_t(600001) << true;
}

void TestStatus::automaticAwayFollowsIdleTime()
{
    QFETCH(uint32_t, idleMs);
    QFETCH(bool, away);
    Fixture f;
    f.start();
    enableAutoAway(f, 10);
    // The last input, seen by the system and by the window alike, lies before a wrap of the tick count.
    f.clock.setTickCount(0xFFFFF000u);
    f.lastInput.setLastInputTick(0xFFFFF000u);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
    QCoreApplication::sendEvent(f.window.get(), &key);
    f.clock.advance(idleMs);
    QCOMPARE(f.window->IsAbwesend(), away);
    f.window->SendBroadcastListe(true);
    QTRY_COMPARE(lastState(f), away ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(f.window->windowTitle().contains(QStringLiteral("(Abwesend)")), away);
    // The menus keep "Online" checked throughout.
    QVERIFY(action(f, "MenuStatus1Online")->isChecked());
}

void TestStatus::automaticAwayEndsWithInput()
{
    Fixture f;
    f.start();
    enableAutoAway(f, 1);
    f.lastInput.setLastInputTick(f.clock.tickCount());
    f.clock.advance(60001);
    f.window->SendBroadcastListe(true);
    QTRY_COMPARE(lastState(f), QStringLiteral("1"));
    QCOMPARE(f.probe().iconHint(), QStringLiteral("Tobrik V1.13 (Abwesend); Ungelesen: 0"));

    f.clock.advance(1000);
    f.lastInput.setLastInputTick(f.clock.tickCount());
    f.window->SendBroadcastListe(true);
    QTRY_COMPARE(lastState(f), QStringLiteral("0"));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("amaier (Online) - Tobrik V1.13"));
}

void TestStatus::busyIsNeverTurnedAway()
{
    Fixture f;
    f.start();
    enableAutoAway(f, 1);
    action(f, "MenuStatus3Busy")->trigger();
    f.lastInput.setLastInputTick(f.clock.tickCount());
    f.clock.advance(5 * 3600 * 1000);
    QVERIFY(!f.window->IsAbwesend());
    f.window->SendBroadcastListe(true);
    QTRY_COMPARE(lastState(f), QStringLiteral("2"));
    QVERIFY(f.window->windowTitle().contains(QStringLiteral("(Beschäftigt)")));
}

void TestStatus::stateChosenDuringStartIsNotBroadcastAtOnce()
{
    Fixture f;
    f.start();
    QTRY_COMPARE(f.heard("1"), 1); // the first cycle's announcement
    action(f, "MenuStatus2Abwesend")->trigger();
    QTest::qWait(200);
    QCOMPARE(f.presence->count(), 1);
    QCOMPARE(f.window->windowTitle(), QStringLiteral("amaier (Abwesend) - Tobrik V1.13"));
}

void TestStatus::trayAutostartWritesTheEntry()
{
    Fixture f;
    f.start();
    const QString entry = f.dir.path() + "/autostart/tobrik.desktop";
    QVERIFY(!QFile::exists(entry));
    QAction* autostart = action(f, "PuCtiAutostart");
    autostart->trigger();
    QVERIFY(autostart->isChecked());
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
#ifdef Q_OS_WIN
    // A shell link: its header size (76) first, the arguments inside as UTF-16.
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(QByteArray("L\0\0\0", 4)));
    const QString arguments = QStringLiteral("/systemstartup");
    QVERIFY(bytes.contains(QByteArray(reinterpret_cast<const char*>(arguments.utf16()), arguments.size() * 2)));
#else
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QVERIFY(text.contains(QStringLiteral(" /systemstartup\n")));
#endif
    QVERIFY(f.window->settings().Einstellungen.AutostartS);
    file.close();

    autostart->trigger();
    QVERIFY(!autostart->isChecked());
    QVERIFY(!QFile::exists(entry));
    QVERIFY(!f.window->settings().Einstellungen.AutostartS);
}

void TestStatus::traySoundsSwitchIsSaved()
{
    Fixture f;
    f.start();
    const bool before = f.window->settings().Einstellungen.SoundsWiedergebenS;
    f.store.clearWrites();
    action(f, "PuCtiSoundsWiedergeben")->trigger();
    QCOMPARE(f.window->settings().Einstellungen.SoundsWiedergebenS, !before);
    QCOMPARE(f.store.readDword("SoundsWiedergeben"), std::optional<uint32_t>(before ? 0 : 1));
    QVERIFY(!f.store.writes().empty());
}

void TestStatus::oldRunKeyEntryBecomesTheShortcut()
{
#ifdef Q_OS_WIN
    // The Run key of the tests' Wine prefix, with a value named after this test program, as an old version
    // of the program would have left it.
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QSettings run(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
                  QSettings::NativeFormat);
    run.setValue(name, QCoreApplication::applicationFilePath());
    run.sync();
    Fixture f;
    f.start();
    QVERIFY(QFile::exists(f.dir.path() + "/autostart/tobrik.desktop"));
    QVERIFY(f.window->settings().Einstellungen.AutostartS);
    run.sync();
    QVERIFY(!run.contains(name));
#else
    QSKIP("Linux has no Run key");
#endif
}

void TestStatus::silentStartSwitchesAutostartOn()
{
    Fixture f({"/silent"});
    f.start();
    QVERIFY(QFile::exists(f.dir.path() + "/autostart/tobrik.desktop"));
    QVERIFY(f.window->settings().Einstellungen.AutostartS);
}

QTEST_MAIN(TestStatus)
#include "tst_status.moc"
