// Starting companion programs and hibernating the PC, always with an argument list and never through a shell.
#pragma once

#include <QString>
#include <QStringList>

// Starts the program detached from this process; false when it could not be started.
bool StartDetached(const QString& program, const QStringList& args);

// The hibernation command: "systemctl hibernate" (none on Windows), or the environment variable
// TOBRIK_HIBERNATE_COMMAND when it is set (split like a command line, quotes grouping, no shell). A variable set to
// empty text yields an empty list, so a test can never fall through to the real command by accident.
QStringList HibernateCommand();

// Runs the hibernation command detached; false when there is none or it could not be started. On Windows
// without TOBRIK_HIBERNATE_COMMAND: SystemHibernate.
bool Hibernate();

#ifdef Q_OS_WIN
// SetSuspendState into hibernation, with the shutdown privilege it needs; false when refused.
bool SystemHibernate();
#endif

// The full path of the companion program `name` in `folder` (".exe" added on Windows), or empty when there
// is no such file. A name that is not a plain file name is never found.
QString FindCompanion(const QString& name, const QString& folder);
// The same, next to the running executable.
QString FindCompanion(const QString& name);
