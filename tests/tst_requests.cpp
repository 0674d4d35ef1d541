#include "app/requests.h"
#include "testenv.h"

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

Q_DECLARE_METATYPE(TRegistrySettings)

namespace {

TRegistrySettings makeRequest(const QString& parameters, const QString& setFocus, const QString& close)
{
    TRegistrySettings request;
    request.Parameters = parameters;
    request.SetFocus = setFocus;
    request.Close = close;
    return request;
}

// Everything in the request file's folder: helper files of a read must not stay behind.
QStringList folderEntries(const QString& requestPath)
{
    return QDir(QFileInfo(requestPath).absolutePath()).entryList(QDir::Files | QDir::Hidden);
}

bool writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestRequests : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void writeThenReadConsumesOnce_data();
    void writeThenReadConsumesOnce();
    void emptyRequestTouchesNothing();
    void failuresAreReportedAsFalse();
    void requestFromAnotherProcessIsRead();
    void foreignValuesStayInTheFile();
    void ourValueUnderAnotherSpellingIsTakenToo_data();
    void ourValueUnderAnotherSpellingIsTakenToo();
    void fileWithoutOurValuesStays_data();
    void fileWithoutOurValuesStays();
    void requestWrittenIntoUnparsableFileIsDelivered();
    void lookalikeRewriteIsReadAnew();
    void writersWaitForTheReadersLock();
    void writerProcess();

    void staleRequestIsDroppedAtStart();
    void watcherDeliversOneSignalPerRequest_data();
    void watcherDeliversOneSignalPerRequest();
    void requestsInQuickSuccessionAreAllDelivered();
    void requestIntoForeignFileIsNoticed();
    void requestWrittenAfterOpeningIsReadOnce();
    void stoppedWatcherLeavesRequests();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestRequests::initTestCase()
{
    requirePrivateHome();
    QCOMPARE(RequestFilePath(), qEnvironmentVariable("XDG_CONFIG_HOME") + "/Tobrik/Requests.conf");
}

void TestRequests::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath("Tobrik/Requests.conf");
}

void TestRequests::cleanup()
{
    m_dir.reset();
}

void TestRequests::writeThenReadConsumesOnce_data()
{
    QTest::addColumn<TRegistrySettings>("request");
    QTest::newRow("A focus request") << makeRequest("", "1", "");
    QTest::newRow("A close request") << makeRequest("", "", "1");
    QTest::newRow("All three values at once") << makeRequest("/x", "1", "1");
    QTest::newRow("A command line with commas, umlauts, quotes and separators")
        << makeRequest("a.txt, b.txt|Grüße \"x\"; y=z #k [s]", "", "");
    QTest::newRow("Blanks around a command line are kept") << makeRequest("  /silent  ", "", "");
}

void TestRequests::writeThenReadConsumesOnce()
{
    QFETCH(TRegistrySettings, request);
    QVERIFY(WriteRegistrySettings(m_path, request));
    QVERIFY(QFile::exists(m_path));

    TRegistrySettings read = makeRequest("old", "old", "old");
    QVERIFY(ReadRegistrySettings(m_path, read));
    QCOMPARE(read.Parameters, request.Parameters);
    QCOMPARE(read.SetFocus, request.SetFocus);
    QCOMPARE(read.Close, request.Close);
    QCOMPARE(folderEntries(m_path), QStringList());

    read = makeRequest("old", "old", "old");
    QVERIFY(!ReadRegistrySettings(m_path, read));
    QVERIFY(read.isEmpty());
}

void TestRequests::emptyRequestTouchesNothing()
{
    QVERIFY(WriteRegistrySettings(m_path, TRegistrySettings()));
    QVERIFY(!QFileInfo::exists(QFileInfo(m_path).absolutePath()));
}

void TestRequests::failuresAreReportedAsFalse()
{
    // A regular file where the folder should be.
    QVERIFY(writeRaw(m_dir->filePath("Tobrik"), "x"));
    QVERIFY(!WriteRegistrySettings(m_path, makeRequest("", "1", "")));
    TRegistrySettings read = makeRequest("old", "", "");
    QVERIFY(!ReadRegistrySettings(m_path, read));
    QVERIFY(read.isEmpty());

    QVERIFY(!WriteRegistrySettings(QString(), makeRequest("", "1", "")));
    QVERIFY(!ReadRegistrySettings(QString(), read));
}

void TestRequests::requestFromAnotherProcessIsRead()
{
    QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    QProcess writer;
    writer.start("sh",
                 {"-c", "printf '[General]\\nProgramParameters=a.txt, b.txt\\nProgramSetFocus=1\\n' > \"$0\"", m_path});
    QVERIFY(writer.waitForFinished(10000));
    QCOMPARE(writer.exitCode(), 0);

    TRegistrySettings read;
    QVERIFY(ReadRegistrySettings(m_path, read));
    QCOMPARE(read.Parameters, QStringLiteral("a.txt, b.txt"));
    QCOMPARE(read.SetFocus, QStringLiteral("1"));
    QVERIFY(read.Close.isEmpty());
    QVERIFY(!QFile::exists(m_path));
}

void TestRequests::foreignValuesStayInTheFile()
{
    QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    QVERIFY(writeRaw(m_path, "[General]\nProgramClose=1\nOther=kept\n[Mine]\nValue=2\n"));

    TRegistrySettings read;
    QCOMPARE(ReadRequest(m_path, read), TReadResult::Found);
    QCOMPARE(read.Close, QStringLiteral("1"));
    QCOMPARE(ReadRequest(m_path, read), TReadResult::Nothing);
    QCOMPARE(folderEntries(m_path), QStringList{"Requests.conf"});

    const QSettings left(m_path, QSettings::IniFormat);
    QCOMPARE(left.allKeys(), (QStringList{"Mine/Value", "Other"}));
    QCOMPARE(left.value("Other").toString(), QStringLiteral("kept"));
}

void TestRequests::ourValueUnderAnotherSpellingIsTakenToo_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("The name again under an empty section header")
        << QByteArray("ProgramClose=1\n[]\nProgramClose=\n") << QStringList();
    QTest::newRow("The name again with slashes around it")
        << QByteArray("[General]\nProgramClose=1\n/ProgramClose/=\nOther=2\n") << QStringList{"Other"};
}

// QSettings reads such a copy as our value: left in the file, it would bring the request once more.
void TestRequests::ourValueUnderAnotherSpellingIsTakenToo()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, left);
    QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    QVERIFY(writeRaw(m_path, content));
    TRegistrySettings read;
    QCOMPARE(ReadRequest(m_path, read), TReadResult::Found);
    QCOMPARE(read.Close, QStringLiteral("1"));
    QCOMPARE(ReadRequest(m_path, read), TReadResult::Nothing);
    QVERIFY(read.isEmpty());
    QCOMPARE(QFile::exists(m_path), !left.isEmpty());
    if (!left.isEmpty())
        QCOMPARE(QSettings(m_path, QSettings::IniFormat).allKeys(), left);
}

void TestRequests::fileWithoutOurValuesStays_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("An empty file, as a writer has just created it") << QByteArray();
    QTest::newRow("A file with foreign values only") << QByteArray("[General]\nOther=kept\n");
    QTest::newRow("A section header not yet written to its end") << QByteArray("[Gen");
    QTest::newRow("A value name not yet written to its end") << QByteArray("[General]\nProgramCl");
    QTest::newRow("A value not yet written") << QByteArray("[General]\nProgramClose=");
    QTest::newRow("An unparsable file") << QByteArray("garbage\n[[[\nx\n=y\n");
}

// Such a file may be a request still being written; deleting it would lose what comes next.
void TestRequests::fileWithoutOurValuesStays()
{
    QFETCH(QByteArray, content);
    QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    QVERIFY(writeRaw(m_path, content));
    TRegistrySettings read = makeRequest("old", "", "");
    QCOMPARE(ReadRequest(m_path, read), TReadResult::Nothing);
    QVERIFY(read.isEmpty());
    QCOMPARE(folderEntries(m_path), QStringList{"Requests.conf"});
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

void TestRequests::requestWrittenIntoUnparsableFileIsDelivered()
{
    QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    QVERIFY(writeRaw(m_path, "garbage\n[[[\nx\n=y\n"));
    QVERIFY(WriteRegistrySettings(m_path, makeRequest("", "1", "")));

    TRegistrySettings read;
    QVERIFY(ReadRegistrySettings(m_path, read));
    QCOMPARE(read.SetFocus, QStringLiteral("1"));
    QVERIFY(!ReadRegistrySettings(m_path, read));
}

// Two writes within one clock tick leave files of equal size and time; the second must
// not be taken for the first, which was read and deleted already.
void TestRequests::lookalikeRewriteIsReadAnew()
{
    QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    QVERIFY(writeRaw(m_path, "[General]\nProgramParameters=1\n"));
    const QDateTime written = QFileInfo(m_path).lastModified();
    TRegistrySettings read;
    QVERIFY(ReadRegistrySettings(m_path, read));
    QCOMPARE(read.Parameters, QStringLiteral("1"));

    QVERIFY(writeRaw(m_path, "[General]\nProgramParameters=2\n"));
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(ReadRegistrySettings(m_path, read));
    QCOMPARE(read.Parameters, QStringLiteral("2"));
}

// The reader keeps writers out between its read and its delete by holding the lock file that
// QSettings takes for every write. Here this process holds it while another one writes.
void TestRequests::writersWaitForTheReadersLock()
{
    QVERIFY(WriteRegistrySettings(m_path, makeRequest("first", "", "")));
    QLockFile readerLock(QFileInfo(m_path).absoluteFilePath() + ".lock");
    QVERIFY(readerLock.tryLock(0));

    QProcess writer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TOBRIK_TEST_REQUEST_FILE", m_path);
    env.insert("TOBRIK_TEST_REQUEST_VALUE", "second");
    writer.setProcessEnvironment(env);
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationFilePath(), {"writerProcess"});
    QVERIFY(writer.waitForStarted());
    QVERIFY(!writer.waitForFinished(1000));

    readerLock.unlock();
    QVERIFY(writer.waitForFinished(10000));
    QCOMPARE(writer.exitCode(), 0);
    TRegistrySettings read;
    QVERIFY(ReadRegistrySettings(m_path, read));
    QCOMPARE(read.Parameters, QStringLiteral("second"));
}

void TestRequests::writerProcess()
{
    const QString path = qEnvironmentVariable("TOBRIK_TEST_REQUEST_FILE");
    if (path.isEmpty())
        QSKIP("runs only as the writing process of writersWaitForTheReadersLock");
    QVERIFY(WriteRegistrySettings(path, makeRequest(qEnvironmentVariable("TOBRIK_TEST_REQUEST_VALUE"), "", "")));
}

void TestRequests::staleRequestIsDroppedAtStart()
{
    QVERIFY(WriteRegistrySettings(m_path, makeRequest("", "1", "1")));
    TWatchRegistrySettings watcher(m_path);
    QVERIFY(!QFile::exists(m_path));
    QSignalSpy focus(&watcher, &TWatchRegistrySettings::setFocusRequested);
    QSignalSpy close(&watcher, &TWatchRegistrySettings::closeRequested);
    QTest::qWait(350);
    QCOMPARE(focus.count(), 0);
    QCOMPARE(close.count(), 0);
}

void TestRequests::watcherDeliversOneSignalPerRequest_data()
{
    QTest::addColumn<TRegistrySettings>("request");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("parameters");
    QTest::newRow("A focus request brings the window to the front") << makeRequest("", "1", "") << "focus"
                                                                    << "";
    QTest::newRow("A close request quits") << makeRequest("", "", "1") << "close"
                                           << "";
    QTest::newRow("With all three values only the command line counts")
        << makeRequest("  a.txt /x ", "1", "1") << "parameters"
        << "a.txt /x";
    QTest::newRow("A blank command line gives way to the focus request") << makeRequest("   ", "1", "1") << "focus"
                                                                         << "";
    QTest::newRow("Focus goes before close") << makeRequest("", "1", "1") << "focus"
                                             << "";
}

void TestRequests::watcherDeliversOneSignalPerRequest()
{
    QFETCH(TRegistrySettings, request);
    QFETCH(QString, expected);
    QFETCH(QString, parameters);

    TWatchRegistrySettings watcher(m_path);
    QSignalSpy parametersSpy(&watcher, &TWatchRegistrySettings::parametersRequested);
    QSignalSpy focusSpy(&watcher, &TWatchRegistrySettings::setFocusRequested);
    QSignalSpy closeSpy(&watcher, &TWatchRegistrySettings::closeRequested);
    QSignalSpy* expectedSpy = expected == "parameters" ? &parametersSpy : expected == "focus" ? &focusSpy : &closeSpy;

    QVERIFY(WriteRegistrySettings(m_path, request));
    QVERIFY(expectedSpy->wait(2000));
    QTest::qWait(300);
    QCOMPARE(parametersSpy.count() + focusSpy.count() + closeSpy.count(), 1);
    QCOMPARE(expectedSpy->count(), 1);
    if (expectedSpy == &parametersSpy)
        QCOMPARE(parametersSpy.at(0).at(0).toString(), parameters);
    QVERIFY(!QFile::exists(m_path));
}

void TestRequests::requestsInQuickSuccessionAreAllDelivered()
{
    TWatchRegistrySettings watcher(m_path);
    QSignalSpy focusSpy(&watcher, &TWatchRegistrySettings::setFocusRequested);
    for (int i = 1; i <= 3; ++i) {
        QVERIFY(WriteRegistrySettings(m_path, makeRequest("", "1", "")));
        QVERIFY(focusSpy.wait(2000));
        QCOMPARE(focusSpy.count(), i);
    }
}

void TestRequests::requestIntoForeignFileIsNoticed()
{
    QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    QVERIFY(writeRaw(m_path, "[General]\nOther=kept\n"));
    TWatchRegistrySettings watcher(m_path);
    QSignalSpy closeSpy(&watcher, &TWatchRegistrySettings::closeRequested);
    QTest::qWait(250);
    QVERIFY(WriteRegistrySettings(m_path, makeRequest("", "", "1")));
    QVERIFY(closeSpy.wait(2000));
    QCOMPARE(QSettings(m_path, QSettings::IniFormat).allKeys(), QStringList{"Other"});
}

// A writer that opens the file, is interrupted, and only then writes: the change notice of the
// creation makes the watcher read the empty file in between.
void TestRequests::requestWrittenAfterOpeningIsReadOnce()
{
    TWatchRegistrySettings watcher(m_path);
    QSignalSpy closeSpy(&watcher, &TWatchRegistrySettings::closeRequested);
    std::atomic<bool> openedS{false};
    std::atomic<bool> keptWhileEmptyS{false};
    std::atomic<bool> writtenS{false};
    std::thread writer([this, &openedS, &keptWhileEmptyS, &writtenS] {
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        openedS = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        keptWhileEmptyS = QFileInfo::exists(m_path);
        const QByteArray request("[General]\nProgramClose=1\n");
        writtenS = file.write(request) == request.size() && file.flush();
    });
    const auto joinWriter = qScopeGuard([&writer] { writer.join(); });

    QTRY_VERIFY_WITH_TIMEOUT(writtenS, 2000);
    QVERIFY(openedS);
    QVERIFY(keptWhileEmptyS);
    QVERIFY(closeSpy.wait(3000));
    QTest::qWait(300);
    QCOMPARE(closeSpy.count(), 1);
    QVERIFY(!QFile::exists(m_path));
}

void TestRequests::stoppedWatcherLeavesRequests()
{
    TWatchRegistrySettings watcher(m_path);
    QSignalSpy focusSpy(&watcher, &TWatchRegistrySettings::setFocusRequested);
    watcher.stop();
    QVERIFY(WriteRegistrySettings(m_path, makeRequest("", "1", "")));
    QTest::qWait(350);
    QCOMPARE(focusSpy.count(), 0);
    QVERIFY(QFile::exists(m_path));
}

QTEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
