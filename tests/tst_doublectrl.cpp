#include "doubles/keyhook.h"
#include "shell/doublectrl.h"

#include <QCoreApplication>
#include <QTest>

namespace {

// A line of key events, "C0 c80 X120 C200": C and c are a Ctrl press and release, X and x any other key's,
// each with its time in ms after `start`.
void type(FakeKeyHook& hook, const QString& keys, uint32_t start)
{
    for (const QString& word : keys.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QChar kind = word.at(0);
        const uint32_t time = start + word.mid(1).toUInt();
        hook.key(time, kind.isUpper(), kind.toUpper() == QLatin1Char('C'));
    }
}

// The window's side: HookS and the stops that reached its event loop.
struct Window
{
    bool hookS = true;
    int stops = 0;
    FakeKeyHook hook;
    TDoubleCtrl doubleCtrl{&hook, [this] { return hookS; }, [this] { ++stops; }};

    void settle() { QCoreApplication::processEvents(); }
};

} // namespace

class TestDoubleCtrl : public QObject
{
    Q_OBJECT
private slots:
    void pairsOfPresses_data();
    void pairsOfPresses();
    void stopIsPostedNotCalledFromTheHook();
    void hookFollowsHookSOnReset_data();
    void hookFollowsHookSOnReset();
    void resetForgetsTheFirstPress();
    void keysOutsideTheTrayCountForNothing();
    void hookThatCannotStartStaysOff();
    void hookIsOffAndQuietOnceTheWindowGoes();
};

void TestDoubleCtrl::pairsOfPresses_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<uint32_t>("start");
    QTest::addColumn<int>("stops");

    const uint32_t start = 100000;
    QTest::newRow("40 ms apart is too quick") << "C0 C40" << start << 0;
    QTest::newRow("50 ms apart is still too quick") << "C0 C50" << start << 0;
    QTest::newRow("51 ms apart stops") << "C0 C51" << start << 1;
    QTest::newRow("200 ms apart stops") << "C0 C200" << start << 1;
    QTest::newRow("499 ms apart stops") << "C0 C499" << start << 1;
    QTest::newRow("500 ms apart is too slow") << "C0 C500" << start << 0;
    QTest::newRow("600 ms apart is too slow") << "C0 C600" << start << 0;
    QTest::newRow("A press too quick becomes the new first press") << "C0 C30 C230" << start << 1;
    QTest::newRow("A press too slow becomes the new first press") << "C0 C600 C800" << start << 1;
    QTest::newRow("Releases in between change nothing") << "C0 c80 C200" << start << 1;
    QTest::newRow("A release is no second press") << "C0 c200" << start << 0;
    QTest::newRow("Another key in between forgets the first press") << "C0 X100 C200" << start << 0;
    QTest::newRow("Another key's release in between changes nothing") << "C0 x100 C200" << start << 1;
    QTest::newRow("Another key, then a fresh pair") << "C0 X100 C200 C400" << start << 1;
    QTest::newRow("After a stop the next press starts a new pair") << "C0 C200 C400" << start << 1;
    QTest::newRow("Two pairs, two stops") << "C0 C200 C400 C600" << start << 2;
    QTest::newRow("Ctrl held: a repeat within the window stops") << "C0 C300 C330 c360" << start << 1;
    QTest::newRow("Clock wraps between the presses") << "C0 C200" << uint32_t(0xFFFFFF9Cu) << 1;
    QTest::newRow("A first press at time 0 counts") << "C0 C200" << uint32_t(0) << 1;
}

void TestDoubleCtrl::pairsOfPresses()
{
    QFETCH(QString, keys);
    QFETCH(uint32_t, start);
    QFETCH(int, stops);
    Window window;
    window.doubleCtrl.ResetKeyHook();
    QVERIFY(window.hook.isActive());

    type(window.hook, keys, start);
    window.settle();
    QCOMPARE(window.stops, stops);
}

void TestDoubleCtrl::stopIsPostedNotCalledFromTheHook()
{
    Window window;
    window.doubleCtrl.ResetKeyHook();
    type(window.hook, "C0 C200", 1000);
    QCOMPARE(window.stops, 0);
    window.settle();
    QCOMPARE(window.stops, 1);
}

void TestDoubleCtrl::hookFollowsHookSOnReset_data()
{
    QTest::addColumn<bool>("hookS");
    QTest::addColumn<bool>("activeBefore");
    QTest::newRow("In the tray: switched on") << true << false;
    QTest::newRow("In the tray, already on: on again") << true << true;
    QTest::newRow("Window shown: switched off") << false << true;
    QTest::newRow("Window shown, already off: stays off") << false << false;
}

void TestDoubleCtrl::hookFollowsHookSOnReset()
{
    QFETCH(bool, hookS);
    QFETCH(bool, activeBefore);
    Window window;
    window.hook.setActive(activeBefore);
    window.hookS = hookS;

    window.doubleCtrl.ResetKeyHook();
    QCOMPARE(window.hook.isActive(), hookS);
    type(window.hook, "C0 C200", 0);
    window.settle();
    QCOMPARE(window.stops, hookS ? 1 : 0);
}

void TestDoubleCtrl::resetForgetsTheFirstPress()
{
    // The tray is left and entered again, or the session is unlocked, between the two presses.
    Window window;
    window.doubleCtrl.ResetKeyHook();
    type(window.hook, "C0", 5000);
    window.doubleCtrl.ResetKeyHook();
    type(window.hook, "C200", 5000);
    window.settle();
    QCOMPARE(window.stops, 0);
}

void TestDoubleCtrl::keysOutsideTheTrayCountForNothing()
{
    // HookS cleared while the hook still runs: neither a pair nor a first press counts then.
    Window window;
    window.doubleCtrl.ResetKeyHook();
    window.hookS = false;
    type(window.hook, "C0 C200", 7000);
    window.hookS = true;
    type(window.hook, "C400", 7000);
    window.settle();
    QCOMPARE(window.stops, 0);
    type(window.hook, "C600", 7000);
    window.settle();
    QCOMPARE(window.stops, 1);
}

void TestDoubleCtrl::hookThatCannotStartStaysOff()
{
    Window window;
    window.hook.refuseActivation = true;
    window.doubleCtrl.ResetKeyHook();
    QVERIFY(!window.hook.isActive());

    // Tried again at the next reset, for instance after an unlock.
    window.hook.refuseActivation = false;
    window.doubleCtrl.ResetKeyHook();
    QVERIFY(window.hook.isActive());

    // Without any hook at all the rules still run on whatever the window passes in.
    int stops = 0;
    TDoubleCtrl noHook(
        nullptr, [] { return true; }, [&stops] { ++stops; });
    noHook.ResetKeyHook();
    noHook.KeyHookOff();
    noHook.KeyHookPreExecute({0, true, true});
    noHook.KeyHookPreExecute({200, true, true});
    QCoreApplication::processEvents();
    QCOMPARE(stops, 1);
}

void TestDoubleCtrl::hookIsOffAndQuietOnceTheWindowGoes()
{
    FakeKeyHook hook;
    int stops = 0;
    {
        TDoubleCtrl doubleCtrl(
            &hook, [] { return true; }, [&stops] { ++stops; });
        doubleCtrl.ResetKeyHook();
        QVERIFY(hook.isActive());
        doubleCtrl.KeyHookOff();
        QVERIFY(!hook.isActive());
        type(hook, "C0 C200", 0);
        QCoreApplication::processEvents();
        QCOMPARE(stops, 0);

        // A stop already on its way when the window goes is dropped with it.
        doubleCtrl.ResetKeyHook();
        type(hook, "C1000 C1200", 0);
    }
    QVERIFY(!hook.isActive());
    QCoreApplication::processEvents();
    QCOMPARE(stops, 0);
}

QTEST_GUILESS_MAIN(TestDoubleCtrl)
#include "tst_doublectrl.moc"
