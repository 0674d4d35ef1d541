// Remote commands from the administration tool: quit, autostart, reload users, hibernate, update.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QByteArray;

// What the commands act on. An empty callback is skipped; the defaults reach the real system.
struct TCommandActions
{
    // Quit without confirmation.
    std::function<void()> quit;
    std::function<void(bool AutostartS)> setAutostart;
    std::function<void()> reloadUsers;
    // Default: the platform's hibernation (Hibernate()).
    std::function<bool()> hibernate;
    // The window sits in the notification area; the updated program then starts there too.
    std::function<bool()> inTray;
    // Full path of the update starter, empty when there is none. Default: "TobrikStarter" next to the program.
    std::function<QString()> findStarter;
    // Default: StartDetached().
    std::function<bool(const QString& program, const QStringList& args)> startDetached;
    // Full path of the running program file. Default: QCoreApplication::applicationFilePath().
    QString programPath;
};

class TCommandHandler : public QObject
{
    Q_OBJECT
public:
    explicit TCommandHandler(TCommandActions actions, QObject* parent = nullptr);

    // While it answers true (suspending or suspended), commands are dropped.
    void setStandBy(std::function<bool()> standByS) { FStandByS = std::move(standByS); }

    // Obeys one command datagram; anything unknown or malformed is ignored.
    void UdpS1BefehlUDPRead(const QByteArray& payload);

private:
    void update(const QString& sek);

    TCommandActions FActions;
    std::function<bool()> FStandByS;
};
