// Program entry: one instance per user, then the main window and its event loop.
#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/instance.h"
#include "app/params.h"
#include "app/paths.h"
#include "app/requests.h"
#include "common/clock.h"
#include "common/texts.h"
#include "shell/power.h"
#include "shell/session.h"
#include "shell/settingsstore.h"
#include "speech/output.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Without any display the program still runs, headless, instead of aborting.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tobrik"));
    app.setQuitOnLastWindowClosed(false); // the window hides in the tray

    TInstanceGuard guard;
    if (!guard.tryAcquire()) {
        HandOverToRunningInstance(guard, RequestFilePath());
        return 0;
    }

    QStringList arguments = app.arguments();
    arguments.removeFirst();

    SilentSpeech speech;
    SilentSound sound;
    MessageBoxDialogs dialogs;
    QSettingsStore settingsStore;
    LogindPowerEvents power;

    TMainWindowEnv env;
    env.clock = &SystemClock::instance();
    env.speech = &speech;
    env.sound = &sound;
    env.dialogs = &dialogs;
    env.power = &power;
    env.settingsStore = &settingsStore;
    env.logFolderPath = LogFolderPath();
    env.userFilePath = UserFilePath();
    env.winUserName = WinUserName();
    env.computerName = ComputerName();
    env.arguments = arguments;

    TTB_Form1 window(env);
    window.SetSilent(SilentArgumentGiven(arguments));
    window.RegistryLadenSpeichern(true);
    QObject::connect(&window, &TTB_Form1::programEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    TWatchRegistrySettings watcher(RequestFilePath());
    QObject::connect(&watcher, &TWatchRegistrySettings::setFocusRequested, &window, &TTB_Form1::ProgramSetFocus);
    QObject::connect(&watcher, &TWatchRegistrySettings::closeRequested, &window, &TTB_Form1::ProgramClose);

    SessionEndWatcher session;
    QObject::connect(&session, &SessionEndWatcher::sessionEnding, &window, &TTB_Form1::EndSession);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window] { window.EndSession(); });

    const int rc = app.exec();
    watcher.stop();
    return rc;
}
