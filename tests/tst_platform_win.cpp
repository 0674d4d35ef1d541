// The Windows side of the platform interfaces, as far as Wine can show it: kernel objects, the registry, the
// shell's shortcut object, and window messages sent to the hidden windows the way the system sends them.
#include "app/instance.h"
#include "app/paths.h"
#include "app/requests.h"
#include "doubles/clock.h"
#include "shell/autostart.h"
#include "shell/globalkeys_win.h"
#include "shell/keyhook_win.h"
#include "shell/lastinput_win.h"
#include "shell/power_win.h"
#include "shell/session.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>
#include <wtsapi32.h>

Q_DECLARE_METATYPE(KeyHookEvent)

namespace {

// Registry keys of the tests' own, below one that cleanup removes.
const QString TestRoot = QStringLiteral("HKEY_CURRENT_USER\\TobrikTests");

LRESULT send(void* window, UINT message, WPARAM wParam, LPARAM lParam = 0)
{
    return SendMessageW(HWND(window), message, wParam, lParam);
}

// The target and arguments of a shortcut, read back through the shell's own object.
bool readLink(const QString& path, QString& target, QString& arguments)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    if (ok) {
        ok = SUCCEEDED(file->Load(QDir::toNativeSeparators(path).toStdWString().c_str(), STGM_READ));
        wchar_t buffer[MAX_PATH * 2] = {};
        ok = ok && SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, nullptr, 0));
        target = QDir::fromNativeSeparators(QString::fromWCharArray(buffer));
        wchar_t args[1024] = {};
        ok = ok && SUCCEEDED(link->GetArguments(args, 1024));
        arguments = QString::fromWCharArray(args);
        file->Release();
    }
    link->Release();
    return ok;
}

} // namespace

class TestPlatformWin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void namedMutexKeepsASecondInstanceOut();
    void namesAndFolders();
    void requestsGoThroughTheRegistry();
    void watcherDeliversARegistryRequest();
    void lastInputIsOnTheCallersClock();
    void hotkeysAreHeldAndArriveFromTheEventLoop();
    void hotkeyTakenElsewhereIsReported();
    void powerMessagesReachTheHandlers_data();
    void powerMessagesReachTheHandlers();
    void sessionEndsOnlyWhenWindowsSaysSo();
    void keyHookTranslatesTheSystemsKeys_data();
    void keyHookTranslatesTheSystemsKeys();
    void keyHookCanBeSwitched();
    void startupShortcutStartsTheProgramSilently();
    void oldRunKeyEntryIsFoundAndDeleted();
};

void TestPlatformWin::initTestCase()
{
    requirePrivateHome();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

void TestPlatformWin::cleanup()
{
    QSettings(TestRoot, QSettings::NativeFormat).clear();
}

void TestPlatformWin::namedMutexKeepsASecondInstanceOut()
{
    const QString name = QStringLiteral("Tobrik test %1").arg(GetCurrentProcessId());
    QCOMPARE(TInstanceGuard::DefaultLockPath(), QStringLiteral("Tobrik V1.13"));
    auto first = std::make_unique<TInstanceGuard>(name);
    TInstanceGuard second(name);
    QVERIFY(!second.otherInstanceRunning());
    QVERIFY(first->tryAcquire());
    QVERIFY(first->isHeld());
    QVERIFY(!first->otherInstanceRunning());
    QVERIFY(!second.tryAcquire());
    QVERIFY(!second.isHeld());
    QVERIFY(second.otherInstanceRunning());
    // The first instance ends: its mutex goes with its last handle.
    first.reset();
    QVERIFY(!second.otherInstanceRunning());
    QVERIFY(second.tryAcquire());
}

void TestPlatformWin::namesAndFolders()
{
    wchar_t user[257];
    DWORD size = 257;
    QVERIFY(GetUserNameW(user, &size));
    QCOMPARE(WinUserName(), QString::fromWCharArray(user));
    QVERIFY(!WinUserName().isEmpty());
    const QString computer = ComputerName();
    QVERIFY(!computer.isEmpty());
    QCOMPARE(computer, computer.toUpper());
    QCOMPARE(computer, QSysInfo::machineHostName().section('.', 0, 0).toUpper().left(MAX_COMPUTERNAME_LENGTH));
    const QString appData = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    QVERIFY(!appData.isEmpty());
    QCOMPARE(LogFolderPath(), appData + "/tobrik/");
    // Wine spells the folder "StartUp".
    QVERIFY2(StartupLinkPath().endsWith("/Startup/tst_platform_win.lnk", Qt::CaseInsensitive),
             qPrintable(StartupLinkPath()));
    QCOMPARE(RequestFilePath(), QStringLiteral("HKEY_CURRENT_USER\\Tobrik"));
}

void TestPlatformWin::requestsGoThroughTheRegistry()
{
    const QString key = TestRoot + "\\Requests";
    TRegistrySettings request;
    QCOMPARE(ReadRequest(key, request), TReadResult::Nothing);
    QVERIFY(WriteRegistrySettings(key, {QStringLiteral("/silent"), QStringLiteral("1"), QString()}));
    QCOMPARE(QSettings(key, QSettings::NativeFormat).value("ProgramParameters").toString(), QStringLiteral("/silent"));
    QCOMPARE(ReadRequest(key, request), TReadResult::Found);
    QCOMPARE(request.Parameters, QStringLiteral("/silent"));
    QCOMPARE(request.SetFocus, QStringLiteral("1"));
    QVERIFY(request.Close.isEmpty());
    // Read means taken: the values are gone.
    QCOMPARE(ReadRequest(key, request), TReadResult::Nothing);
    QVERIFY(QSettings(key, QSettings::NativeFormat).allKeys().isEmpty());

    // Values written by another program: a number counts, an empty text is not yet a request.
    QSettings other(key, QSettings::NativeFormat);
    other.setValue("ProgramClose", 1);
    other.setValue("ProgramSetFocus", QString());
    other.setValue("Fremd", "bleibt");
    other.sync();
    QCOMPARE(ReadRequest(key, request), TReadResult::Found);
    QCOMPARE(request.Close, QStringLiteral("1"));
    QVERIFY(request.SetFocus.isEmpty());
    QSettings after(key, QSettings::NativeFormat);
    QCOMPARE(after.value("Fremd").toString(), QStringLiteral("bleibt"));
    QVERIFY(after.contains("ProgramSetFocus"));
}

void TestPlatformWin::watcherDeliversARegistryRequest()
{
    const QString key = TestRoot + "\\Watched";
    // A request left from earlier is dropped, not delivered.
    QVERIFY(WriteRegistrySettings(key, {QString(), QString(), QStringLiteral("1")}));
    TWatchRegistrySettings watcher(key);
    QSignalSpy focus(&watcher, &TWatchRegistrySettings::setFocusRequested);
    QSignalSpy close(&watcher, &TWatchRegistrySettings::closeRequested);
    QSignalSpy parameters(&watcher, &TWatchRegistrySettings::parametersRequested);
    QVERIFY(WriteRegistrySettings(key, {QString(), QStringLiteral("1"), QString()}));
    QTRY_COMPARE(focus.count(), 1);
    QVERIFY(WriteRegistrySettings(key, {QStringLiteral("  /systemstartup "), QString(), QStringLiteral("1")}));
    QTRY_COMPARE(parameters.count(), 1);
    QCOMPARE(parameters.at(0).at(0).toString(), QStringLiteral("/systemstartup"));
    QTest::qWait(300);
    QCOMPARE(close.count(), 0); // the command line went first, the rest of that request with it
    QCOMPARE(focus.count(), 1);
    watcher.stop();
}

void TestPlatformWin::lastInputIsOnTheCallersClock()
{
    ManualClock clock;
    clock.setTickCount(5000);
    WinLastInput lastInput(clock);
    const DWORD before = GetTickCount();
    const std::optional<uint32_t> tick = lastInput.lastInputTick();
    const DWORD after = GetTickCount();
    QVERIFY(tick.has_value());
    LASTINPUTINFO info = {sizeof(LASTINPUTINFO), 0};
    QVERIFY(GetLastInputInfo(&info));
    // The idle time carried over: our clock's 5000 minus the system's idle milliseconds.
    const uint32_t idle = 5000u - *tick;
    QVERIFY(idle >= uint32_t(before - info.dwTime) && idle <= uint32_t(after - info.dwTime));
    // Past a wrap of our clock the subtraction wraps too.
    clock.setTickCount(10);
    QCOMPARE(uint32_t(10u - *lastInput.lastInputTick()) >= idle, true);
}

void TestPlatformWin::hotkeysAreHeldAndArriveFromTheEventLoop()
{
    WinGlobalKeys keys;
    QVERIFY(keys.windowHandle());
    QList<int> pressed;
    QVERIFY(keys.Register([&pressed](int id) { pressed << id; }));
    QCOMPARE(keys.heldIds(), (std::vector<int>{1, 2, 3, 4}));
    QVERIFY(keys.failureText().empty());
    // The system posts WM_HOTKEY with the id; it is handled from the event loop, never at once.
    QVERIFY(PostMessageW(HWND(keys.windowHandle()), WM_HOTKEY, IGlobalKeys::UngelesenPageUp, 0));
    QVERIFY(pressed.isEmpty());
    QTRY_COMPARE(pressed, QList<int>{IGlobalKeys::UngelesenPageUp});
    // Posted before Unregister, handled after: nothing happens.
    QVERIFY(PostMessageW(HWND(keys.windowHandle()), WM_HOTKEY, IGlobalKeys::MinimierenF1, 0));
    keys.Unregister();
    QVERIFY(keys.heldIds().empty());
    QTest::qWait(100);
    QCOMPARE(pressed.size(), 1);
    // Released, the combinations can be taken again.
    QVERIFY(keys.Register([&pressed](int id) { pressed << id; }));
}

void TestPlatformWin::hotkeyTakenElsewhereIsReported()
{
    // Another window holds Ctrl+Alt+F2.
    HiddenWindow other([](unsigned, uintptr_t, intptr_t, intptr_t&) { return false; });
    QVERIFY(RegisterHotKey(HWND(other.handle()), 99, MOD_ALT | MOD_CONTROL, VK_F2));
    WinGlobalKeys keys;
    QStringList notices;
    keys.setNoticeHandler([&notices](const std::string& text) { notices << QString::fromStdString(text); });
    QVERIFY(!keys.Register([](int) {}));
    QCOMPARE(keys.heldIds(), (std::vector<int>{1, 2, 3}));
    QCOMPARE(keys.failureText(), GlobalKeyTexts::taken(IGlobalKeys::UngelesenF2));
    QVERIFY(!keys.Register([](int) {}));
    QCOMPARE(notices.size(), 1); // told once, however often it is met
    UnregisterHotKey(HWND(other.handle()), 99);
}

void TestPlatformWin::powerMessagesReachTheHandlers_data()
{
    QTest::addColumn<uint>("message");
    QTest::addColumn<int>("wParam");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Suspend") << uint(WM_POWERBROADCAST) << int(PBT_APMSUSPEND) << "suspending";
    QTest::newRow("Standby") << uint(WM_POWERBROADCAST) << int(PBT_APMSTANDBY) << "suspending";
    QTest::newRow("Resume after a critical suspend")
        << uint(WM_POWERBROADCAST) << int(PBT_APMRESUMECRITICAL) << "resumed";
    QTest::newRow("Resume by the user") << uint(WM_POWERBROADCAST) << int(PBT_APMRESUMESUSPEND) << "resumed";
    QTest::newRow("Resume from standby") << uint(WM_POWERBROADCAST) << int(PBT_APMRESUMESTANDBY) << "resumed";
    QTest::newRow("Resume, automatic") << uint(WM_POWERBROADCAST) << int(PBT_APMRESUMEAUTOMATIC) << "resumed";
    QTest::newRow("Power source changed") << uint(WM_POWERBROADCAST) << int(PBT_APMPOWERSTATUSCHANGE) << "";
    QTest::newRow("Unlock") << uint(WM_WTSSESSION_CHANGE) << int(WTS_SESSION_UNLOCK) << "unlocked";
    QTest::newRow("Lock") << uint(WM_WTSSESSION_CHANGE) << int(WTS_SESSION_LOCK) << "";
}

void TestPlatformWin::powerMessagesReachTheHandlers()
{
    QFETCH(uint, message);
    QFETCH(int, wParam);
    QFETCH(QString, expected);
    WinPowerEvents power;
    QVERIFY(power.isAvailable());
    QStringList seen;
    power.setSuspendingHandler([&seen] { seen << "suspending"; });
    power.setResumedHandler([&seen] { seen << "resumed"; });
    power.setUnlockedHandler([&seen] { seen << "unlocked"; });
    const LRESULT result = send(power.windowHandle(), message, WPARAM(wParam));
    QCOMPARE(seen, expected.isEmpty() ? QStringList() : QStringList{expected});
    // A power event the program handled is answered with TRUE, as Windows asks.
    if (message == WM_POWERBROADCAST && !expected.isEmpty())
        QCOMPARE(result, LRESULT(TRUE));
}

void TestPlatformWin::sessionEndsOnlyWhenWindowsSaysSo()
{
    SessionEndWatcher watcher;
    QVERIFY(watcher.isActive());
    SessionEndWatcher second;
    QVERIFY(!second.isActive());
    QSignalSpy spy(&watcher, &SessionEndWatcher::sessionEnding);
    void* window = static_cast<HiddenWindow*>(watcher.hiddenWindow())->handle();
    // Asked first: the program lets the session end, and nothing ends yet.
    QCOMPARE(send(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), LRESULT(TRUE));
    QCOMPARE(spy.count(), 0);
    // Another program refused: the session goes on.
    send(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
    QCOMPARE(spy.count(), 0);
    // The session ends: at once, before the message returns, since Windows may end the process after it.
    send(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    QCOMPARE(spy.count(), 1);
    send(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    QCOMPARE(spy.count(), 1);
}

void TestPlatformWin::keyHookTranslatesTheSystemsKeys_data()
{
    QTest::addColumn<uint>("message");
    QTest::addColumn<uint>("vk");
    QTest::addColumn<bool>("isKey");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("ctrl");
    QTest::newRow("Left Ctrl down") << uint(WM_KEYDOWN) << uint(VK_LCONTROL) << true << true << true;
    QTest::newRow("Right Ctrl up") << uint(WM_KEYUP) << uint(VK_RCONTROL) << true << false << true;
    QTest::newRow("Ctrl down with Alt held") << uint(WM_SYSKEYDOWN) << uint(VK_LCONTROL) << true << true << true;
    QTest::newRow("A letter") << uint(WM_KEYDOWN) << uint('A') << true << true << false;
    QTest::newRow("Shift up with Alt held") << uint(WM_SYSKEYUP) << uint(VK_LSHIFT) << true << false << false;
    QTest::newRow("Not a key message") << uint(WM_CHAR) << uint(VK_LCONTROL) << false << false << false;
}

void TestPlatformWin::keyHookTranslatesTheSystemsKeys()
{
    QFETCH(uint, message);
    QFETCH(uint, vk);
    QFETCH(bool, isKey);
    QFETCH(bool, pressed);
    QFETCH(bool, ctrl);
    KeyHookEvent event;
    QCOMPARE(WinKeyHook::translate(123456, vk, message, event), isKey);
    if (!isKey)
        return;
    QCOMPARE(event.time, 123456u);
    QCOMPARE(event.pressed, pressed);
    QCOMPARE(event.ctrl, ctrl);
}

void TestPlatformWin::keyHookCanBeSwitched()
{
    WinKeyHook hook;
    QVERIFY(!hook.isActive());
    QVERIFY(hook.setActive(true));
    QVERIFY(hook.isActive());
    QVERIFY(hook.setActive(true)); // a second activation keeps the one hook
    QVERIFY(hook.setActive(false));
    QVERIFY(!hook.isActive());
    QVERIFY(hook.setActive(false));
}

void TestPlatformWin::startupShortcutStartsTheProgramSilently()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("Startup/Tobrik.lnk");
    const QString program = QCoreApplication::applicationFilePath();
    QVERIFY(!AutostartExists(link));
    QVERIFY(ProgInStartup(link, true, program));
    QVERIFY(AutostartExists(link));
    QString target;
    QString arguments;
    QVERIFY(readLink(link, target, arguments));
    QCOMPARE(target.toLower(), program.toLower());
    QCOMPARE(arguments, QStringLiteral("/systemstartup"));
    // A read-only shortcut is replaced and removed all the same.
    QVERIFY(SetFileAttributesW(QDir::toNativeSeparators(link).toStdWString().c_str(), FILE_ATTRIBUTE_READONLY));
    QVERIFY(ProgInStartup(link, true, program));
    QVERIFY(SetFileAttributesW(QDir::toNativeSeparators(link).toStdWString().c_str(), FILE_ATTRIBUTE_READONLY));
    QVERIFY(ProgInStartup(link, false, program));
    QVERIFY(!AutostartExists(link));
    QVERIFY(ProgInStartup(link, false, program)); // nothing to remove
    QVERIFY(!ProgInStartup(link, true, QString()));
    QVERIFY(!ProgInStartup(QString(), true, program));
}

void TestPlatformWin::oldRunKeyEntryIsFoundAndDeleted()
{
    // The Run key of the tests' Wine prefix; the value's name is this test's own.
    const QString name = QStringLiteral("tst_platform_win_%1.exe").arg(GetCurrentProcessId());
    QVERIFY(!RunKeyValueExists(name));
    QSettings run(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
                  QSettings::NativeFormat);
    run.setValue(name, "\"C:\\Programme\\Tobrik\\Tobrik.exe\"");
    run.sync();
    QCOMPARE(run.status(), QSettings::NoError);
    QVERIFY(RunKeyValueExists(name));
    RunKeyDeleteValue(name);
    QVERIFY(!RunKeyValueExists(name));
    RunKeyDeleteValue(name); // gone already: silent
}

QTEST_GUILESS_MAIN(TestPlatformWin)
#include "tst_platform_win.moc"
