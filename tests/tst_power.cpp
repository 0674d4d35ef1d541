#include "doubles/power.h"
#include "shell/power_logind.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {

const QString ManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString ManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionPath = QStringLiteral("/org/freedesktop/login1/session/c7");

// True while somebody still holds the write end of the pipe behind a handed-out lock.
bool lockHeld(int readFd)
{
    pollfd p{readFd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

} // namespace

// The part of logind the watcher talks to, served from the test process on a private bus.
class FakeLogind : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLogind() override
    {
        for (int fd : lockReadEnds)
            ::close(fd);
    }
    bool failByPid = false;
    bool delayInhibit = false;
    QList<uint> pids;
    QStringList sessionNames;
    QList<QStringList> inhibitCalls;
    QList<int> lockReadEnds;
    QDBusMessage delayedInhibit;

    QDBusUnixFileDescriptor newLock()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return {};
        lockReadEnds << fds[0];
        QDBusUnixFileDescriptor lock(fds[1]);
        ::close(fds[1]);
        return lock;
    }

public slots:
    QDBusObjectPath GetSessionByPID(uint pid)
    {
        pids << pid;
        if (failByPid)
            sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSessionForPID"), QStringLiteral("no session"));
        return QDBusObjectPath(SessionPath);
    }
    QDBusObjectPath GetSession(const QString& name)
    {
        sessionNames << name;
        return QDBusObjectPath(SessionPath);
    }
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode)
    {
        inhibitCalls << QStringList{what, who, why, mode};
        if (delayInhibit) {
            setDelayedReply(true);
            delayedInhibit = message();
            return {};
        }
        return newLock();
    }
};

class TestPower : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void fakeTriggersEachHandler();
    void disconnectedBusStaysUnavailable();
    void busWithoutLogindStaysQuiet();
    void sleepLockSpansTheSuspendingHandler();
    void lockGrantedDuringSleepIsDropped();
    void sessionFoundWithoutPid();
    void unlockReportedOnce_data();
    void unlockReportedOnce();

private:
    void sync();
    void sendSignal(const QString& path, const QString& interfaceName, const QString& name, const QVariantList& args);
    std::unique_ptr<LogindPowerEvents> startWatcher();

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_serviceName;
    QString m_clientName;
    FakeLogind* m_logind = nullptr;
    int m_round = 0;
    int m_suspending = 0, m_resumed = 0, m_unlocked = 0;
};

void TestPower::initTestCase()
{
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
        QSKIP("dbus-daemon is not installed");
    m_daemon.start("dbus-daemon",
                   {"--session", "--nofork", "--print-address", "--address=unix:path=" + m_dir.filePath("bus")});
    QVERIFY(m_daemon.waitForStarted(5000));
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void TestPower::cleanupTestCase()
{
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(3000))
        m_daemon.kill();
}

void TestPower::init()
{
    ++m_round;
    m_serviceName = QStringLiteral("service%1").arg(m_round);
    m_clientName = QStringLiteral("client%1").arg(m_round);
    m_suspending = m_resumed = m_unlocked = 0;
    m_logind = new FakeLogind;
}

void TestPower::cleanup()
{
    delete m_logind;
    m_logind = nullptr;
    QDBusConnection::disconnectFromBus(m_serviceName);
    QDBusConnection::disconnectFromBus(m_clientName);
}

// Serves the fake logind, and returns a watcher on a connection of its own.
std::unique_ptr<LogindPowerEvents> TestPower::startWatcher()
{
    auto watcher = std::make_unique<LogindPowerEvents>(QDBusConnection::connectToBus(m_address, m_clientName));
    watcher->setSuspendingHandler([this] { ++m_suspending; });
    watcher->setResumedHandler([this] { ++m_resumed; });
    watcher->setUnlockedHandler([this] { ++m_unlocked; });
    return watcher;
}

// A round trip on the watcher's connection, so the bus has applied every match rule sent before.
void TestPower::sync()
{
    QDBusConnection(m_clientName).interface()->isServiceRegistered("org.freedesktop.DBus");
}

void TestPower::sendSignal(const QString& path, const QString& interfaceName, const QString& name,
                           const QVariantList& args)
{
    QDBusMessage signal = QDBusMessage::createSignal(path, interfaceName, name);
    signal.setArguments(args);
    QDBusConnection(m_serviceName).send(signal);
}

void TestPower::fakeTriggersEachHandler()
{
    FakePowerEvents fake;
    fake.triggerSuspending(); // no handlers yet: nothing happens
    fake.setSuspendingHandler([this] { ++m_suspending; });
    fake.setResumedHandler([this] { ++m_resumed; });
    fake.setUnlockedHandler([this] { ++m_unlocked; });
    fake.triggerSuspending();
    fake.triggerResumed();
    fake.triggerResumed();
    fake.triggerUnlocked();
    QCOMPARE((QList<int>{m_suspending, m_resumed, m_unlocked}), (QList<int>{1, 2, 1}));
    QVERIFY(fake.isAvailable());
    fake.setAvailable(false);
    QVERIFY(!fake.isAvailable());
}

void TestPower::disconnectedBusStaysUnavailable()
{
    const QDBusConnection none = QDBusConnection::connectToBus("unix:path=" + m_dir.filePath("nobus"), m_clientName);
    QVERIFY(!none.isConnected());
    LogindPowerEvents watcher(none);
    QTest::qWait(100);
    QVERIFY(!watcher.isAvailable());
    QVERIFY(!watcher.holdsSleepLock());
}

void TestPower::busWithoutLogindStaysQuiet()
{
    QElapsedTimer timer;
    timer.start();
    auto watcher = startWatcher();
    QVERIFY(timer.elapsed() < 1000);
    sync();
    // an impostor without the name org.freedesktop.login1 is not logind
    QVERIFY(QDBusConnection::connectToBus(m_address, m_serviceName).isConnected());
    sendSignal(ManagerPath, ManagerInterface, "PrepareForSleep", {true});
    QTest::qWait(500);
    QVERIFY(!watcher->isAvailable());
    QVERIFY(!watcher->holdsSleepLock());
    QCOMPARE(m_suspending, 0);
}

void TestPower::sleepLockSpansTheSuspendingHandler()
{
    QDBusConnection service = QDBusConnection::connectToBus(m_address, m_serviceName);
    QVERIFY(service.registerObject(ManagerPath, m_logind, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService("org.freedesktop.login1"));
    auto watcher = startWatcher();
    QTRY_VERIFY(watcher->holdsSleepLock());
    QVERIFY(watcher->isAvailable());
    QCOMPARE(m_logind->inhibitCalls, (QList<QStringList>{{"sleep", "Tobrik", "Abmeldung im Netzwerk", "delay"}}));
    const int firstLock = m_logind->lockReadEnds.value(0, -1);
    bool heldWhileSuspending = false;
    watcher->setSuspendingHandler([&] {
        ++m_suspending;
        heldWhileSuspending = lockHeld(firstLock);
    });
    sync();

    sendSignal(ManagerPath, ManagerInterface, "PrepareForSleep", {true});
    QTRY_COMPARE(m_suspending, 1);
    QVERIFY(heldWhileSuspending);
    QTRY_VERIFY(!lockHeld(firstLock));
    QVERIFY(!watcher->holdsSleepLock());
    QCOMPARE(m_resumed, 0);

    sendSignal(ManagerPath, ManagerInterface, "PrepareForSleep", {false});
    QTRY_COMPARE(m_resumed, 1);
    QTRY_VERIFY(watcher->holdsSleepLock());
    QCOMPARE(m_logind->inhibitCalls.size(), 2);
    QVERIFY(lockHeld(m_logind->lockReadEnds.value(1, -1)));
    QCOMPARE(m_suspending, 1);

    watcher.reset();
    QTRY_VERIFY(!lockHeld(m_logind->lockReadEnds.value(1, -1)));
}

void TestPower::lockGrantedDuringSleepIsDropped()
{
    m_logind->delayInhibit = true;
    QDBusConnection service = QDBusConnection::connectToBus(m_address, m_serviceName);
    QVERIFY(service.registerObject(ManagerPath, m_logind, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService("org.freedesktop.login1"));
    auto watcher = startWatcher();
    QTRY_COMPARE(m_logind->inhibitCalls.size(), 1);
    sync();
    sendSignal(ManagerPath, ManagerInterface, "PrepareForSleep", {true});
    QTRY_COMPARE(m_suspending, 1);

    service.send(m_logind->delayedInhibit.createReply(QVariant::fromValue(m_logind->newLock())));
    QTRY_VERIFY(!lockHeld(m_logind->lockReadEnds.value(0, -1)));
    QVERIFY(!watcher->holdsSleepLock());

    // after waking up the watcher asks again
    m_logind->delayInhibit = false;
    sendSignal(ManagerPath, ManagerInterface, "PrepareForSleep", {false});
    QTRY_VERIFY(watcher->holdsSleepLock());
    QCOMPARE(m_logind->inhibitCalls.size(), 2);
}

void TestPower::sessionFoundWithoutPid()
{
    m_logind->failByPid = true;
    QDBusConnection service = QDBusConnection::connectToBus(m_address, m_serviceName);
    QVERIFY(service.registerObject(ManagerPath, m_logind, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService("org.freedesktop.login1"));
    auto watcher = startWatcher();
    QTRY_COMPARE(m_logind->sessionNames, QStringList{"auto"});
    QCOMPARE(m_logind->pids, QList<uint>{static_cast<uint>(::getpid())});
    QTRY_COMPARE(watcher->sessionPath(), SessionPath);
    sync();
    sendSignal(SessionPath, "org.freedesktop.login1.Session", "Unlock", {});
    QTRY_COMPARE(m_unlocked, 1);
}

void TestPower::unlockReportedOnce_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("expected");
    QTest::newRow("An unlock request is reported") << QStringList{"unlock"} << 1;
    QTest::newRow("The lock screen reports the user unlocked") << QStringList{"locked", "unlocked"} << 1;
    QTest::newRow("An unlock request and the lock screen's answer count once")
        << QStringList{"locked", "unlock", "unlocked"} << 1;
    QTest::newRow("Two lock and unlock rounds count twice")
        << QStringList{"locked", "unlocked", "locked", "unlocked"} << 2;
    QTest::newRow("Locking alone is no unlock") << QStringList{"locked"} << 0;
    QTest::newRow("Another session's unlock is ignored") << QStringList{"other-unlock"} << 0;
    QTest::newRow("Another interface's LockedHint is ignored") << QStringList{"foreign-unlocked"} << 0;
}

void TestPower::unlockReportedOnce()
{
    QFETCH(QStringList, events);
    QFETCH(int, expected);
    QDBusConnection service = QDBusConnection::connectToBus(m_address, m_serviceName);
    QVERIFY(service.registerObject(ManagerPath, m_logind, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService("org.freedesktop.login1"));
    auto watcher = startWatcher();
    QTRY_COMPARE(watcher->sessionPath(), SessionPath);
    QCOMPARE(m_logind->pids, QList<uint>{static_cast<uint>(::getpid())});
    sync();

    const QString session = QStringLiteral("org.freedesktop.login1.Session");
    const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
    const auto hint = [&](const QString& interfaceName, bool locked) {
        sendSignal(SessionPath, properties, "PropertiesChanged",
                   {interfaceName, QVariantMap{{"LockedHint", locked}}, QStringList()});
    };
    for (const QString& event : events) {
        if (event == "unlock")
            sendSignal(SessionPath, session, "Unlock", {});
        else if (event == "locked")
            hint(session, true);
        else if (event == "unlocked")
            hint(session, false);
        else if (event == "other-unlock")
            sendSignal("/org/freedesktop/login1/session/c8", session, "Unlock", {});
        else if (event == "foreign-unlocked")
            hint("org.freedesktop.login1.User", false);
    }
    // signals of one sender arrive in order: once this marker is counted, every event before it was handled
    sendSignal(SessionPath, session, "Unlock", {});
    QTRY_COMPARE(m_unlocked, expected + 1);
    QCOMPARE(m_suspending + m_resumed, 0);
}

QTEST_GUILESS_MAIN(TestPower)
#include "tst_power.moc"
