#include "shell/gui/desktoplauncher.h"
#include "shell/settings.h"
#include "testenv.h"
#include "win/recorder.h"
#include "windowfixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTest>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QString runtimeFolder()
{
#ifdef Q_OS_WIN
    return QDir(QDir::tempPath()).absolutePath();
#else
    return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).absolutePath();
#endif
}

// The update program's file name: Windows looks for "ProgUpdater.exe".
#ifdef Q_OS_WIN
const QString UpdaterFile = QStringLiteral("ProgUpdater.exe");
#else
const QString UpdaterFile = QStringLiteral("ProgUpdater");
#endif

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void cleanup();
    void menusOfferWhatIsThere_data();
    void menusOfferWhatIsThere();
    void historyOpensInTheDesktopsViewer();
    void addressesOpenAsConfigured();
    void updateHandsOverAndStartsTheUpdater_data();
    void updateHandsOverAndStartsTheUpdater();
    void updateFailuresShowTheErrorBox_data();
    void updateFailuresShowTheErrorBox();
    void infoBox();
    void desktopLauncherStartsInTheFolderWithoutAShell();

private:
    static QAction* action(Fixture& f, const char* name) { return f.window->findChild<QAction*>(name); }
    static void openMenu(Fixture& f, const char* name) { emit f.window->findChild<QMenu*>(name)->aboutToShow(); }
    static QString program(Fixture& f) { return f.dir.path() + "/program"; }
};

void TestHelp::cleanup()
{
    QDir runtime(runtimeFolder());
    for (const QString& name : runtime.entryList({"Tobrik.cfg*"}, QDir::AllEntries | QDir::System))
        QVERIFY(QFileInfo(runtime.filePath(name)).isDir() ? QDir(runtime.filePath(name)).removeRecursively()
                                                          : runtime.remove(name));
}

void TestHelp::menusOfferWhatIsThere_data()
{
    QTest::addColumn<QStringList>("files"); // in the program folder
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<bool>("update");
    const QStringList all{"MenuHilfeHistory", "MenuHilfeMail", "MenuHilfeHomepage", "MenuHilfeSpenden",
                          "MenuHilfeInfo"};
    QTest::newRow("An empty program folder: only the information")
        << QStringList() << QByteArray() << QStringList{"MenuHilfeInfo"} << false;
    QTest::newRow("Everything there") << QStringList{"History.txt", UpdaterFile}
                                      << QByteArray(
                                             "[Hilfe]\nMail=it@schule.example\nHomepage=https://schule.example/\n"
                                             "Spenden=https://schule.example/spenden\n")
                                      << all << true;
    QTest::newRow("Only a home page configured")
        << QStringList{"History.txt"} << QByteArray("[Hilfe]\nHomepage=https://schule.example/\n")
        << QStringList{"MenuHilfeHistory", "MenuHilfeHomepage", "MenuHilfeInfo"} << false;
    QTest::newRow("A malformed address is not offered")
        << QStringList{UpdaterFile} << QByteArray("[Hilfe]\nMail=niemand\nSpenden=ftp://schule.example/\n")
        << QStringList{"MenuHilfeInfo"} << true;
    QTest::newRow("A folder named like the updater is no updater")
        << QStringList{UpdaterFile + "/", "History.txt/"} << QByteArray() << QStringList{"MenuHilfeInfo"} << false;
}

void TestHelp::menusOfferWhatIsThere()
{
    QFETCH(QStringList, files);
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, enabled);
    QFETCH(bool, update);
    Fixture f;
    f.start();
    // What the window saw at its start is nothing; the menus look again each time they open.
    for (const QString& name : files) {
        if (name.endsWith('/'))
            QVERIFY(QDir().mkpath(program(f) + '/' + name));
        else
            QVERIFY(writeFile(program(f) + '/' + name, "x"));
    }
    if (!ini.isEmpty())
        QVERIFY(writeFile(program(f) + "/Tobrik.ini", ini));

    openMenu(f, "MenuHilfe");
    QStringList actual;
    for (const char* name :
         {"MenuHilfeHistory", "MenuHilfeMail", "MenuHilfeHomepage", "MenuHilfeSpenden", "MenuHilfeInfo"})
        if (action(f, name)->isEnabled())
            actual << name;
    QCOMPARE(actual, enabled);
    QCOMPARE(action(f, "MenuHilfeUpdate")->isVisible(), update);
    openMenu(f, "PuCti");
    QCOMPARE(action(f, "PuCtiUpdate")->isVisible(), update);

    // Gone again: the next opening withdraws them.
    QVERIFY(QDir(program(f)).removeRecursively());
    openMenu(f, "MenuHilfe");
    openMenu(f, "PuCti");
    QVERIFY(!action(f, "MenuHilfeHistory")->isEnabled());
    QVERIFY(!action(f, "MenuHilfeMail")->isEnabled());
    QVERIFY(!action(f, "MenuHilfeUpdate")->isVisible());
    QVERIFY(!action(f, "PuCtiUpdate")->isVisible());
}

void TestHelp::historyOpensInTheDesktopsViewer()
{
    Fixture f;
    f.start();
    const QString history = program(f) + "/History.txt";
    QVERIFY(writeFile(history, "Version 1.13\r\n"));
    openMenu(f, "MenuHilfe");
    action(f, "MenuHilfeHistory")->trigger();
    QCOMPARE(f.launcher.opened, QList<QUrl>{QUrl::fromLocalFile(history)});

    // Removed while the menu was open: nothing is shown.
    QVERIFY(QFile::remove(history));
    action(f, "MenuHilfeHistory")->trigger();
    QCOMPARE(f.launcher.opened.size(), 1);
    QVERIFY(f.dialogs.infos.isEmpty());
}

void TestHelp::addressesOpenAsConfigured()
{
    Fixture f;
    f.start();
    QVERIFY(writeFile(program(f) + "/Tobrik.ini", "[Hilfe]\nMail=it@schule.example\nHomepage=https://schule.example/\n"
                                                  "Spenden=https://schule.example/spenden\n"));
    openMenu(f, "MenuHilfe");
    for (const char* name : {"MenuHilfeMail", "MenuHilfeHomepage", "MenuHilfeSpenden"})
        action(f, name)->trigger();
    QCOMPARE(f.launcher.opened, (QList<QUrl>{QUrl("mailto:it@schule.example?subject=Tobrik%20V1.13"),
                                             QUrl("https://schule.example/"), QUrl("https://schule.example/spenden")}));

    // The file changed since the menu opened: an address no longer configured opens nothing.
    QVERIFY(writeFile(program(f) + "/Tobrik.ini", "[Hilfe]\n"));
    for (const char* name : {"MenuHilfeMail", "MenuHilfeHomepage", "MenuHilfeSpenden"})
        action(f, name)->trigger();
    QCOMPARE(f.launcher.opened.size(), 3);
    QVERIFY(f.launcher.started.isEmpty());
}

void TestHelp::updateHandsOverAndStartsTheUpdater_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("fromTray");
    QTest::newRow("From the help menu") << "MenuHilfeUpdate" << false;
    QTest::newRow("From the tray menu, the window waiting in the tray") << "PuCtiUpdate" << true;
}

void TestHelp::updateHandsOverAndStartsTheUpdater()
{
    QFETCH(QString, item);
    QFETCH(bool, fromTray);
    Fixture f;
    f.start();
    QVERIFY(writeFile(program(f) + '/' + UpdaterFile, "#!/bin/sh\n"));
    f.window->settings().Einstellungen.Name = "Jürgen";
    f.window->settings().GlobalFont.name = "DejaVu Sans";
    f.window->settings().GlobalFont.sizePt = 14;
    f.window->SetFensterTitel(false);
    if (fromTray)
        f.window->FensterMinimierenWiederherstellen(true);
    // A link planted at the hand-over's name must not lead the write elsewhere.
    const QString victim = f.dir.path() + "/victim.txt";
    QVERIFY(writeFile(victim, "the user's own file\n"));
    const QString handOver = runtimeFolder() + "/Tobrik.cfg";
#ifndef Q_OS_WIN // QFile::link makes a shell shortcut there, not a link that a write could follow
    QVERIFY(QFile::link(victim, handOver));
#endif

    openMenu(f, fromTray ? "PuCti" : "MenuHilfe");
    f.window->findChild<QAction*>(item)->trigger();

    QCOMPARE(readFile(victim), QByteArray("the user's own file\n"));
    QVERIFY(!QFileInfo(handOver).isSymLink());
    const QByteArray expected = "Tobrik V1.13\r\nJ\xFCrgen (Online) - Tobrik V1.13\r\n" +
                                QFile::encodeName(QCoreApplication::applicationFilePath()) +
                                "\r\nTobrik\r\n14 DejaVu Sans\r\n";
    QCOMPARE(readFile(handOver), expected);
    QCOMPARE(f.launcher.started.size(), 1);
    QCOMPARE(f.launcher.started[0].program, program(f) + '/' + UpdaterFile);
    QCOMPARE(f.launcher.started[0].args, QStringList{"Tobrik.cfg"});
    QCOMPARE(QDir(f.launcher.started[0].workingDirectory).absolutePath(), runtimeFolder());
    // The program goes on as it was; what happens next is the update program's business.
    QVERIFY(f.dialogs.infos.isEmpty());
    QCOMPARE(f.window->inTray(), fromTray);
    QCOMPARE(f.ended->count(), 0);
}

void TestHelp::updateFailuresShowTheErrorBox_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("text"); // RUNTIME and PROGRAM stand for the two folders
    QTest::newRow("The hand-over file cannot be written")
        << "blocked"
        << "Es ist ein Fehler beim Aktualisieren aufgetreten!\n"
           "Die Datei \"RUNTIME/Tobrik.cfg\" konnte nicht gespeichert werden.";
    QTest::newRow("The update program vanished after the menu opened")
        << "vanished"
        << "Es ist ein Fehler beim Aktualisieren aufgetreten!\n"
           "Das Programm \"PROGRAM/ProgUpdater\" konnte nicht gestartet werden.";
    QTest::newRow("The update program does not start")
        << "refused"
        << "Es ist ein Fehler beim Aktualisieren aufgetreten!\n"
           "Das Programm \"PROGRAM/ProgUpdater\" konnte nicht gestartet werden.";
}

void TestHelp::updateFailuresShowTheErrorBox()
{
    QFETCH(QString, fault);
    QFETCH(QString, text);
    Fixture f;
    f.start();
    QVERIFY(writeFile(program(f) + '/' + UpdaterFile, "#!/bin/sh\n"));
    f.window->FensterMinimierenWiederherstellen(true);
    openMenu(f, "PuCti");
    QVERIFY(action(f, "PuCtiUpdate")->isVisible());
    if (fault == "blocked")
        QVERIFY(QDir().mkpath(runtimeFolder() + "/Tobrik.cfg"));
    else if (fault == "vanished")
        QVERIFY(QFile::remove(program(f) + '/' + UpdaterFile));
    else
        f.launcher.answer = false;

    action(f, "PuCtiUpdate")->trigger();

    // The box is not shown to an empty screen: the window comes back from the tray first.
    QVERIFY(!f.window->inTray());
    // A program that does not start is named with its full file name.
    if (fault == "refused")
        text.replace("PROGRAM/ProgUpdater", "PROGRAM/" + UpdaterFile);
    QCOMPARE(f.dialogs.infos, QStringList{text.replace("RUNTIME", runtimeFolder()).replace("PROGRAM", program(f))});
    QCOMPARE(f.launcher.started.size(), fault == "refused" ? 1 : 0);
    QCOMPARE(f.ended->count(), 0);
}

void TestHelp::infoBox()
{
    Fixture f;
    f.start();
    action(f, "MenuHilfeInfo")->trigger();
    QCOMPARE(f.dialogs.infos.size(), 1);
    const QStringList lines = f.dialogs.infos[0].split('\n');
    QCOMPARE(lines.mid(0, 2),
             (QStringList{"Tobrik V1.13", "Dieses Programm kann Nachrichten über das Netzwerk versenden."}));
    QVERIFY(!f.dialogs.infos[0].contains('\r'));
    QVERIFY(!f.dialogs.infos[0].contains("E-Mail"));
}

// The updater finds "Tobrik.cfg" by its bare name because it starts in the folder that holds the file.
void TestHelp::desktopLauncherStartsInTheFolderWithoutAShell()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("runtime");
    QVERIFY(QDir().mkpath(folder));
    const QString pwned = dir.filePath("pwned");
#ifdef Q_OS_WIN
    // The recorder writes its working folder and its arguments beside itself.
    const QString recorder = CopyRecorder(dir.path());
    QVERIFY(!recorder.isEmpty());
    DesktopLauncher launcher;
    QVERIFY(launcher.Start(recorder, {"Tobrik.cfg", "$(touch " + pwned + ")", "a & echo b > " + pwned}, folder));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath("args.txt")), 10000);
    QCOMPARE(QDir::fromNativeSeparators(QString::fromUtf8(readFile(dir.filePath("cwd.txt")))).toLower(),
             (folder + "\n").toLower());
    QCOMPARE(readFile(dir.filePath("args.txt")),
             ("Tobrik.cfg\n$(touch " + pwned + ")\na & echo b > " + pwned + "\n").toUtf8());
#else
    const QString recorder = dir.filePath("recorder");
    const QString out = dir.filePath("out.txt");
    QVERIFY(writeFile(recorder, QStringLiteral("#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } "
                                               "> '%1.part'\nmv '%1.part' '%1'\n")
                                    .arg(out)
                                    .toUtf8()));
    QVERIFY(QFile::setPermissions(recorder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    DesktopLauncher launcher;
    QVERIFY(launcher.Start(recorder, {"Tobrik.cfg", "$(touch " + pwned + ")"}, folder));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(out), 10000);
    QCOMPARE(readFile(out), (folder + "\nTobrik.cfg\n$(touch " + pwned + ")\n").toUtf8());
#endif
    QVERIFY(!QFileInfo::exists(pwned));
    QVERIFY(!launcher.Start(QString(), {}, folder));
    QVERIFY(!launcher.Start(dir.filePath("missing"), {}, folder));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
