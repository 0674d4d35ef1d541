#include "common/fields.h"
#include "data/ansi.h"
#include "data/logformat.h"
#include "data/logliste.h"
#include "data/textfile.h"
#include "doubles/clock.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

TUserListeRec partner(const QString& user, const QString& name, const QString& pc, const QString& text = QString(),
                      const QDateTime& zeit = QDateTime())
{
    TUserListeRec rec;
    rec.UserName = user;
    rec.Name = name;
    rec.PC = pc;
    rec.Text = text;
    rec.Zeit = zeit;
    return rec;
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes, const QDateTime& mtime = QDateTime())
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
    QVERIFY(f.flush()); // a later flush would set the time again
    if (mtime.isValid())
        QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
}

// The plain reading of "every CR and LF stands in a CR LF pair".
bool loneBreakByHand(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))
            return true;
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            return true;
    }
    return false;
}

QStringList folderEntries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestLogListe : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void init();
    void cleanup();

    void blockTexts();
    void receivedMessageCreatesInboxEntryAndFiles();
    void readOrSentMovesToHistory_data();
    void readOrSentMovesToHistory();
    void keysDifferingInCaseAreTwoPartnersWithOneInboxKey();
    void inboxKeysWithoutLogAreDroppedAtLoad();
    void malformedHeaderIsSetAside_data();
    void malformedHeaderIsSetAside();
    void blankDisplayNameBecomesUserName();
    void headerOnlyAndEmptyLogsStayUnlisted();
    void pruning_data();
    void pruning();
    void loadOrderFollowsLastWriteTime();
    void loadingOnAThreadThatEnds();
    void hostileNamesStayInFolder_data();
    void hostileNamesStayInFolder();
    void failingSaveKeepsPreviousFile();
    void readOnlyLogIsMadeWritable();
    void ansiLogFromOlderVersionLoads();
    void lookupsAndEdits();
    void updateTakesNewDisplayNames_data();
    void updateTakesNewDisplayNames();
    void loadingWithoutCopyEqualsCopying_data();
    void loadingWithoutCopyEqualsCopying();

private:
    QString folder() const { return m_dir->path() + u'/'; }
    QString blockLines(int daysAgo, const QString& body) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    ManualClock m_clock;
};

void TestLogListe::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_clock.setNow(QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9)));
}

void TestLogListe::cleanup()
{
    m_dir.reset();
}

// A received block as the loader sees it: CR LF between lines, dated late in the day so that only
// the date counts, not the hours.
QString TestLogListe::blockLines(int daysAgo, const QString& body) const
{
    const QDateTime zeit(m_clock.now().date().addDays(-daysAgo), QTime(23, 59, 59));
    const QString block = BlockNachrichtVon(QStringLiteral("Anna"), zeit, body, QString());
    return SplitLines(block).join(QStringLiteral("\r\n"));
}

void TestLogListe::blockTexts()
{
    const QDateTime zeit(QDate(2026, 12, 9), QTime(4, 5, 9));
    QCOMPARE(BlockNachrichtVon("Anna Maier", zeit, " Hallo\r\nWelt ", "alt"),
             QString("Nachricht von Anna Maier (09.12.2026 04:05:09):\r Hallo\r\nWelt \ralt"));
    QCOMPARE(BlockNachrichtAn("Anna Maier", zeit, "  Hallo \r\n", QString()),
             QString("Nachricht an Anna Maier (09.12.2026 04:05:09):\rHallo\r"));
    QCOMPARE(PartnerKey(partner("amaier", "Anna", "R12-PC")), QString("amaier_R12-PC"));
    QCOMPARE(BlockHeaderDate(u"Nachricht an Anna Maier (09.12.2026 04:05:09):"), QDate(2026, 12, 9));
    QVERIFY(!BlockHeaderDate(u"Nachricht an Anna (31.02.2026 04:05:09):").isValid());
    QVERIFY(!BlockHeaderDate(u"Nachricht an Anna (09.12.26 04:05:09):").isValid());
    QVERIFY(!BlockHeaderDate(u"Nachricht an Anna (09.12.2026 04:05:09)").isValid());
}

void TestLogListe::receivedMessageCreatesInboxEntryAndFiles()
{
    TLogListe logs(folder(), m_clock);
    const QString text = BlockNachrichtVon("Jörg Müller", m_clock.now(), "Grüße\nzweite Zeile", QString());
    QVERIFY(logs.Add(true, partner("jmueller", "Jörg Müller", "R12-PC", text, m_clock.now())));

    QCOMPARE(logs.Count(TLogListe::Eingang), 1);
    QCOMPARE(logs.Count(TLogListe::Verlauf), 0);
    QCOMPARE(logs.Get(TLogListe::Eingang, 0).Text, text);
    QCOMPARE(logs.EingangSl, QStringList{"jmueller_R12-PC"});
    QCOMPARE(logs.EingangFilename, folder() + "Eingang.txt");
    QCOMPARE(readBytes(folder() + "Eingang.txt"), Bom + "jmueller_R12-PC\r\n");
    QCOMPARE(readBytes(folder() + "jmueller_R12-PC.log"),
             Bom + QString("jmueller|Jörg Müller|R12-PC\r\n"
                           "Nachricht von Jörg Müller (09.12.2026 14:05:09):\r\n"
                           "Grüße\r\nzweite Zeile\r\n")
                       .toUtf8());

    // A second message replaces the entry and adds no second key.
    const QString text2 = BlockNachrichtVon("Jörg Müller", m_clock.now().addSecs(5), "Noch was", text);
    QVERIFY(logs.Add(true, partner("jmueller", "Jörg Müller", "R12-PC", text2, m_clock.now().addSecs(5))));
    QCOMPARE(logs.Count(TLogListe::Eingang), 1);
    QCOMPARE(logs.Get(TLogListe::Eingang, 0).Text, text2);
    QCOMPARE(readBytes(folder() + "Eingang.txt"), Bom + "jmueller_R12-PC\r\n");

    TLogListe reloaded(folder(), m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 1);
    const TUserListeRec entry = reloaded.Get(TLogListe::Eingang, 0);
    QCOMPARE(entry.Name, QString("Jörg Müller"));
    QCOMPARE(entry.Text, TrimBlanks(SplitLines(text2).join("\r\n")));
}

void TestLogListe::readOrSentMovesToHistory_data()
{
    QTest::addColumn<QString>("newText");
    QTest::newRow("Marking as read keeps the log text") << QString();
    QTest::newRow("Sending a reply puts the sent block on top") << QString("Antwort");
}

void TestLogListe::readOrSentMovesToHistory()
{
    QFETCH(QString, newText);
    TLogListe logs(folder(), m_clock);
    const TUserListeRec other = partner("bernd", "Bernd", "PC2", "Nachricht von Bernd (09.12.2026 14:00:00):\rHi\r");
    QVERIFY(logs.Add(true, other));
    TUserListeRec anna = partner("anna", "Anna", "PC1", BlockNachrichtVon("Anna", m_clock.now(), "Hallo", QString()));
    QVERIFY(logs.Add(true, anna));
    QCOMPARE(logs.EingangSl, QStringList({"bernd_PC2", "anna_PC1"}));

    if (!newText.isEmpty())
        anna.Text = BlockNachrichtAn("Anna", m_clock.now(), newText, anna.Text);
    QVERIFY(logs.Add(false, anna));

    QCOMPARE(logs.Count(TLogListe::Eingang), 1);
    QCOMPARE(logs.Get(TLogListe::Eingang, 0).UserName, QString("bernd"));
    QCOMPARE(logs.Count(TLogListe::Verlauf), 1);
    QCOMPARE(logs.Get(TLogListe::Verlauf, 0).Text, anna.Text);
    QCOMPARE(logs.EingangSl, QStringList{"bernd_PC2"});
    QCOMPARE(readBytes(folder() + "Eingang.txt"), Bom + "bernd_PC2\r\n");
    QCOMPARE(readBytes(folder() + "anna_PC1.log"), Bom + LogFileText(anna).toUtf8());

    TLogListe reloaded(folder(), m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 1);
    QCOMPARE(reloaded.Count(TLogListe::Verlauf), 1);
    QCOMPARE(reloaded.Get(TLogListe::Verlauf, 0).PC, QString("PC1"));
}

void TestLogListe::keysDifferingInCaseAreTwoPartnersWithOneInboxKey()
{
#ifdef Q_OS_WIN
    QSKIP("file names ignore letter case on Windows: there the two keys share one log, as designed");
#endif
    TLogListe logs(folder(), m_clock);
    QVERIFY(logs.Add(true, partner("amaier", "Anna", "PC", "a")));
    QVERIFY(logs.Add(true, partner("AMaier", "Anna", "PC", "b")));
    QCOMPARE(logs.Count(TLogListe::Eingang), 2);
    QCOMPARE(logs.EingangSl, QStringList{"amaier_PC"});
    QVERIFY(QFile::exists(folder() + "amaier_PC.log"));
    QVERIFY(QFile::exists(folder() + "AMaier_PC.log"));

    // The inbox file holds the first partner's key only, yet both count as unread.
    TLogListe reloaded(folder(), m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 2);

    // Reading either removes the one shared key.
    QVERIFY(reloaded.Add(false, partner("AMaier", "Anna", "PC", "b")));
    QVERIFY(reloaded.EingangSl.isEmpty());
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 1);
}

void TestLogListe::inboxKeysWithoutLogAreDroppedAtLoad()
{
    writeBytes(folder() + "a_PC1.log", "a|A|PC1\r\nx\r\n");
    writeBytes(folder() + "b_PC3.log", "b|B|PC3\r\ny\r\n");
    writeBytes(folder() + "C_pc5.log", "C|C|pc5\r\nz\r\n");
    const QByteArray inbox = "a_PC1\r\n   \r\ngone_PC2\r\n b_PC3 \r\n\r\nc_PC5\r\n";
    writeBytes(folder() + "Eingang.txt", inbox);

    TLogListe logs(folder(), m_clock);
    logs.LoadLogs();
    QCOMPARE(logs.EingangSl, QStringList({"a_PC1", "b_PC3", "c_PC5"}));
    QCOMPARE(logs.Count(TLogListe::Eingang), 3);
    QCOMPARE(logs.Count(TLogListe::Verlauf), 0);
    QCOMPARE(readBytes(folder() + "Eingang.txt"), inbox);

    QVERIFY(logs.Add(true, partner("d", "D", "PC4", "w")));
    QCOMPARE(readBytes(folder() + "Eingang.txt"), Bom + "a_PC1\r\nb_PC3\r\nc_PC5\r\nd_PC4\r\n");
}

void TestLogListe::malformedHeaderIsSetAside_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("badExists");
    QTest::addColumn<QString>("asideName");
    QTest::newRow("Empty display name gives two fields") << QByteArray("u||PC") << false << "u_PC.log.bad";
    QTest::newRow("Display name with a bar gives four fields") << QByteArray("u|A|B|PC") << false << "u_PC.log.bad";
    QTest::newRow("Blank first line has no field") << QByteArray("") << false << "u_PC.log.bad";
    QTest::newRow("An earlier damaged copy is not overwritten") << QByteArray("u|PC") << true << "u_PC.log.bad.1";
    QTest::newRow("A user name of blanks names nobody") << QByteArray(" \t |A|PC") << false << "u_PC.log.bad";
    QTest::newRow("A PC name of control characters names nobody")
        << QByteArray("u|A|\x01\x7F") << false << "u_PC.log.bad";
}

void TestLogListe::malformedHeaderIsSetAside()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, badExists);
    QFETCH(QString, asideName);
    const QByteArray content = header + "\r\nNachricht von A (09.12.2026 14:05:09):\r\nHallo\r\n";
    writeBytes(folder() + "u_PC.log", content);
    if (badExists)
        writeBytes(folder() + "u_PC.log.bad", "older");
    writeBytes(folder() + "ok_PC.log", "ok|Ok|PC\r\nText\r\n");

    TLogListe logs(folder(), m_clock);
    logs.LoadLogs();
    QCOMPARE(logs.Count(TLogListe::Verlauf), 1);
    QCOMPARE(logs.Get(TLogListe::Verlauf, 0).UserName, QString("ok"));
    QVERIFY(!QFile::exists(folder() + "u_PC.log"));
    QCOMPARE(readBytes(folder() + asideName), content);
    if (badExists)
        QCOMPARE(readBytes(folder() + "u_PC.log.bad"), QByteArray("older"));

    logs.LoadLogs();
    QCOMPARE(logs.Count(TLogListe::Verlauf), 1);
}

// Saved with an empty display name, the header would lose a field and the log be set aside next time.
void TestLogListe::blankDisplayNameBecomesUserName()
{
    const QByteArray content = "u| \x01 |PC\r\nNachricht von A (09.12.2026 14:05:09):\r\nHallo\r\n";
    writeBytes(folder() + "u_PC.log", content);
    TLogListe logs(folder(), m_clock);
    logs.LoadLogs();
    QCOMPARE(logs.Count(TLogListe::Verlauf), 1);
    const TUserListeRec loaded = logs.Get(TLogListe::Verlauf, 0);
    QCOMPARE(loaded.Name, QString("u"));
    QVERIFY(logs.Add(false, loaded));

    TLogListe reloaded(folder(), m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Verlauf), 1);
    QCOMPARE(reloaded.Get(TLogListe::Verlauf, 0).Text, loaded.Text);
    QCOMPARE(folderEntries(folder()), QStringList({"Eingang.txt", "u_PC.log"}));
}

void TestLogListe::headerOnlyAndEmptyLogsStayUnlisted()
{
    TLogListe logs(folder(), m_clock);
    const TUserListeRec anna = partner("anna", "Anna", "PC1", "Nachricht an Anna (09.12.2026 14:00:00):\rHallo\r");
    QVERIFY(logs.Add(false, anna));
    QVERIFY(logs.DeleteLogText(anna));
    QCOMPARE(logs.Count(TLogListe::Verlauf), 1);
    QVERIFY(logs.Get(TLogListe::Verlauf, 0).Text.isEmpty());
    QCOMPARE(readBytes(folder() + "anna_PC1.log"), Bom + "anna|Anna|PC1\r\n");
    QVERIFY(!logs.DeleteLogText(partner("nobody", "N", "PC9")));
    writeBytes(folder() + "empty_PC.log", QByteArray());

    TLogListe reloaded(folder(), m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang) + reloaded.Count(TLogListe::Verlauf), 0);
    QCOMPARE(readBytes(folder() + "anna_PC1.log"), Bom + "anna|Anna|PC1\r\n");
    QCOMPARE(readBytes(folder() + "empty_PC.log"), QByteArray());
}

void TestLogListe::pruning_data()
{
    // Ages in days of the blocks, newest first; -1 is a block whose date cannot be read.
    QTest::addColumn<QList<int>>("ages");
    QTest::addColumn<QList<int>>("kept");
    QTest::addColumn<QString>("lineBreak");
    const QString crlf = "\r\n";
    QTest::newRow("10, 100 and 120 days keep only the newest block")
        << QList<int>{10, 100, 120} << QList<int>{10} << crlf;
    QTest::newRow("An old block above a recent one stays") << QList<int>{100, 10, 120} << QList<int>{100, 10} << crlf;
    QTest::newRow("A trailing block of exactly 90 days is pruned") << QList<int>{0, 90} << QList<int>{0} << crlf;
    QTest::newRow("A trailing block of 89 days stays") << QList<int>{0, 89} << QList<int>{0, 89} << crlf;
    QTest::newRow("An unreadable date neither prunes nor stops the walk")
        << QList<int>{10, -1, 120} << QList<int>{10, -1} << crlf;
    QTest::newRow("A log of unreadable dates only is kept whole") << QList<int>{-1, -1} << QList<int>{-1, -1} << crlf;
    QTest::newRow("A log of old blocks only is not listed") << QList<int>{91, 400} << QList<int>{} << crlf;
    QTest::newRow("Lines ended by LF alone are pruned and read as CR LF")
        << QList<int>{10, 100, 120} << QList<int>{10} << "\n";
    QTest::newRow("Lines ended by CR alone are pruned and read as CR LF")
        << QList<int>{100, 10, 120} << QList<int>{100, 10} << "\r";
}

void TestLogListe::pruning()
{
    QFETCH(QList<int>, ages);
    QFETCH(QList<int>, kept);
    QFETCH(QString, lineBreak);
    auto block = [this](int age) {
        if (age < 0)
            return QString("Nachricht von Anna (3x.12.2026 10:00:00):\r\nohne Datum\r\nzweite Zeile");
        return blockLines(age, QString("vor %1 Tagen\r\nzweite Zeile").arg(age));
    };
    QStringList all;
    for (int age : ages)
        all << block(age);
    QStringList expected;
    for (int age : kept)
        expected << block(age);
    const QString file = "anna|Anna|PC1\r\n" + all.join("\r\n") + "\r\n";
    writeBytes(folder() + "anna_PC1.log", QString(file).replace("\r\n", lineBreak).toUtf8());

    TLogListe logs(folder(), m_clock);
    logs.LoadLogs();
    if (kept.isEmpty()) {
        QCOMPARE(logs.Count(TLogListe::Verlauf), 0);
        QVERIFY(QFile::exists(folder() + "anna_PC1.log"));
        return;
    }
    QCOMPARE(logs.Count(TLogListe::Verlauf), 1);
    QCOMPARE(logs.Get(TLogListe::Verlauf, 0).Text, expected.join("\r\n"));
}

void TestLogListe::loadOrderFollowsLastWriteTime()
{
    const QDateTime base = m_clock.now();
    struct File
    {
        const char* key;
        int hoursAgo;
    };
    const File files[] = {{"a_PC", 3}, {"Zed_PC", 1}, {"bert_PC", 1}, {"d_PC", 2}, {"e_PC", 5}, {"f_PC", 4}};
    for (const File& f : files) {
        const QString user = QString(f.key).chopped(3);
        writeBytes(folder() + f.key + ".log", (user + "|N|PC\r\nText\r\n").toUtf8(), base.addSecs(-3600 * f.hoursAgo));
    }
    writeBytes(folder() + "Eingang.txt", "e_PC\r\nf_PC\r\n");

    TLogListe logs(folder(), m_clock);
    logs.LoadLogs();
    QStringList history;
    for (int i = 0; i < logs.Count(TLogListe::Verlauf); ++i)
        history << logs.Get(TLogListe::Verlauf, i).UserName;
    // Equal times keep the enumeration order, which is by name ignoring case.
    QCOMPARE(history, QStringList({"bert", "Zed", "d", "a"}));
    QCOMPARE(logs.Get(TLogListe::Verlauf, 0).Zeit.toSecsSinceEpoch(), base.addSecs(-3600).toSecsSinceEpoch());
    QCOMPARE(logs.Count(TLogListe::Eingang), 2);
    QCOMPARE(logs.Get(TLogListe::Eingang, 0).UserName, QString("f"));
    QCOMPARE(logs.Get(TLogListe::Eingang, 1).UserName, QString("e"));
}

// The window loads on a thread of its own, which ends afterwards. Only logs and journals count, whatever the
// case of their ending. (Under Wine, loading through QDir's name filters crashed such a thread as it ended once
// the heap had been reused; this small case does not force that, the window tests do.)
void TestLogListe::loadingOnAThreadThatEnds()
{
    writeBytes(folder() + "anna_PC.log", "anna|Anna|PC\r\nText\r\n");
    writeBytes(folder() + "bert_PC.LOG", "bert|Bert|PC\r\nText\r\n");
    writeBytes(folder() + "notiz.txt", "anna|Anna|PC\r\nText\r\n");
    writeBytes(folder() + "carl_PC.log.bad", "carl|Carl|PC\r\nText\r\n");
    writeBytes(folder() + ".log", "dora|Dora|PC\r\nText\r\n");
    {
        TLogListe writer(folder(), m_clock);
        const QString text = BlockNachrichtVon("Emil", m_clock.now(), "Hallo", QString());
        QVERIFY(writer.Add(true, partner("emil", "Emil", "PC", text, m_clock.now())));
        QVERIFY(QFileInfo::exists(folder() + "emil_PC.journal") || QFileInfo::exists(folder() + "emil_PC.log"));
    }

    TLogListe logs(folder(), m_clock);
    std::unique_ptr<QThread> thread(QThread::create([&logs] { logs.LoadLogs(); }));
    thread->start();
    QVERIFY2(thread->wait(QDeadlineTimer(60000)), "the loading thread did not end");
    QStringList names;
    for (const auto liste : {TLogListe::Eingang, TLogListe::Verlauf}) {
        for (int i = 0; i < logs.Count(liste); ++i)
            names << logs.Get(liste, i).UserName;
    }
    names.sort();
    QCOMPARE(names, QStringList({"anna", "bert", "emil"}));
}

void TestLogListe::hostileNamesStayInFolder_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pc");
    QTest::addColumn<QString>("fileName"); // empty: only its length is checked
    QTest::newRow("An ordinary name keeps its file name") << "amaier"
                                                          << "R12-PC"
                                                          << "amaier_R12-PC.log";
    QTest::newRow("Umlauts and single dots are kept") << "jörg.m"
                                                      << "PC-Ä.1"
                                                      << "jörg.m_PC-Ä.1.log";
    QTest::newRow("Parent folder steps are escaped") << "../../etc/x"
                                                     << "PC"
                                                     << "%2E%2E%2F%2E%2E%2Fetc%2Fx_PC.log";
    QTest::newRow("A slash is escaped") << "a/b"
                                        << "PC"
                                        << "a%2Fb_PC.log";
    QTest::newRow("Backslashes in the PC name are escaped") << "u"
                                                            << "..\\..\\x"
                                                            << "u_%2E%2E%5C%2E%2E%5Cx.log";
    QTest::newRow("A colon is escaped") << "con:x"
                                        << "PC"
                                        << "con%3Ax_PC.log";
    QTest::newRow("A control character is escaped") << "a\x01"
                                                       "b"
                                                    << "PC"
                                                    << "a%01b_PC.log";
    QTest::newRow("The escape character itself is escaped") << "100%"
                                                            << "PC"
                                                            << "100%25_PC.log";
    QTest::newRow("Characters Windows refuses are escaped") << "<>\"?*"
                                                            << "PC\x7F"
                                                            << "%3C%3E%22%3F%2A_PC%7F.log";
    QTest::newRow("A trailing dot would meet the extension") << "u"
                                                             << "PC."
                                                             << "u_PC%2E.log";
    QTest::newRow("An overlong name is cut and hashed") << QString(300, u'ß') << "PC" << QString();
}

void TestLogListe::hostileNamesStayInFolder()
{
    QFETCH(QString, user);
    QFETCH(QString, pc);
    QFETCH(QString, fileName);
    const QString text = BlockNachrichtVon("Name", m_clock.now(), "Hallo", QString());
    // The log folder two levels down, so that anything written beside it would show.
    const QString logFolder = folder() + "sub/logs/";
    QVERIFY(QDir().mkpath(logFolder));
    TLogListe logs(logFolder, m_clock);
    QVERIFY(logs.Add(true, partner(user, "Name", pc, text)));

    QCOMPARE(folderEntries(folder()), QStringList{"sub"});
    QCOMPARE(folderEntries(folder() + "sub"), QStringList{"logs"});
    const QStringList entries = folderEntries(logFolder);
    QCOMPARE(entries.size(), 2);
    QVERIFY(entries.contains("Eingang.txt"));
    const QString written = entries.at(entries.at(0) == "Eingang.txt" ? 1 : 0);
    if (!fileName.isEmpty())
        QCOMPARE(written, fileName);
    QVERIFY(written.toUtf8().size() <= 204);
    QCOMPARE(logs.LogFilePath(partner(user, "", pc)), logFolder + written);

    TLogListe reloaded(logFolder, m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 1);
    const TUserListeRec entry = reloaded.Get(TLogListe::Eingang, 0);
    // Headers are read by the rule names from the network are read by, which never let a control
    // character through; the file name still copes with one.
    QCOMPARE(PartnerKey(entry), PartnerKey(CleanFeld(user), CleanFeld(pc)));
    QCOMPARE(reloaded.EingangSl, QStringList{PartnerKey(user, pc)});
}

void TestLogListe::failingSaveKeepsPreviousFile()
{
    // The log folder replaced by a file.
    const QString notAFolder = folder() + "logs";
    writeBytes(notAFolder, "just a file");
    TLogListe broken(notAFolder, m_clock);
    QVERIFY(!broken.Add(true, partner("anna", "Anna", "PC1", "Hallo")));
    QCOMPARE(broken.Count(TLogListe::Eingang), 1);
    QCOMPARE(readBytes(notAFolder), QByteArray("just a file"));
    broken.LoadLogs();
    QCOMPARE(broken.Count(TLogListe::Eingang), 0);

#ifdef Q_OS_LINUX
    // A write that fails half-way (file size limit) leaves the old log and no temporary file.
    TLogListe logs(folder(), m_clock);
    QVERIFY(logs.Add(true, partner("anna", "Anna", "PC1", "Hallo")));
    const QByteArray before = readBytes(folder() + "anna_PC1.log");
    const QStringList entriesBefore = folderEntries(folder());

    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = old;
    tight.rlim_cur = 200;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool saved = logs.Add(true, partner("anna", "Anna", "PC1", QString(100000, u'x')));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved);
    QCOMPARE(readBytes(folder() + "anna_PC1.log"), before);
    QCOMPARE(folderEntries(folder()), entriesBefore);
#endif
}

void TestLogListe::readOnlyLogIsMadeWritable()
{
    TLogListe logs(folder(), m_clock);
    QVERIFY(logs.Add(true, partner("anna", "Anna", "PC1", "eins")));
    const QString log = folder() + "anna_PC1.log";
    const QString inbox = folder() + "Eingang.txt";
    QVERIFY(QFile::setPermissions(log, QFileDevice::ReadOwner));
    QVERIFY(QFile::setPermissions(inbox, QFileDevice::ReadOwner));
    QVERIFY(logs.Add(false, partner("anna", "Anna", "PC1", "zwei")));
    QCOMPARE(readBytes(log), Bom + "anna|Anna|PC1\r\nzwei\r\n");
    QCOMPARE(readBytes(inbox), Bom);
}

void TestLogListe::ansiLogFromOlderVersionLoads()
{
    const QString stamp = LogZeitText(m_clock.now().addDays(-1));
    const QByteArray ansi = "jmueller|J\xF6rg M\xFCller|PC\r\nNachricht von J\xF6rg (" + stamp.toLatin1() +
                            "):\r\nGr\xFC\xDF"
                            "e \x80 5\r\n";
    writeBytes(folder() + "jmueller_PC.log", ansi);
    TLogListe logs(folder(), m_clock);
    logs.LoadLogs();
    QCOMPARE(logs.Count(TLogListe::Verlauf), 1);
    TUserListeRec entry = logs.Get(TLogListe::Verlauf, 0);
    QCOMPARE(entry.Name, QString("Jörg Müller"));
    QCOMPARE(entry.Text, "Nachricht von Jörg (" + stamp + "):\r\nGrüße € 5");

    // The next save writes it as UTF-8, losing nothing.
    QVERIFY(logs.Add(false, entry));
    QCOMPARE(readBytes(folder() + "jmueller_PC.log"), Bom + LogFileText(entry).toUtf8());
}

void TestLogListe::lookupsAndEdits()
{
    TLogListe logs(folder(), m_clock);
    const QDateTime t = m_clock.now();
    logs.Add(TLogListe::Verlauf, partner("u", "Alt", "PC1", "h1", t.addSecs(-10)));
    logs.Add(TLogListe::Verlauf, partner("u", "Neu", "PC2", "h2", t));
    logs.Add(TLogListe::Verlauf, partner("v", "Gleich", "PC1", "h3", t));
    logs.Add(TLogListe::Eingang, partner("u", "Eingang", "PC1", "e1", t));
    logs.Add(7, partner("x", "X", "PC"));
    QCOMPARE(logs.Count(7), 0);

    logs.Sort(TLogListe::Verlauf);
    QCOMPARE(logs.Get(TLogListe::Verlauf, 0).Text, QString("h2"));
    QCOMPARE(logs.Get(TLogListe::Verlauf, 1).Text, QString("h3"));
    QCOMPARE(logs.Get(TLogListe::Verlauf, 2).Text, QString("h1"));

    QCOMPARE(logs.Find(partner("u", "", "PC1"), false).Text, QString("e1"));
    QCOMPARE(logs.Find(partner("u", "", "PC2"), false).Text, QString("h2"));
    QVERIFY(logs.Find(partner("U", "", "PC2"), false) == TUserListeRec());
    QCOMPARE(logs.Find(partner("U", "", "PC2"), true).UserName, QString("U"));
    QCOMPARE(logs.Find(partner("u", "", ""), true).UserName, QString("u"));
    QCOMPARE(logs.FindIndex(TLogListe::Verlauf, partner("v", "", "PC1")), 1);
    QCOMPARE(logs.FindIndex(TLogListe::Verlauf, partner("v", "", "")), -1);

    QVERIFY(logs.Get(TLogListe::Verlauf, 3) == TUserListeRec());
    QVERIFY(logs.Get(TLogListe::Verlauf, -1) == TUserListeRec());
    QVERIFY(logs.Get(0, 0) == TUserListeRec());
    logs.Delete(TLogListe::Verlauf, 3);
    logs.Delete(TLogListe::Verlauf, -1);
    logs.Delete(3, 0);
    QCOMPARE(logs.Count(TLogListe::Verlauf), 3);
    logs.Delete(TLogListe::Verlauf, 1);
    QCOMPARE(logs.Get(TLogListe::Verlauf, 0).Text, QString("h2"));
    QCOMPARE(logs.Get(TLogListe::Verlauf, 1).Text, QString("h1"));

    logs.Clear();
    QCOMPARE(logs.Count(TLogListe::Eingang) + logs.Count(TLogListe::Verlauf), 0);
    QVERIFY(folderEntries(folder()).isEmpty());
}

void TestLogListe::updateTakesNewDisplayNames_data()
{
    QTest::addColumn<QString>("inboxName");
    QTest::addColumn<QString>("historyName");
    QTest::addColumn<int>("bits");
    QTest::newRow("Unchanged names report nothing") << "Anna"
                                                    << "Bernd" << 0;
    QTest::newRow("A renamed inbox partner sets bit 1") << "Anna M."
                                                        << "Bernd" << 1;
    QTest::newRow("A renamed history partner sets bit 2") << "Anna"
                                                          << "Bernd K." << 2;
    QTest::newRow("Both renamed set both bits") << "Anna M."
                                                << "Bernd K." << 3;
}

void TestLogListe::updateTakesNewDisplayNames()
{
    QFETCH(QString, inboxName);
    QFETCH(QString, historyName);
    QFETCH(int, bits);
    TLogListe logs(folder(), m_clock);
    logs.Add(TLogListe::Eingang, partner("anna", "Anna", "PC1", "a"));
    logs.Add(TLogListe::Verlauf, partner("bernd", "Bernd", "PC2", "b"));
    const QVector<TUserListeRec> online = {partner("anna", inboxName, "PC1"), partner("bernd", historyName, "PC2"),
                                           partner("bernd", "Fremd", ""), partner("clara", "Clara", "PC3")};
    QCOMPARE(logs.Update(online), bits);
    QCOMPARE(logs.Get(TLogListe::Eingang, 0).Name, inboxName);
    QCOMPARE(logs.Get(TLogListe::Verlauf, 0).Name, historyName);
    QCOMPARE(logs.Get(TLogListe::Verlauf, 0).Text, QString("b"));
    QVERIFY(folderEntries(folder()).isEmpty());
}

void TestLogListe::loadingWithoutCopyEqualsCopying_data()
{
    // The file's bytes and the text they decode to.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString head = "anna|Anna|PC1\r\n";
    const QString block = blockLines(3, "Grüße\r\naus Raum 12");
    auto add = [&](const char* name, const QString& body) {
        const QString text = head + body;
        QTest::addRow("UTF-8 with mark: %s", name) << Bom + text.toUtf8() << text;
        QTest::addRow("UTF-8 without mark: %s", name) << text.toUtf8() << text;
        QTest::addRow("Windows-1252: %s", name) << EncodeAnsi(text) << text;
    };
    add("CR LF only", block + "\r\n" + block + "\r\n");
    add("blanks and breaks around the conversation", "\r\n \r\n" + block + " \r\n\r\n");
    add("old blocks pruned", block + "\r\n" + blockLines(100, "alt\r\nalt") + "\r\n");
    add("no line break at the end", block);
    add("Windows-1252 letters of 0x80-0x9F", block + "\r\n\u20AC \u201E\u201C \u0160\u0178\r\n" + block);
    add("header only", QString());
    // Each kind of break at every place around the 8- and 16-character steps, after ASCII and after an
    // umlaut.
    const char* kinds[] = {"\r", "\n", "\n\r", "\r\r\n", "\r\n\n", "\r\n"};
    for (const char* kind : kinds) {
        for (int pos = 0; pos <= 34; ++pos) {
            for (const QString& filler : {QStringLiteral("abcdefgh"), QStringLiteral("äbcdöfgh")}) {
                QString body = block + "\r\n";
                for (int i = 0; i < 6; ++i)
                    body += filler;
                body.insert(body.size() - 48 + pos, QString::fromLatin1(kind));
                body += "\r\nEnde";
                const QString text = head + body;
                QTest::addRow("%s at %d after %s", QByteArray(kind).toPercentEncoding().constData(), pos,
                              filler.at(0) == u'a' ? "ASCII" : "an umlaut")
                    << Bom + text.toUtf8() << text;
            }
        }
    }
    // The decoder meets the umlaut only after the first block of the file.
    const QString late = head + block + "\r\n" + QString(70000, u'x') + "\r\nä\rö\r\n";
    QTest::newRow("late umlaut after 64 KiB with a lone CR") << late.toUtf8() << late;
    QTest::newRow("late umlaut after 64 KiB, CR LF only")
        << (head + QString(70000, u'x') + "\r\nä").toUtf8() << head + QString(70000, u'x') + "\r\nä";
}

// Reading a log takes the decoded text over and relies on what the decoder learnt about its line breaks;
// the result must be the same as the copying way of the first line split off.
void TestLogListe::loadingWithoutCopyEqualsCopying()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QString path = folder() + "anna_PC1.log";
    writeBytes(path, bytes);
    TextFileResult gelesen = LoadTextFile(path);
    QVERIFY(gelesen.ok);
    QCOMPARE(gelesen.text, text);
    QCOMPARE(HasLoneLineBreak(text), loneBreakByHand(text));
    // Known where the UTF-8 decoder read the text (pure ASCII too); never claimed for Windows-1252.
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    const bool utf8 = gelesen.type == ftUtf8 || gelesen.type == ftUtf8Bom || ascii;
    QCOMPARE(gelesen.crLfOnly, utf8 && !loneBreakByHand(text));
    QStringView rest;
    FirstLine(text, &rest);
    const QString copied = ConversationFromLog(rest, m_clock.now().date());
    const qsizetype start = rest.data() - text.constData();
    QCOMPARE(ConversationFromLog(std::move(gelesen.text), start, m_clock.now().date(), gelesen.crLfOnly), copied);
    QVERIFY(!HasLoneLineBreak(copied));
}

QTEST_GUILESS_MAIN(TestLogListe)
#include "tst_logliste.moc"
