#include "common/clock.h"
#include "doubles/clock.h"
#include "shell/lastinput_x11.h"

#include "testenv.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

// Well above the few milliseconds between a server's clock and ours, well below any pause a test makes.
constexpr int32_t Slack = 60;

// An X server of the test's own. -displayfd lets Xvfb pick a free display number and tells us once it accepts
// connections, so parallel runs never collide and nobody has to poll.
class PrivateXServer
{
public:
    ~PrivateXServer() { stop(); }

    bool start(const QStringList& extraArgs = {})
    {
        m_process.start(QStringLiteral("Xvfb"), QStringList{QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                            QStringLiteral("-nolisten"), QStringLiteral("tcp")} +
                                                    extraArgs);
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

// A display name with neither a lock file nor a socket, so no server answers there.
std::string unservedDisplayName()
{
    for (int n = 900; n < 1000; ++n) {
        if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) &&
            !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            return ":" + std::to_string(n);
    }
    return ":999";
}

// Takes DISPLAY away from this process for one scope only.
class NoDisplayVariable
{
public:
    NoDisplayVariable()
        : m_saved(qgetenv("DISPLAY"))
        , m_wasSet(qEnvironmentVariableIsSet("DISPLAY"))
    {
        qunsetenv("DISPLAY");
    }
    ~NoDisplayVariable()
    {
        if (m_wasSet)
            qputenv("DISPLAY", m_saved);
    }

private:
    QByteArray m_saved;
    bool m_wasSet;
};

bool haveXvfb()
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
}

} // namespace

class TestLastInput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }

    void unusableDisplayAnswersNothing_data();
    void unusableDisplayAnswersNothing();
    void idleTimeIsCountedBackFromTheCallersClock_data();
    void idleTimeIsCountedBackFromTheCallersClock();
    void tickStaysPutWhileNothingHappens();
    void inputMovesTickToNow_data();
    void inputMovesTickToNow();
    void serverGoingAwayAnswersNothing();
};

void TestLastInput::unusableDisplayAnswersNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("No DISPLAY in the environment") << "unset";
    QTest::newRow("A display number nobody serves") << "unserved";
    QTest::newRow("A name that is no display name") << "garbage";
    QTest::newRow("A server without the screen-saver extension") << "noextension";
}

void TestLastInput::unusableDisplayAnswersNothing()
{
    QFETCH(QString, kind);
    ManualClock clock;
    clock.setTickCount(50000);
    NoDisplayVariable noDisplay;
    PrivateXServer server;
    std::string name;
    if (kind == "unserved") {
        name = unservedDisplayName();
    } else if (kind == "garbage") {
        name = "no display here";
    } else if (kind == "noextension") {
        if (!haveXvfb())
            QSKIP("Xvfb is not installed");
        QVERIFY(server.start({QStringLiteral("-extension"), QStringLiteral("MIT-SCREEN-SAVER")}));
        name = server.name();
    }
    X11LastInput source(clock, name);
    // Asked twice: the second call takes the path where opening was already tried.
    QCOMPARE(source.lastInputTick(), std::nullopt);
    QCOMPARE(source.lastInputTick(), std::nullopt);
}

void TestLastInput::idleTimeIsCountedBackFromTheCallersClock_data()
{
    QTest::addColumn<uint32_t>("now");
    QTest::newRow("Clock far from zero") << uint32_t(1000000);
    QTest::newRow("Clock at zero: the tick wraps below it") << uint32_t(0);
    QTest::newRow("Clock just below the wrap") << uint32_t(0xFFFFFFF0u);
}

void TestLastInput::idleTimeIsCountedBackFromTheCallersClock()
{
    if (!haveXvfb())
        QSKIP("Xvfb is not installed");
    QFETCH(uint32_t, now);
    PrivateXServer server;
    QVERIFY(server.start());
    ManualClock clock;
    clock.setTickCount(now);
    X11LastInput source(clock, server.name());

    const std::optional<uint32_t> first = source.lastInputTick();
    QVERIFY(first.has_value());
    QTest::qSleep(400);
    const std::optional<uint32_t> second = source.lastInputTick();
    QVERIFY(second.has_value());

    // The clock stood still, so the tick moves back by the idle time that passed in between.
    const uint32_t firstIdle = now - *first;
    const uint32_t secondIdle = now - *second;
    QVERIFY2(firstIdle < 60000, qPrintable(QString::number(firstIdle)));
    const int32_t grown = static_cast<int32_t>(secondIdle - firstIdle);
    QVERIFY2(grown >= 400 - Slack && grown < 5000, qPrintable(QString::number(grown)));
}

void TestLastInput::tickStaysPutWhileNothingHappens()
{
    if (!haveXvfb())
        QSKIP("Xvfb is not installed");
    PrivateXServer server;
    QVERIFY(server.start());
    const SystemClock clock;
    X11LastInput source(clock, server.name());

    const std::optional<uint32_t> first = source.lastInputTick();
    QVERIFY(first.has_value());
    QTest::qSleep(400);
    const std::optional<uint32_t> second = source.lastInputTick();
    QVERIFY(second.has_value());
    const int32_t drift = static_cast<int32_t>(*second - *first);
    QVERIFY2(std::abs(drift) <= Slack, qPrintable(QString::number(drift)));
    QVERIFY(static_cast<int32_t>(clock.tickCount() - *second) >= 400 - Slack);
}

void TestLastInput::inputMovesTickToNow_data()
{
    QTest::addColumn<QStringList>("xdotoolArgs");
    QTest::newRow("Mouse movement") << QStringList{"mousemove", "37", "41"};
    QTest::newRow("Key press") << QStringList{"key", "shift"};
}

void TestLastInput::inputMovesTickToNow()
{
    if (!haveXvfb() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("Xvfb or xdotool is not installed");
    QFETCH(QStringList, xdotoolArgs);
    PrivateXServer server;
    QVERIFY(server.start());
    const SystemClock clock;
    X11LastInput source(clock, server.name());

    QTest::qSleep(500);
    const std::optional<uint32_t> before = source.lastInputTick();
    QVERIFY(before.has_value());
    const uint32_t started = clock.tickCount();
    QVERIFY(server.xdotool(xdotoolArgs));
    const uint32_t finished = clock.tickCount();
    const std::optional<uint32_t> after = source.lastInputTick();
    QVERIFY(after.has_value());

    QVERIFY2(static_cast<int32_t>(*after - started) >= -Slack && static_cast<int32_t>(finished - *after) >= -Slack,
             qPrintable(QStringLiteral("input between %1 and %2, reported %3").arg(started).arg(finished).arg(*after)));
    QVERIFY(static_cast<int32_t>(*after - *before) >= 500 - Slack);
}

void TestLastInput::serverGoingAwayAnswersNothing()
{
    if (!haveXvfb())
        QSKIP("Xvfb is not installed");
    const SystemClock clock;
    auto server = std::make_unique<PrivateXServer>();
    QVERIFY(server->start());
    X11LastInput source(clock, server->name());
    QVERIFY(source.lastInputTick().has_value());

    server.reset();
    // Xlib's default would end this process here; the source must answer nothing instead, also when asked again
    // and when it closes the dead connection at the end of this scope.
    QCOMPARE(source.lastInputTick(), std::nullopt);
    QCOMPARE(source.lastInputTick(), std::nullopt);
}

QTEST_GUILESS_MAIN(TestLastInput)
#include "tst_lastinput.moc"
