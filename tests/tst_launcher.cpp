#include "shell/launcher.h"
#include "win/recorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
// Set before every test, so that no test can ever reach the real hibernation command.
const QByteArray HarmlessCommand = "/nonexistent/tobrik-test-hibernate";
} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void hibernateRunsTheReplacementUnchanged_data();
    void hibernateRunsTheReplacementUnchanged();
    void hibernateCommandDefaultsToSystemctl();
    void hibernateWithoutUsableCommandFails();
    void startDetachedPassesArgumentsUnchanged();
    void startDetachedReportsFailure();
    void findCompanion_data();
    void findCompanion();
    void findCompanionLooksNextToTheExecutable();

private:
    QString writeRecorder();
    QStringList recordedArguments();

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLauncher::init()
{
    qputenv("TOBRIK_HIBERNATE_COMMAND", HarmlessCommand);
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestLauncher::cleanup()
{
    qputenv("TOBRIK_HIBERNATE_COMMAND", HarmlessCommand);
    m_dir.reset();
}

// A program that writes its arguments, one a line, into args.txt beside itself; the file appears complete.
QString TestLauncher::writeRecorder()
{
#ifdef Q_OS_WIN
    return CopyRecorder(m_dir->path());
#endif
    const QString path = m_dir->filePath("recorder");
    const QString out = m_dir->filePath("args.txt");
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1.part'\n"
                                "mv '%1.part' '%1'\n")
                     .arg(out)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QStringList TestLauncher::recordedArguments()
{
    QFile file(m_dir->filePath("args.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<no record>")};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

void TestLauncher::hibernateRunsTheReplacementUnchanged_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Plain arguments arrive in order") << "/H now" << QStringList{"/H", "now"};
    QTest::newRow("Double quotes keep blanks inside one argument")
        << "\"two  words\" x" << QStringList{"two  words", "x"};
    QTest::newRow("Semicolon, pipe and ampersands are plain characters")
        << "a;b|c&&d >out" << QStringList{"a;b|c&&d", ">out"};
    QTest::newRow("Command substitution and variables are not expanded")
        << "\"$(touch PWNED)\" `touch PWNED` $HOME" << QStringList{"$(touch PWNED)", "`touch", "PWNED`", "$HOME"};
    QTest::newRow("Tripled double quotes give one literal quote") << "\"\"\"hi\"\"\"" << QStringList{"\"hi\""};
    QTest::newRow("Single quotes are ordinary characters") << "'a b'" << QStringList{"'a", "b'"};
    QTest::newRow("No arguments at all") << "" << QStringList{};
}

void TestLauncher::hibernateRunsTheReplacementUnchanged()
{
    QFETCH(QString, arguments);
    QFETCH(QStringList, expected);
    const QString recorder = writeRecorder();
    QVERIFY(!recorder.isEmpty());
    arguments.replace("PWNED", m_dir->filePath("pwned"));
    for (QString& e : expected)
        e.replace("PWNED", m_dir->filePath("pwned"));
    qputenv("TOBRIK_HIBERNATE_COMMAND", (recorder + ' ' + arguments).toUtf8());

    QVERIFY(Hibernate());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir->filePath("args.txt")), 10000);
    QCOMPARE(recordedArguments(), expected);
    QVERIFY(!QFile::exists(m_dir->filePath("pwned")));
}

void TestLauncher::hibernateCommandDefaultsToSystemctl()
{
    // Only the command is inspected here; nothing is started while the variable is unset.
    qunsetenv("TOBRIK_HIBERNATE_COMMAND");
    const QStringList command = HibernateCommand();
    qputenv("TOBRIK_HIBERNATE_COMMAND", HarmlessCommand);
#ifdef Q_OS_WIN
    QVERIFY(command.isEmpty()); // Hibernate calls the system itself
#else
    QCOMPARE(command, (QStringList{"systemctl", "hibernate"}));
#endif
}

void TestLauncher::hibernateWithoutUsableCommandFails()
{
#ifndef Q_OS_WIN // Windows removes a variable set to empty text, which would leave the system's own hibernation
    qputenv("TOBRIK_HIBERNATE_COMMAND", "");
    QVERIFY(HibernateCommand().isEmpty());
    QVERIFY(!Hibernate());
#endif
    qputenv("TOBRIK_HIBERNATE_COMMAND", "   ");
    QVERIFY(!Hibernate());
    qputenv("TOBRIK_HIBERNATE_COMMAND", HarmlessCommand + " /H");
    QVERIFY(!Hibernate());
}

void TestLauncher::startDetachedPassesArgumentsUnchanged()
{
    const QString recorder = writeRecorder();
    QVERIFY(!recorder.isEmpty());
    const QString pwned = m_dir->filePath("pwned");
    const QStringList args{"30",
                           "\"/opt/Tobrik Programm/tobrik\"",
                           "a; touch " + pwned,
                           "$(touch " + pwned + ")",
                           "",
                           "*",
                           "Grüße",
                           "/systemstartup"};
    QVERIFY(StartDetached(recorder, args));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir->filePath("args.txt")), 10000);
    QCOMPARE(recordedArguments(), args);
    QVERIFY(!QFile::exists(pwned));
}

void TestLauncher::startDetachedReportsFailure()
{
    QVERIFY(!StartDetached(QString(), {}));
    QVERIFY(!StartDetached(m_dir->filePath("missing"), {"x"}));
    QFile notExecutable(m_dir->filePath("plain"));
    QVERIFY(notExecutable.open(QIODevice::WriteOnly));
    notExecutable.close();
    QVERIFY(!StartDetached(notExecutable.fileName(), {}));
}

void TestLauncher::findCompanion_data()
{
    QTest::addColumn<QString>("create");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");
    QTest::newRow("A file of that name is found") << "TobrikStarter"
                                                  << "TobrikStarter" << true;
    QTest::newRow("A missing file is not found") << "ProgUpdater"
                                                 << "TobrikStarter" << false;
    QTest::newRow("Letter case counts") << "tobrikstarter"
                                        << "TobrikStarter" << false;
    QTest::newRow("A folder of that name is not a program") << "TobrikStarter/"
                                                            << "TobrikStarter" << false;
    QTest::newRow("A name with a path does not leave the folder") << "sub/TobrikStarter"
                                                                  << "sub/TobrikStarter" << false;
    QTest::newRow("An empty name finds nothing") << "TobrikStarter"
                                                 << "" << false;
}

void TestLauncher::findCompanion()
{
    QFETCH(QString, create);
    QFETCH(QString, name);
    QFETCH(bool, found);
#ifdef Q_OS_WIN
    // Programs there end with ".exe", and file names ignore letter case.
    if (QTest::currentDataTag() == QLatin1String("Letter case counts"))
        QSKIP("file names ignore letter case on Windows");
    create = create.endsWith('/') ? create.chopped(1) + ".exe/" : create + ".exe";
#endif
    const QString target = m_dir->filePath(create);
    if (create.endsWith('/')) {
        QVERIFY(QDir().mkpath(target));
    } else {
        QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString result = FindCompanion(name, m_dir->path());
    QCOMPARE(result, found ? QFileInfo(target).absoluteFilePath() : QString());
}

void TestLauncher::findCompanionLooksNextToTheExecutable()
{
    // The test program itself is the one file known to lie next to the running executable.
    const QFileInfo self(QCoreApplication::applicationFilePath());
    QCOMPARE(FindCompanion(self.completeBaseName()), self.absoluteFilePath());
    QCOMPARE(FindCompanion(QStringLiteral("TobrikStarter-not-there")), QString());
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
