#include "shell/launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

bool StartDetached(const QString& program, const QStringList& args)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, args);
}

QStringList HibernateCommand()
{
    const char* variable = "TOBRIK_HIBERNATE_COMMAND";
    if (qEnvironmentVariableIsSet(variable))
        return QProcess::splitCommand(qEnvironmentVariable(variable));
#ifdef Q_OS_WIN
    return {}; // the system call itself, see SystemHibernate
#else
    return {QStringLiteral("systemctl"), QStringLiteral("hibernate")};
#endif
}

bool Hibernate()
{
#ifdef Q_OS_WIN
    if (!qEnvironmentVariableIsSet("TOBRIK_HIBERNATE_COMMAND"))
        return SystemHibernate();
#endif
    QStringList command = HibernateCommand();
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return StartDetached(program, command);
}

QString FindCompanion(const QString& name, const QString& folder)
{
    if (name.isEmpty() || folder.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
#ifdef Q_OS_WIN
    const QString fileName = name + QStringLiteral(".exe");
#else
    const QString fileName = name;
#endif
    const QFileInfo info(QDir(folder), fileName);
    return info.isFile() ? info.absoluteFilePath() : QString();
}

QString FindCompanion(const QString& name)
{
    return FindCompanion(name, QCoreApplication::applicationDirPath());
}
