#include "app/instance.h"
#include "app/paths.h"
#include "app/requests.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTest>

namespace {

QByteArray lockOwnerLine(const QString& lockPath)
{
    QFile file(lockPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readLine().trimmed();
}

// The PID of a process that has ended: a shell that prints its own PID and exits.
qint64 deadPid()
{
    QProcess shell;
    shell.start("sh", {"-c", "echo $$"});
    if (!shell.waitForFinished(10000))
        return 0;
    return shell.readAllStandardOutput().trimmed().toLongLong();
}

// The format QLockFile writes and reads: PID, program name, host name, one a line.
bool writeLockFile(const QString& path, qint64 pid, const QString& appName)
{
    QFile file(path);
    const QByteArray text =
        QByteArray::number(pid) + '\n' + appName.toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class TestInstance : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void secondStartSeesTheFirst();
    void foreignLockFile_data();
    void foreignLockFile();
    void crashedInstanceIsTakenOver();
    void holderProcess();
    void processWideValues();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_sleeper;
};

void TestInstance::initTestCase()
{
    requirePrivateHome();
}

void TestInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestInstance::cleanup()
{
    if (m_sleeper.state() != QProcess::NotRunning) {
        m_sleeper.kill();
        m_sleeper.waitForFinished();
    }
    m_dir.reset();
}

void TestInstance::secondStartSeesTheFirst()
{
    const QString requests = m_dir->filePath("Tobrik/Requests.conf");
    auto first = std::make_unique<TInstanceGuard>();
    QCOMPARE(first->lockPath(), qEnvironmentVariable("XDG_RUNTIME_DIR") + "/Tobrik V1.13.lock");
    QVERIFY(first->tryAcquire());
    QVERIFY(first->isHeld());
    QVERIFY(!first->otherInstanceRunning());
    QCOMPARE(lockOwnerLine(first->lockPath()), QByteArray::number(QCoreApplication::applicationPid()));

    TInstanceGuard second;
    QVERIFY(!second.tryAcquire());
    QVERIFY(!second.isHeld());
    QVERIFY(second.otherInstanceRunning());
    QVERIFY(HandOverToRunningInstance(second, requests));
    TRegistrySettings request;
    QVERIFY(ReadRegistrySettings(requests, request));
    QCOMPARE(request.SetFocus, QStringLiteral("1"));
    QVERIFY(request.Parameters.isEmpty());
    QVERIFY(request.Close.isEmpty());

    first.reset();
    QVERIFY(!QFile::exists(second.lockPath()));
    QVERIFY(!second.otherInstanceRunning());
    QVERIFY(!HandOverToRunningInstance(second, requests));
    QVERIFY(!QFile::exists(requests));
    QVERIFY(second.tryAcquire());
}

void TestInstance::foreignLockFile_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("appName");
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("running");

    QTest::newRow("A lock left by a dead process is taken over") << "dead"
                                                                 << "tobrik" << 0 << false;
    QTest::newRow("A lock whose PID now belongs to another program is taken over") << "live"
                                                                                   << "tobrik" << 0 << false;
    QTest::newRow("A live owner keeps its lock") << "live"
                                                 << "sleep" << 0 << true;
    QTest::newRow("A live owner keeps its lock however old the lock file is") << "live"
                                                                              << "sleep" << 3600 << true;
}

void TestInstance::foreignLockFile()
{
    QFETCH(QString, owner);
    QFETCH(QString, appName);
    QFETCH(int, ageSeconds);
    QFETCH(bool, running);

    qint64 pid = 0;
    if (owner == "dead") {
        pid = deadPid();
    } else {
        m_sleeper.start("sleep", {"60"});
        QVERIFY(m_sleeper.waitForStarted());
        pid = m_sleeper.processId();
    }
    QVERIFY(pid > 0);
    const QString path = m_dir->filePath("Tobrik V1.13.lock");
    QVERIFY(writeLockFile(path, pid, appName));
    if (ageSeconds > 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds), QFileDevice::FileModificationTime));
    }

    TInstanceGuard guard(path);
    QCOMPARE(guard.otherInstanceRunning(), running);
    QCOMPARE(guard.tryAcquire(), !running);
    const QByteArray ownPid = QByteArray::number(QCoreApplication::applicationPid());
    QCOMPARE(lockOwnerLine(path), running ? QByteArray::number(pid) : ownPid);
}

// A real instance in a process of its own dies without cleaning up; the next start takes its place.
void TestInstance::crashedInstanceIsTakenOver()
{
    const QString path = m_dir->filePath("Tobrik V1.13.lock");
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TOBRIK_TEST_LOCK_PATH", path);
    holder.setProcessEnvironment(env);
    holder.start(QCoreApplication::applicationFilePath(), {"holderProcess"});
    QVERIFY(holder.waitForStarted());
    QByteArray output;
    QTRY_VERIFY2_WITH_TIMEOUT((output += holder.readAllStandardOutput()).contains("held\n"), output.constData(), 10000);

    TInstanceGuard guard(path);
    QVERIFY(guard.otherInstanceRunning());
    QVERIFY(!guard.tryAcquire());

    holder.kill();
    QVERIFY(holder.waitForFinished());
    QVERIFY(QFile::exists(path));
    QVERIFY(!guard.otherInstanceRunning());
    QVERIFY(guard.tryAcquire());
}

void TestInstance::holderProcess()
{
    const QString path = qEnvironmentVariable("TOBRIK_TEST_LOCK_PATH");
    if (path.isEmpty())
        QSKIP("runs only as the instance that crashedInstanceIsTakenOver kills");
    TInstanceGuard guard(path);
    QVERIFY(guard.tryAcquire());
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    QTest::qWait(60000);
}

void TestInstance::processWideValues()
{
    QCOMPARE(LogFolderPath(), qEnvironmentVariable("XDG_DATA_HOME") + "/tobrik/");
    QCOMPARE(StartupLinkPath(), qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/tobrik.desktop");
    QCOMPARE(UserFilePath(), QCoreApplication::applicationDirPath() + "/User.txt");
    QCOMPARE(SoundsFolderPath(), QCoreApplication::applicationDirPath() + "/sounds/");

    const QString computer = ComputerName();
    QVERIFY(!computer.isEmpty());
    QVERIFY2(!computer.contains('.'), qPrintable(computer));
    QCOMPARE(computer, computer.toUpper());
    QVERIFY(QSysInfo::machineHostName().startsWith(computer, Qt::CaseInsensitive));

    QVERIFY(!WinUserName().isEmpty());
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
