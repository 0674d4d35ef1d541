// A speech-dispatcher of the test's own: its one output module writes every text it is given into a file (as
// UTF-8 for German, the server's default language; other languages would arrive in Latin-1),
// audio goes to an ALSA null device, and it listens on a socket in a temporary folder. SPEECHD_ADDRESS
// points the test process at it.
#pragma once

#include "speech/speechd_linux.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

class PrivateSpeechd
{
public:
    static bool installed() { return !QStandardPaths::findExecutable("speech-dispatcher").isEmpty(); }

    PrivateSpeechd()
    {
        QDir(m_dir.path()).mkpath("conf/modules");
        write("conf/speechd.conf", QStringLiteral("AudioOutputMethod \"alsa\"\n"
                                                  "AddModule \"filelog\" \"sd_generic\" \"filelog.conf\"\n"
                                                  "DefaultModule filelog\n"
                                                  "DefaultLanguage \"de\"\n"
                                                  "LogDir \"%1\"\n")
                                       .arg(m_dir.path()));
        write("conf/modules/filelog.conf",
              QStringLiteral("GenericExecuteSynth \"printf '%s|%s\\\\n' \\\"$LANGUAGE\\\" \\'$DATA\\' >> %1\"\n"
                             "GenericLanguage \"de\" \"de\" \"utf-8\"\n"
                             "AddVoice \"de\" \"MALE1\" \"filelog-de\"\n")
                  .arg(spokenPath()));
        // Clients such as Qt's speechd engine start a server with the system's configuration when none
        // answers; the user configuration of the test's private XDG_CONFIG_HOME forbids that.
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).mkpath("speech-dispatcher");
        QFile userConf(qEnvironmentVariable("XDG_CONFIG_HOME") + "/speech-dispatcher/speechd.conf");
        if (userConf.open(QIODevice::WriteOnly))
            userConf.write("DisableAutoSpawn\n");
        // The null device: with the default ("pulse") and no sound server the module is refused.
        QFile asoundrc(QDir::home().filePath(".asoundrc"));
        if (asoundrc.open(QIODevice::WriteOnly))
            asoundrc.write("pcm.!default { type null }\n");
        qputenv("SPEECHD_ADDRESS", address().toUtf8());
    }
    // Given a moment to end its output module, then killed.
    ~PrivateSpeechd()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(2000))
            kill();
    }

    QString socketPath() const { return m_dir.filePath("spd.sock"); }
    QString address() const { return "unix_socket:" + socketPath(); }
    QString spokenPath() const { return m_dir.filePath("spoken.txt"); }

    // Starts the server and waits until it answers. (Not spd-say: with no server there yet it would start one
    // of its own, with the system's configuration, on this socket.)
    bool start()
    {
        m_process.setProgram("speech-dispatcher");
        m_process.setArguments({"-s", "-t", "0", "-C", m_dir.filePath("conf"), "-c", "unix_socket", "-S", socketPath(),
                                "-L", m_dir.path(), "-P", m_dir.filePath("spd.pid")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            if (ProbeSpeechd(200) == ProbeResult::Answered)
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    // SIGKILL: a speech-dispatcher may ignore SIGTERM.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // The texts the module was given so far, without the language field.
    QStringList spoken() const
    {
        QFile file(spokenPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList texts;
        QTextStream in(&file);
        in.setEncoding(QStringConverter::Utf8);
        while (!in.atEnd()) {
            const QString line = in.readLine();
            texts << line.mid(line.indexOf('|') + 1);
        }
        return texts;
    }

    // Milliseconds until `text` is the newest line of the file; -1 if it does not arrive within timeoutMs.
    qint64 waitForSpoken(const QString& text, int timeoutMs = 5000) const
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < timeoutMs) {
            const QStringList texts = spoken();
            if (!texts.isEmpty() && texts.constLast() == text)
                return waited.elapsed();
            QTest::qWait(1);
        }
        return -1;
    }

private:
    void write(const QString& name, const QString& text)
    {
        QFile file(m_dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
    QProcess m_process;
};
