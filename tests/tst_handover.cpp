#include "doubles/launcher.h"
#include "shell/handover.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

THandOver sample(const QString& caption, int fontSizePt, const QString& fontName)
{
    return {QStringLiteral("Tobrik V1.13"), caption,    QStringLiteral("/usr/lib/tobrik/tobrik"),
            QStringLiteral("Tobrik"),       fontSizePt, fontName};
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestHandOver : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void init();
    void cleanup() { m_dir.reset(); }
    void bytes_data();
    void bytes();
    void writeReplaces_data();
    void writeReplaces();
    void writeFailsLeavingNothing();
    void privateFolder_data();
    void privateFolder();
    void runtimeFolderIsTheSessionsOwn();
    void startUpdate_data();
    void startUpdate();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QStringList leftovers() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHandOver::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// Part-written files of an interrupted write would carry the name with a suffix.
QStringList TestHandOver::leftovers() const
{
    return QDir(m_dir->path()).entryList({QStringLiteral("Tobrik.cfg.*")}, QDir::AllEntries | QDir::Hidden);
}

void TestHandOver::bytes_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("fontSizePt");
    QTest::addColumn<QString>("fontName");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Five lines, each ended by CR LF; the font as size, blank, name")
        << "Anna (Online) - Tobrik V1.13" << 12 << "Arial"
        << QByteArray(
               "Tobrik V1.13\r\nAnna (Online) - Tobrik V1.13\r\n/usr/lib/tobrik/tobrik\r\nTobrik\r\n12 Arial\r\n");
    QTest::newRow("Umlauts and the euro sign take their Windows-1252 bytes")
        << "Jürgen Größe (Beschäftigt) - Tobrik V1.13" << 35 << "Schrift €"
        << QByteArray("Tobrik V1.13\r\nJ\xFCrgen Gr\xF6\xDF"
                      "e (Besch\xE4"
                      "ftigt) - Tobrik V1.13\r\n"
                      "/usr/lib/tobrik/tobrik\r\nTobrik\r\n35 Schrift \x80\r\n");
    QTest::newRow("A character the code page lacks becomes a question mark")
        << "Łukasz (Online) - Tobrik V1.13" << 12 << "Noto Sans 中文"
        << QByteArray("Tobrik V1.13\r\n?ukasz (Online) - Tobrik V1.13\r\n/usr/lib/tobrik/tobrik\r\nTobrik\r\n"
                      "12 Noto Sans ??\r\n");
    QTest::newRow("A line break inside a value adds no line")
        << "Anna\r\n(Online)\n- Tobrik" << 9 << "Bad\rName"
        << QByteArray("Tobrik V1.13\r\nAnna  (Online) - Tobrik\r\n/usr/lib/tobrik/tobrik\r\nTobrik\r\n9 Bad Name\r\n");
}

void TestHandOver::bytes()
{
    QFETCH(QString, caption);
    QFETCH(int, fontSizePt);
    QFETCH(QString, fontName);
    QFETCH(QByteArray, expected);
    QCOMPARE(HandOverBytes(sample(caption, fontSizePt, fontName)), expected);
}

void TestHandOver::writeReplaces_data()
{
    QTest::addColumn<QString>("before");
    QTest::newRow("Nothing has the name yet") << "nothing";
    QTest::newRow("An older hand-over is replaced") << "file";
    QTest::newRow("A write-protected file is replaced") << "protected";
    QTest::newRow("A planted link is replaced, its target stays unchanged") << "link";
    QTest::newRow("A dangling link does not create its target") << "dangling";
}

void TestHandOver::writeReplaces()
{
    QFETCH(QString, before);
    const QString name = path("Tobrik.cfg");
    const QString victim = path("victim.txt");
    if (before == "file" || before == "protected") {
        QVERIFY(writeFile(name, "old contents that are longer than the new ones\r\n"));
        if (before == "protected")
            QVERIFY(QFile::setPermissions(name, QFile::ReadOwner));
    } else if (before == "link" || before == "dangling") {
        if (before == "link")
            QVERIFY(writeFile(victim, "the user's own file\n"));
        QVERIFY(QFile::link(victim, name));
    }

    QVERIFY(WriteFileReplacing(name, "new\r\n"));

    const QFileInfo info(name);
    QVERIFY(!info.isSymLink());
    QVERIFY(info.isFile());
    QCOMPARE(readFile(name), QByteArray("new\r\n"));
    // Only this user can read what is handed over.
    QCOMPARE(info.permissions() & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);
    if (before == "link")
        QCOMPARE(readFile(victim), QByteArray("the user's own file\n"));
    if (before == "dangling")
        QVERIFY(!QFileInfo::exists(victim));
    QCOMPARE(leftovers(), QStringList());
}

void TestHandOver::writeFailsLeavingNothing()
{
    // A folder at the name cannot be replaced by a file.
    const QString blocked = path("Tobrik.cfg");
    QVERIFY(QDir().mkpath(blocked + "/inside"));
    QVERIFY(!WriteFileReplacing(blocked, "new\r\n"));
    QVERIFY(QFileInfo(blocked + "/inside").isDir());
    QCOMPARE(leftovers(), QStringList());

    QVERIFY(!WriteFileReplacing(path("missing/Tobrik.cfg"), "new\r\n"));
    QVERIFY(!QFileInfo::exists(path("missing")));
    QVERIFY(!WriteFileReplacing(QString(), "new\r\n"));
}

void TestHandOver::privateFolder_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("isPrivate");
    QTest::newRow("The user's own folder closed to others") << "dir" << 0700 << true;
    QTest::newRow("A folder the group may read") << "dir" << 0750 << false;
    QTest::newRow("A folder others may pass through") << "dir" << 0701 << false;
    QTest::newRow("A folder everybody may write") << "dir" << 0777 << false;
    QTest::newRow("A file is no folder") << "file" << 0600 << false;
    QTest::newRow("A missing folder") << "missing" << 0 << false;
    QTest::newRow("A closed folder that belongs to someone else") << "foreign" << 0700 << false;
}

void TestHandOver::privateFolder()
{
    QFETCH(QString, kind);
    QFETCH(int, mode);
    QFETCH(bool, isPrivate);
    const QString folder = path("folder");
    if (kind == "file")
        QVERIFY(writeFile(folder, "x"));
    else if (kind != "missing")
        QVERIFY(QDir().mkdir(folder));
    if (kind == "foreign") {
        if (geteuid() != 0)
            QSKIP("only root can give a folder to another user");
        QCOMPARE(chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    }
    if (kind != "missing")
        QCOMPARE(chmod(QFile::encodeName(folder).constData(), mode_t(mode)), 0);
    QCOMPARE(IsPrivateFolder(folder), isPrivate);
}

void TestHandOver::runtimeFolderIsTheSessionsOwn()
{
    // CTest gives every test a runtime folder of mode 0700.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QVERIFY(IsPrivateFolder(runtime));
    QCOMPARE(PrivateRuntimeFolder(), QDir(runtime).absolutePath() + '/');
}

void TestHandOver::startUpdate_data()
{
    QTest::addColumn<bool>("updaterThere");
    QTest::addColumn<QString>("folder"); // "private", "none" or "blocked" (a folder has the file's name)
    QTest::addColumn<bool>("startAnswer");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("error"); // PROGRAM and FOLDER stand for the two folders
    QTest::newRow("The file is written, then the update program started")
        << true << "private" << true << int(TUpdateOutcome::Started) << "";
    QTest::newRow("Without the update program nothing is written")
        << false << "private" << true << int(TUpdateOutcome::UpdaterNotStarted)
        << "Es ist ein Fehler beim Aktualisieren aufgetreten!\r\n"
           "Das Programm \"PROGRAM/ProgUpdater\" konnte nicht gestartet werden.";
    QTest::newRow("Without a private folder nothing is written or started")
        << true << "none" << true << int(TUpdateOutcome::FileNotSaved)
        << "Es ist ein Fehler beim Aktualisieren aufgetreten!\r\n"
           "Die Datei \"Tobrik.cfg\" konnte nicht gespeichert werden.";
    QTest::newRow("A file that cannot be written starts nothing")
        << true << "blocked" << true << int(TUpdateOutcome::FileNotSaved)
        << "Es ist ein Fehler beim Aktualisieren aufgetreten!\r\n"
           "Die Datei \"FOLDER/Tobrik.cfg\" konnte nicht gespeichert werden.";
    QTest::newRow("An update program that does not start is reported")
        << true << "private" << false << int(TUpdateOutcome::UpdaterNotStarted)
        << "Es ist ein Fehler beim Aktualisieren aufgetreten!\r\n"
           "Das Programm \"PROGRAM/ProgUpdater\" konnte nicht gestartet werden.";
}

void TestHandOver::startUpdate()
{
    QFETCH(bool, updaterThere);
    QFETCH(QString, folder);
    QFETCH(bool, startAnswer);
    QFETCH(int, result);
    QFETCH(QString, error);
    const QString program = path("program");
    const QString runtime = path("runtime");
    QVERIFY(QDir().mkpath(program));
    QVERIFY(QDir().mkpath(runtime));
    if (updaterThere)
        QVERIFY(writeFile(program + "/ProgUpdater", "#!/bin/sh\n"));
    if (folder == "blocked")
        QVERIFY(QDir().mkpath(runtime + "/Tobrik.cfg"));
    RecordingLauncher launcher;
    launcher.answer = startAnswer;
    const THandOver data = sample("Anna (Online) - Tobrik V1.13", 12, "Arial");

    const TUpdateOutcome outcome = StartUpdate(data, folder == "none" ? QString() : runtime + '/', program, launcher);

    QCOMPARE(int(outcome.result), result);
    error.replace("PROGRAM", program).replace("FOLDER", runtime);
    QCOMPARE(UpdateErrorText(outcome), error);
    const QString handedOver = runtime + "/Tobrik.cfg";
    const bool written = updaterThere && folder == "private";
    QCOMPARE(QFileInfo(handedOver).isFile(), written);
    if (written)
        QCOMPARE(readFile(handedOver), HandOverBytes(data));
    const bool startTried = written;
    QCOMPARE(launcher.started.size(), startTried ? 1 : 0);
    if (startTried) {
        // The single argument is the file's name; started in the folder that holds it, the name finds the file.
        QCOMPARE(launcher.started[0].program, program + "/ProgUpdater");
        QCOMPARE(launcher.started[0].args, QStringList{"Tobrik.cfg"});
        QCOMPARE(QDir(launcher.started[0].workingDirectory).absolutePath(), runtime);
    }
    QVERIFY(launcher.opened.isEmpty());
}

QTEST_GUILESS_MAIN(TestHandOver)
#include "tst_handover.moc"
