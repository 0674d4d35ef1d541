// A main window on loopback with test doubles for every service, for the window tests.
#pragma once

#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "common/clock.h"
#include "common/fields.h"
#include "doubles/clock.h"
#include "doubles/dialogs.h"
#include "doubles/globalkeys.h"
#include "doubles/keyhook.h"
#include "doubles/lastinput.h"
#include "doubles/launcher.h"
#include "doubles/output.h"
#include "doubles/power.h"
#include "doubles/settingsstore.h"
#include "doubles/speechdoubles.h"
#include "loopbackports.h"
#include "net/endpoints.h"
#include "shell/lastinput.h"
#include "shell/power.h"
#include "shell/settingsstore.h"
#include "speech/output.h"
#include "speech/speech.h"
#include "windowprobe.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    ManualClock clock;
    RecordingScreenReader tolk;
    // Voices of engine 1, in the engine's own order; the engine itself belongs to the window's speech.
    std::vector<std::string> voices{"Bernd - Deutsch", "Anna - Deutsch"};
    RecordingVoiceEngine* engine = nullptr;
    RecordingSound sound;
    ScriptedDialogs dialogs;
    FakePowerEvents power;
    FakeLastInput lastInput;
    MemorySettingsStore store;
    UdpPorts ports;
    FakeGlobalKeys globalKeys;
    FakeKeyHook keyHook;
    bool tray = true; // whether the desktop has a tray
    QStringList openedFolders;
    QMargins frame; // what the window manager's frame adds
    int hibernations = 0;
    RecordingLauncher launcher; // nothing is ever opened or started for real
    // After everything it uses, so it goes first.
    std::unique_ptr<TTB_Form1> window;
    std::unique_ptr<QSignalSpy> presence;
    std::unique_ptr<QSignalSpy> ended;

    // beforeWindow runs once the ports are chosen, before the window opens them; adjustEnv may change the
    // environment before the window is made.
    explicit Fixture(const QStringList& arguments = {}, const std::function<void(const UdpPorts&)>& beforeWindow = {},
                     const std::function<void(TMainWindowEnv&)>& adjustEnv = {})
    {
        ports = freeLoopbackPorts();
        if (beforeWindow)
            beforeWindow(ports);
        TMainWindowEnv env;
        env.clock = &clock;
        env.tolk = &tolk;
        env.speechFactory = [this] {
            auto e = std::make_unique<RecordingVoiceEngine>(voices);
            engine = e.get();
            return std::make_unique<TSpeech>(tolk, std::move(e), nullptr);
        };
        env.sound = &sound;
        env.dialogs = &dialogs;
        env.power = &power;
        env.settingsStore = &store;
        env.logFolderPath = dir.path() + "/logs/";
        env.userFilePath = dir.path() + "/User.txt";
        env.winUserName = "amaier";
        env.computerName = "R12-PC";
        env.arguments = arguments;
        env.broadcastAddresses = [] { return QList<QByteArray>{"127.0.0.1"}; };
        env.ports = &ports;
        env.lastInput = &lastInput;
        env.frameMargins = [this] { return frame; };
        env.globalKeys = &globalKeys;
        env.keyHook = &keyHook;
        env.trayAvailable = [this] { return tray; };
        env.startupLinkPath = dir.path() + "/autostart/tobrik.desktop";
        env.openFolder = [this](const QString& folder) {
            openedFolders.append(folder);
            return true;
        };
        env.hibernate = [this] {
            ++hibernations;
            return true;
        };
        env.launcher = &launcher;
        env.programFolderPath = dir.path() + "/program/";
        if (adjustEnv)
            adjustEnv(env);
        window = std::make_unique<TTB_Form1>(env);
        presence = std::make_unique<QSignalSpy>(&TTB_Form1Probe(*window).endpoints(), &UdpEndpoints::presenceReceived);
        ended = std::make_unique<QSignalSpy>(window.get(), &TTB_Form1::programEnded);
    }

    TTB_Form1Probe probe() { return TTB_Form1Probe(*window); }

    void start()
    {
        window->SetSilent(false);
        window->RegistryLadenSpeichern(true);
        QTRY_VERIFY(probe().startSequenceRan());
    }

    // Presence datagrams heard so far whose online field (6) has the given value.
    int heard(const char* online)
    {
        int n = 0;
        for (const QList<QVariant>& args : *presence)
            n += GetFeld(QString::fromUtf8(args.at(0).toByteArray()), 6) == QLatin1String(online);
        return n;
    }
};

} // namespace
