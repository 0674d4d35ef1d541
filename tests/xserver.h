// An X server of the test's own, and xdotool driving it.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <string>

#include <csignal>
#include <sys/prctl.h>

// -displayfd lets Xvfb pick a free display number and tells us once it accepts connections, so parallel runs
// never collide and nobody has to poll. The server dies with the test, even when the test crashes.
class PrivateXServer
{
public:
    ~PrivateXServer() { stop(); }

    static bool available()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
               !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
    }

    bool start()
    {
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                 QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!m_process.waitForStarted(5000))
            return false;
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000))
                return false;
        }
        bool ok = false;
        const int number = m_process.readLine().trimmed().toInt(&ok);
        if (!ok)
            return false;
        m_name = QStringLiteral(":%1").arg(number);
        return true;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    std::string name() const { return m_name.toStdString(); }
    QByteArray displayVariable() const { return m_name.toLatin1(); }

    // Runs xdotool against this server only; true when it did its work.
    bool xdotool(const QStringList& args) const
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_name);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    }

private:
    QProcess m_process;
    QString m_name;
};

// Sets (or with a null value removes) one environment variable for one scope.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const char* value)
        : m_name(name)
        , m_saved(qgetenv(name))
        , m_wasSet(qEnvironmentVariableIsSet(name))
    {
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedVariable()
    {
        if (m_wasSet)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    QByteArray m_saved;
    bool m_wasSet;
};

// A display name with neither a lock file nor a socket, so no server answers there.
inline std::string unservedDisplayName()
{
    for (int n = 900; n < 1000; ++n) {
        if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) &&
            !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            return ":" + std::to_string(n);
    }
    return ":999";
}
