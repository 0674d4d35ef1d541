// Working from the tray: the system-wide keys and the double Ctrl are armed exactly while the window waits
// minimised, follow suspend, resume and unlock, and without a tray the window is minimised, never lost.
#include "windowfixture.h"

#include "testenv.h"

#include <QAction>
#include <QPushButton>

namespace {

void chooseVoice(Fixture& f)
{
    f.store.writeString("Stimme", "Anna - Deutsch");
}

void minimise(Fixture& f)
{
    f.window->findChild<QPushButton*>("Btn1Minimieren")->click();
}

int count(const std::vector<std::string>& calls, const std::string& call)
{
    return int(std::count(calls.begin(), calls.end(), call));
}

} // namespace

class TestTrayKeys : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void keysAreArmedOnlyInTheTray();
    void keysFollowSuspendResumeAndUnlock();
    void doubleCtrlStopsSpeechOnlyInTheTray_data();
    void doubleCtrlStopsSpeechOnlyInTheTray();
    void withoutTrayTheWindowIsMinimisedNotHidden_data();
    void withoutTrayTheWindowIsMinimisedNotHidden();
    void takenCombinationIsToldOnce();
};

void TestTrayKeys::keysAreArmedOnlyInTheTray()
{
    Fixture f;
    chooseVoice(f);
    f.start();
    QVERIFY(!f.globalKeys.isRegistered());
    QVERIFY(!f.keyHook.isActive());
    minimise(f);
    QVERIFY(f.window->inTray());
    QVERIFY(f.globalKeys.isRegistered());
    QVERIFY(f.keyHook.isActive());
    // Ctrl+Alt+PageUp from another program says the unread count.
    f.globalKeys.press(IGlobalKeys::UngelesenPageUp);
    QCOMPARE(f.engine->calls.back(), std::string("speak:Ungelesen: 0:purge"));
    // Ctrl+Alt+PageDown brings the window back, and the keys are the window's own again.
    f.globalKeys.press(IGlobalKeys::MinimierenPageDown);
    QVERIFY(!f.window->inTray());
    QVERIFY(f.window->isVisible());
    QVERIFY(!f.globalKeys.isRegistered());
    QVERIFY(!f.keyHook.isActive());
}

void TestTrayKeys::keysFollowSuspendResumeAndUnlock()
{
    Fixture f;
    f.start();
    // Unlocking with the window shown arms nothing.
    f.power.triggerUnlocked();
    QVERIFY(!f.globalKeys.isRegistered());
    minimise(f);
    const int registrations = f.globalKeys.registrations;
    f.power.triggerSuspending();
    QVERIFY(!f.globalKeys.isRegistered());
    QVERIFY(!f.keyHook.isActive());
    f.power.triggerResumed();
    QVERIFY(f.globalKeys.isRegistered());
    QVERIFY(f.keyHook.isActive());
    // Another session may have taken the keys while this one was locked.
    f.power.triggerUnlocked();
    QCOMPARE(f.globalKeys.registrations, registrations + 2);
    QVERIFY(f.globalKeys.isRegistered());
    f.window->PuCtiBeendenClick();
    f.window.reset();
    QVERIFY(!f.globalKeys.isRegistered());
    QVERIFY(!f.keyHook.isActive());
}

void TestTrayKeys::doubleCtrlStopsSpeechOnlyInTheTray_data()
{
    QTest::addColumn<bool>("inTray");
    QTest::addColumn<uint>("gap");
    QTest::addColumn<int>("stops");
    QTest::newRow("In the tray, 200 ms apart") << true << 200u << 1;
    QTest::newRow("In the tray, 600 ms apart") << true << 600u << 0;
    QTest::newRow("Window shown: Esc is the stop key") << false << 200u << 0;
}

void TestTrayKeys::doubleCtrlStopsSpeechOnlyInTheTray()
{
    QFETCH(bool, inTray);
    QFETCH(uint, gap);
    QFETCH(int, stops);
    Fixture f;
    chooseVoice(f);
    f.start();
    if (inTray)
        minimise(f);
    f.engine->calls.clear();
    f.keyHook.key(10000, true, true);
    f.keyHook.key(10000 + gap / 2, false, true);
    f.keyHook.key(10000 + gap, true, true);
    // The stop is posted from the hook to the window.
    QTest::qWait(50);
    QCOMPARE(count(f.engine->calls, "stop"), stops);
}

void TestTrayKeys::withoutTrayTheWindowIsMinimisedNotHidden_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("Minimise button") << QStringList();
    QTest::newRow("Started with /systemstartup") << QStringList{"/systemstartup"};
}

void TestTrayKeys::withoutTrayTheWindowIsMinimisedNotHidden()
{
    QFETCH(QStringList, arguments);
    Fixture f(arguments);
    f.tray = false;
    f.start();
    if (arguments.isEmpty())
        minimise(f);
    QVERIFY(f.window->inTray());
    QVERIFY(f.window->isVisible());
    QVERIFY(f.window->isMinimized());
    QVERIFY(f.globalKeys.isRegistered());
    f.globalKeys.press(IGlobalKeys::MinimierenF1);
    QVERIFY(!f.window->isMinimized());
    QVERIFY(!f.window->inTray());
    QVERIFY(!f.globalKeys.isRegistered());
    // A tray that appears later is used from then on.
    f.tray = true;
    minimise(f);
    QVERIFY(!f.window->isVisible());
}

void TestTrayKeys::takenCombinationIsToldOnce()
{
    Fixture f;
    f.globalKeys.taken = {IGlobalKeys::UngelesenPageUp};
    f.start();
    minimise(f);
    f.globalKeys.press(IGlobalKeys::MinimierenPageDown);
    minimise(f);
    const std::string text = "output:" + GlobalKeyTexts::taken(IGlobalKeys::UngelesenPageUp);
    QCOMPARE(count(f.tolk.calls, text), 1);
    // The others still work.
    f.globalKeys.press(IGlobalKeys::MinimierenPageDown);
    QVERIFY(!f.window->inTray());
}

QTEST_MAIN(TestTrayKeys)
#include "tst_traykeys.moc"
