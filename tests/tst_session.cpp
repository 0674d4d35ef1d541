#include "shell/session.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <csignal>
#include <memory>

namespace {

extern "C" void sentinelHandler(int) {}

struct sigaction currentAction(int signal)
{
    struct sigaction action = {};
    ::sigaction(signal, nullptr, &action);
    return action;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private slots:
    void eachSignalEndsTheSession_data();
    void eachSignalEndsTheSession();
    void severalSignalsEmitOnce();
    void signalFromAnotherThreadArrivesOnWatcherThread();
    void previousHandlersComeBack();
    void secondWatcherStaysInactive();
};

void TestSession::eachSignalEndsTheSession_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Termination request") << SIGTERM;
    QTest::newRow("Hang-up of the terminal or session") << SIGHUP;
    QTest::newRow("Ctrl+C in a terminal") << SIGINT;
}

void TestSession::eachSignalEndsTheSession()
{
    QFETCH(int, signal);
    SessionEndWatcher watcher;
    QVERIFY(watcher.isActive());
    QCOMPARE(currentAction(signal).sa_flags & SA_RESTART, SA_RESTART);
    QSignalSpy spy(&watcher, &SessionEndWatcher::sessionEnding);
    ::kill(::getpid(), signal);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.count(), 1);
}

void TestSession::severalSignalsEmitOnce()
{
    SessionEndWatcher watcher;
    QSignalSpy spy(&watcher, &SessionEndWatcher::sessionEnding);
    ::raise(SIGTERM);
    ::kill(::getpid(), SIGHUP);
    QVERIFY(spy.wait(5000));
    // a signal arriving after the emission, in a later turn of the event loop, is swallowed as well
    ::raise(SIGTERM);
    QTest::qWait(300);
    QCOMPARE(spy.count(), 1);
}

void TestSession::signalFromAnotherThreadArrivesOnWatcherThread()
{
    SessionEndWatcher watcher;
    QThread* emittedOn = nullptr;
    connect(
        &watcher, &SessionEndWatcher::sessionEnding, this, [&] { emittedOn = QThread::currentThread(); },
        Qt::DirectConnection);
    std::unique_ptr<QThread> raiser(QThread::create([] { ::raise(SIGTERM); }));
    raiser->start();
    QVERIFY(raiser->wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(emittedOn != nullptr, 5000);
    QCOMPARE(emittedOn, QThread::currentThread());
}

void TestSession::previousHandlersComeBack()
{
    struct sigaction sentinel = {};
    sentinel.sa_handler = sentinelHandler;
    sigemptyset(&sentinel.sa_mask);
    ::sigaction(SIGTERM, &sentinel, nullptr);
    ::signal(SIGHUP, SIG_IGN);
    ::signal(SIGINT, SIG_DFL);
    {
        SessionEndWatcher watcher;
        QVERIFY(watcher.isActive());
        for (int s : {SIGTERM, SIGHUP, SIGINT}) {
            const auto handler = currentAction(s).sa_handler;
            QVERIFY(handler != sentinelHandler && handler != SIG_IGN && handler != SIG_DFL);
        }
    }
    QVERIFY(currentAction(SIGTERM).sa_handler == sentinelHandler);
    QVERIFY(currentAction(SIGHUP).sa_handler == SIG_IGN);
    QVERIFY(currentAction(SIGINT).sa_handler == SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    QVERIFY(currentAction(SIGTERM).sa_handler == SIG_DFL);
}

void TestSession::secondWatcherStaysInactive()
{
    SessionEndWatcher first;
    QSignalSpy spy(&first, &SessionEndWatcher::sessionEnding);
    {
        SessionEndWatcher second;
        QVERIFY(!second.isActive());
    }
    // destroying the inactive watcher must leave the first one's handlers in place
    QVERIFY(currentAction(SIGTERM).sa_handler != SIG_DFL);
    ::raise(SIGTERM);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.count(), 1);
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
