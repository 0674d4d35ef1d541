#include "net/commands.h"

#include "net/protocol.h"
#include "shell/launcher.h"

#include <QCoreApplication>

namespace {

void call(const std::function<void()>& f)
{
    if (f)
        f();
}

// Sek, the program path, "/tbs", and "/systemstartup" when the program sits in the tray.
QStringList StarterArguments(const QString& sek, const QString& programPath, bool inTrayS)
{
    QStringList args{sek, programPath, QStringLiteral("/tbs")};
    if (inTrayS)
        args << QStringLiteral("/systemstartup");
    return args;
}

} // namespace

TCommandHandler::TCommandHandler(TCommandActions actions, QObject* parent)
    : QObject(parent)
    , FActions(std::move(actions))
{
    if (!FActions.hibernate)
        FActions.hibernate = [] { return Hibernate(); };
    if (!FActions.findStarter)
        FActions.findStarter = [] { return FindCompanion(QStringLiteral("TobrikStarter")); };
    if (!FActions.startDetached)
        FActions.startDetached = [](const QString& program, const QStringList& args) {
            return StartDetached(program, args);
        };
}

void TCommandHandler::UdpS1BefehlUDPRead(const QByteArray& payload)
{
    if (FStandByS && FStandByS())
        return;
    const std::optional<QString> text = Protocol::decodeDatagram(payload);
    const std::optional<Protocol::TCommand> cmd = text ? Protocol::parseCommand(*text) : std::nullopt;
    if (!cmd)
        return;
    if (cmd->Cmd == Protocol::CmdUpdate)
        update(cmd->Sek);
    else if (cmd->Cmd == Protocol::CmdKick)
        call(FActions.quit);
    else if (cmd->Cmd == Protocol::CmdAutostartEin || cmd->Cmd == Protocol::CmdAutostartAus) {
        if (FActions.setAutostart)
            FActions.setAutostart(cmd->Cmd == Protocol::CmdAutostartEin);
    } else if (cmd->Cmd == Protocol::CmdLoadUser)
        call(FActions.reloadUsers);
    else if (cmd->Cmd == Protocol::CmdRuhezustand)
        FActions.hibernate();
}

void TCommandHandler::update(const QString& sek)
{
    const QString starter = FActions.findStarter();
    if (starter.isEmpty())
        return;
    const QString programm =
        FActions.programPath.isEmpty() ? QCoreApplication::applicationFilePath() : FActions.programPath;
    const bool trayS = FActions.inTray && FActions.inTray();
    // Quitting without a running starter would leave the PC without the program until the next logon.
    if (FActions.startDetached(starter, StarterArguments(sek, programm, trayS)))
        call(FActions.quit);
}
