#include "app/gui/program.h"

#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/instance.h"
#include "app/params.h"
#include "app/paths.h"
#include "app/requests.h"
#include "common/clock.h"
#include "shell/session.h"
#include "shell/settingsstore.h"
#include "speech/lazyvoice.h"
#include "speech/output.h"
#include "speech/screenreader.h"
#include "speech/sound.h"
#include "speech/speech.h"

#include <QApplication>

#ifdef Q_OS_WIN
#include "shell/globalkeys_win.h"
#include "shell/keyhook_win.h"
#include "shell/lastinput_win.h"
#include "shell/power_win.h"
using PlatformPowerEvents = WinPowerEvents;
using PlatformLastInput = WinLastInput;
using PlatformGlobalKeys = WinGlobalKeys;
using PlatformKeyHook = WinKeyHook;
#else
#include "shell/globalkeys_x11.h"
#include "shell/keyhook_x11.h"
#include "shell/lastinput_x11.h"
#include "shell/power_logind.h"
using PlatformPowerEvents = LogindPowerEvents;
using PlatformLastInput = X11LastInput;
using PlatformGlobalKeys = X11GlobalKeys;
using PlatformKeyHook = X11KeyHook;
#endif

void ChooseHeadlessPlatformIfNoDisplay()
{
    // The program idles most of its life, woken by timers and datagrams; Qt's own event loop wakes for
    // less than GLib's. Nothing here needs GLib's loop.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
#ifndef Q_OS_WIN // Windows always has its desktop
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
}

int RunProgram(const TProgramHooks& hooks)
{
    QApplication* app = qApp;
    app->setApplicationName(QStringLiteral("Tobrik"));
    app->setQuitOnLastWindowClosed(false); // the window hides in the tray

    TInstanceGuard guard;
    if (!guard.tryAcquire()) {
        HandOverToRunningInstance(guard, RequestFilePath());
        return 0;
    }

    QStringList arguments = app->arguments();
    arguments.removeFirst();

    const std::unique_ptr<IScreenReader> tolk = CreateScreenReader();
    TSoundEffects sound(SoundsFolderPath(), [] { QApplication::beep(); });
    MessageBoxDialogs messageBoxes;
    QSettingsStore settingsStore;
    PlatformPowerEvents power;
    PlatformLastInput lastInput(SystemClock::instance());
    PlatformGlobalKeys globalKeys;
    PlatformKeyHook keyHook;

    TMainWindowEnv env;
    env.clock = &SystemClock::instance();
    env.tolk = tolk.get();
    // A synthesis engine is loaded only when one of its voices is wanted: loading it may start a speech server.
    env.speechFactory = [&tolk] {
        return std::make_unique<TSpeech>(*tolk, std::make_unique<LazyVoiceEngine>([] { return CreateVoiceEngine(1); }),
                                         std::make_unique<LazyVoiceEngine>([] { return CreateVoiceEngine(2); }));
    };
    env.sound = &sound;
    env.dialogs = hooks.dialogs ? hooks.dialogs : &messageBoxes;
    env.power = &power;
    env.settingsStore = &settingsStore;
    env.logFolderPath = LogFolderPath();
    env.userFilePath = UserFilePath();
    env.winUserName = WinUserName();
    env.computerName = ComputerName();
    env.arguments = arguments;
    env.lastInput = &lastInput;
    env.globalKeys = &globalKeys;
    env.keyHook = &keyHook;
    env.startupLinkPath = StartupLinkPath();

    TTB_Form1 window(env);
    window.SetSilent(SilentArgumentGiven(arguments));
    window.RegistryLadenSpeichern(true);
    QObject::connect(&window, &TTB_Form1::programEnded, app, &QCoreApplication::quit, Qt::QueuedConnection);

    TWatchRegistrySettings watcher(RequestFilePath());
    QObject::connect(&watcher, &TWatchRegistrySettings::setFocusRequested, &window, &TTB_Form1::ProgramSetFocus);
    QObject::connect(&watcher, &TWatchRegistrySettings::closeRequested, &window, &TTB_Form1::ProgramClose);

    SessionEndWatcher session;
    QObject::connect(&session, &SessionEndWatcher::sessionEnding, &window, &TTB_Form1::EndSession);
    QObject::connect(app, &QGuiApplication::commitDataRequest, &window, [&window] { window.EndSession(); });

    if (hooks.windowReady)
        hooks.windowReady(window);

    const int rc = app->exec();
    watcher.stop();
    return rc;
}
