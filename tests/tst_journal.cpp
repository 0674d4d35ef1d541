#include "data/journal.h"
#include "data/logformat.h"
#include "data/logliste.h"
#include "doubles/clock.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

TUserListeRec anna(const QDateTime& zeit = QDateTime())
{
    TUserListeRec rec;
    rec.UserName = QStringLiteral("amaier");
    rec.Name = QStringLiteral("Anna Maier");
    rec.PC = QStringLiteral("R12-PC");
    rec.Zeit = zeit;
    return rec;
}

TJournalRecord record(quint64 seq, const QDateTime& zeit, const QString& block)
{
    const TUserListeRec a = anna();
    TJournalRecord r;
    r.Seq = seq;
    r.UserName = a.UserName;
    r.Name = a.Name;
    r.PC = a.PC;
    r.Zeit = zeit;
    r.Block = block;
    return r;
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// What the store wrote before journals: the whole log, its conversation newest first.
QByteArray logAsSavedWhole(const QString& text)
{
    TUserListeRec a = anna();
    a.Text = text;
    return Bom + LogFileText(a).toUtf8();
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void init();
    void cleanup();

    void namesNeverMeetLogsOrTheInbox_data();
    void namesNeverMeetLogsOrTheInbox();
    void fieldsComeBackAsWritten_data();
    void fieldsComeBackAsWritten();
    void tornTailIsIgnored_data();
    void tornTailIsIgnored();
    void appendAfterATornTailIsRead_data();
    void appendAfterATornTailIsRead();
    void foldWritesTheLogAsAWholeSaveDid_data();
    void foldWritesTheLogAsAWholeSaveDid();
    void crashBetweenLogCommitAndJournalRemovalDuplicatesNothing_data();
    void crashBetweenLogCommitAndJournalRemovalDuplicatesNothing();
    void journalWithoutLogIsListedAndFoldedAtLoad();
    void pruningAppliesToFoldedMessages_data();
    void pruningAppliesToFoldedMessages();
    void failedAppendIsNeitherListedNorReported_data();
    void failedAppendIsNeitherListedNorReported();
    void messageStoredWhileTheLogIsClearedStays_data();
    void messageStoredWhileTheLogIsClearedStays();
    void messagesAfterTheJournalWasReplacedStay_data();
    void messagesAfterTheJournalWasReplacedStay();
    void zerosStayOnlyBehindOpenJournals();
    void twoSpellingsOfAUserLoseNothing();

private:
    // Stores one received message through the journal and waits for the store's answer.
    bool store(TLogListe& logs, const QString& text, bool* answered = nullptr);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    ManualClock m_clock;
};

void TestJournal::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->path() + u'/';
    m_clock = ManualClock();
}

void TestJournal::cleanup()
{
    m_dir.reset();
}

bool TestJournal::store(TLogListe& logs, const QString& text, bool* answered)
{
    const TUserListeRec a = anna(m_clock.now());
    bool ok = false;
    bool done = false;
    logs.AddMessage(true, a, BlockNachrichtVon(a.Name, a.Zeit, text, QString()), this,
                    [&](bool okS, const TUserListeRec&) {
                        ok = okS;
                        done = true;
                    });
    logs.Sync();
    QCoreApplication::processEvents();
    if (answered)
        *answered = done;
    m_clock.advance(1000);
    return ok;
}

void TestJournal::namesNeverMeetLogsOrTheInbox_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("Ordinary") << "amaier_R12-PC";
    QTest::newRow("Ends in .log") << "x_a.log";
    QTest::newRow("Ends in .journal") << "x_a.journal";
    QTest::newRow("The inbox's name") << "Eingang.txt";
    QTest::newRow("Overlong") << QString(300, u'j');
}

void TestJournal::namesNeverMeetLogsOrTheInbox()
{
    QFETCH(QString, key);
    const QString journal = JournalFileName(key);
    QVERIFY(journal.endsWith(QStringLiteral(".journal")));
    QVERIFY(!journal.endsWith(QStringLiteral(".log"), Qt::CaseInsensitive));
    QVERIFY(journal.compare(QStringLiteral("Eingang.txt"), Qt::CaseInsensitive) != 0);
    QVERIFY(!QDir::match(QStringLiteral("*.log"), journal));
    for (const QString& other : {key, key + QStringLiteral(".journal"), QStringLiteral("x")})
        QVERIFY(LogFileName(other) != journal);
}

void TestJournal::fieldsComeBackAsWritten_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("block");
    QTest::newRow("Plain") << "amaier"
                           << "Nachricht von Anna\r\nHallo";
    // U+FEFF at the start of a field is a character, not a byte-order mark.
    QTest::newRow("Name begins with U+FEFF") << QStringLiteral("\uFEFFTc..") << "x";
    QTest::newRow("Block begins with U+FEFF") << "amaier" << QStringLiteral("\uFEFF\uFEFFx");
    QTest::newRow("Empty fields") << ""
                                  << "";
}

void TestJournal::fieldsComeBackAsWritten()
{
    QFETCH(QString, userName);
    QFETCH(QString, block);
    TJournalRecord r = record(5, m_clock.now(), block);
    r.UserName = userName;
    r.Name = userName;
    r.PC = userName;
    const QList<TJournalRecord> read = DecodeJournal(EncodeJournalRecord(r));
    QCOMPARE(read.size(), 1);
    QCOMPARE(read.at(0), r);
}

void TestJournal::tornTailIsIgnored_data()
{
    QTest::addColumn<int>("cut"); // bytes of the third record kept; -1: all, with one payload byte changed
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("Cut inside the header") << 7 << QByteArray();
    QTest::newRow("Cut inside the payload") << 40 << QByteArray();
    QTest::newRow("Whole record, payload damaged") << -1 << QByteArray();
    QTest::newRow("Zeros a crash left behind") << 0 << QByteArray(64, '\0');
    QTest::newRow("A length far beyond the file") << 0 << QByteArray("TbJ1\xff\xff\xff\x0f\0\0\0\0", 12);
}

void TestJournal::tornTailIsIgnored()
{
    QFETCH(int, cut);
    QFETCH(QByteArray, tail);
    const QDateTime t = m_clock.now();
    const QByteArray good = EncodeJournalRecord(record(1, t, QStringLiteral("eins"))) +
                            EncodeJournalRecord(record(2, t, QStringLiteral("zwei")));
    QByteArray third = EncodeJournalRecord(record(3, t, QStringLiteral("drei")));
    if (cut < 0)
        third[third.size() - 2] = char(third[third.size() - 2] ^ 0x20);
    else
        third.truncate(cut);
    qsizetype valid = -1;
    const QList<TJournalRecord> read = DecodeJournal(good + third + tail, &valid);
    QCOMPARE(read.size(), 2);
    QCOMPARE(read.at(1), record(2, t, QStringLiteral("zwei")));
    QCOMPARE(valid, good.size());
}

void TestJournal::appendAfterATornTailIsRead_data()
{
    // What follows the first record when the program starts again.
    QTest::addColumn<QByteArray>("tail");
    const QDateTime t = QDateTime(QDate(2026, 12, 9), QTime(14, 5, 10));
    const QByteArray zwei = EncodeJournalRecord(
        record(2, t, BlockNachrichtVon(QStringLiteral("Anna Maier"), t, QStringLiteral("zwei"), {})));
    const QByteArray falsch = EncodeJournalRecord(record(9, t, QStringLiteral("falsch")));
    const QByteArray zeros(4096, '\0');
    QTest::newRow("Torn header at the end") << QByteArray("TbJ1\x10", 5);
    QTest::newRow("Torn record in the room kept for records") << QByteArray("TbJ1\x10\0\0\0abc", 11) + zeros;
    // Written over in place, the torn bytes' tail would be read as the record after the new one.
    QTest::newRow("A whole record behind torn bytes as long as the new one")
        << QByteArray("TbJ1") + QByteArray(zwei.size() - 4, 'x') + falsch + zeros;
}

// The writer cuts a torn tail off before it appends; otherwise the new message would sit behind it, unread.
// Behind what it appended, only zeros follow.
void TestJournal::appendAfterATornTailIsRead()
{
    QFETCH(QByteArray, tail);
    QCOMPARE(m_clock.now(), QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9)));
    const QString journal = m_folder + JournalFileName(PartnerKey(anna()));
    const QString block = BlockNachrichtVon(QStringLiteral("Anna Maier"), m_clock.now(), QStringLiteral("eins"), {});
    // With its log there, the partner's messages stay in the journal until a quiet moment.
    writeBytes(m_folder + LogFileName(PartnerKey(anna())), logAsSavedWhole(QString()));
    writeBytes(journal, EncodeJournalRecord(record(1, m_clock.now(), block)) + tail);
    m_clock.advance(1000);
    {
        TLogListe logs(m_folder, m_clock);
        const QStringList texts{QStringLiteral("zwei"), QStringLiteral("drei")};
        for (qsizetype i = 0; i < texts.size(); ++i) {
            QVERIFY(store(logs, texts.at(i)));
            // The disk as a crash would leave it now.
            const QByteArray bytes = readBytes(journal);
            qsizetype valid = 0;
            QCOMPARE(DecodeJournal(bytes, &valid).size(), i + 2);
            QCOMPARE(bytes.sliced(valid), QByteArray(bytes.size() - valid, '\0'));
        }
        // Room was kept behind the records.
        QVERIFY(readBytes(journal).size() > TLogSchreiber::RoomBytes);
    }
    TLogListe reloaded(m_folder, m_clock);
    reloaded.LoadLogs();
    const QString text = reloaded.Find(anna(), false).Text;
    QVERIFY2(text.startsWith(QStringLiteral("Nachricht von Anna Maier (09.12.2026 14:05:11):\r\ndrei\r\n"
                                            "Nachricht von Anna Maier (09.12.2026 14:05:10):\r\nzwei\r\n"
                                            "Nachricht von Anna Maier (09.12.2026 14:05:09):\r\neins")),
             qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("falsch")));
}

void TestJournal::foldWritesTheLogAsAWholeSaveDid_data()
{
    QTest::addColumn<QByteArray>("existing"); // log file before, empty for none
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("New partner, one message") << QByteArray() << QStringList{"Hallo"};
    QTest::newRow("New partner, several with line breaks and blanks")
        << QByteArray() << QStringList{"a\nb", "c\r\nd\re", "  leer am Ende  ", ""};
    QTest::newRow("Existing log, older messages below")
        << Bom + "amaier|Anna Maier|R12-PC\r\nNachricht an Anna Maier (01.12.2026 10:00:00):\r\nalt\r\n"
        << QStringList{"neu 1", "neu 2"};
    QTest::newRow("Existing log in ANSI with an old display name")
        << QByteArray("amaier|Anna M\xe4ier|R12-PC\r\nNachricht von Anna M\xe4ier (01.12.2026 10:00:00):\r\n\xfc\r\n")
        << QStringList{"neu"};
}

void TestJournal::foldWritesTheLogAsAWholeSaveDid()
{
    QFETCH(QByteArray, existing);
    QFETCH(QStringList, messages);
    const QString logPath = m_folder + LogFileName(PartnerKey(anna()));
    if (!existing.isEmpty())
        writeBytes(logPath, existing);
    TLogListe logs(m_folder, m_clock);
    logs.LoadLogs();
    // The conversation as the store held it before, saved whole after every message.
    QString expected = logs.Find(anna(), false).Text;
    for (const QString& m : messages) {
        expected = BlockNachrichtVon(QStringLiteral("Anna Maier"), m_clock.now(), m, expected);
        QVERIFY(store(logs, m));
    }
    QCOMPARE(logs.Find(anna(), false).Text, expected);
    QVERIFY(logs.Sync(true));
    QCOMPARE(readBytes(logPath), logAsSavedWhole(expected));
    QVERIFY(!QFile::exists(m_folder + JournalFileName(PartnerKey(anna()))));
}

void TestJournal::crashBetweenLogCommitAndJournalRemovalDuplicatesNothing_data()
{
    QTest::addColumn<int>("later"); // messages stored after the interrupted fold
    QTest::newRow("Only folded records left") << 0;
    QTest::newRow("Two more after them") << 2;
}

void TestJournal::crashBetweenLogCommitAndJournalRemovalDuplicatesNothing()
{
    QFETCH(int, later);
    const QString journal = m_folder + JournalFileName(PartnerKey(anna()));
    QString expected;
    {
        TLogListe logs(m_folder, m_clock);
        for (const char* m : {"eins", "eins", "zwei"})
            QVERIFY(store(logs, QString::fromLatin1(m)));
        const QByteArray kept = readBytes(journal);
        QVERIFY(logs.Sync(true));  // the log is replaced, then the journal removed ...
        writeBytes(journal, kept); // ... which the crash did not get to
        for (int i = 0; i < later; ++i)
            QVERIFY(store(logs, QStringLiteral("später %1").arg(i)));
        expected = logs.Find(anna(), false).Text;
        // The process ends here without folding again.
        writeBytes(journal + ".keep", readBytes(journal));
    }
    QFile::remove(journal);
    QVERIFY(QFile::rename(journal + ".keep", journal));
    TLogListe reloaded(m_folder, m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 1);
    const QString text = reloaded.Find(anna(), false).Text;
    QCOMPARE(text.count(QStringLiteral("Nachricht von")), 3 + later);
    QCOMPARE(text, ConversationFromLog(expected, m_clock.now().date()));
}

void TestJournal::journalWithoutLogIsListedAndFoldedAtLoad()
{
    const QDateTime t = m_clock.now();
    const QString b1 = BlockNachrichtVon(QStringLiteral("Anna Maier"), t, QStringLiteral("eins"), {});
    const QString b2 = BlockNachrichtVon(QStringLiteral("Anna Maier"), t.addSecs(1), QStringLiteral("zwei"), {});
    const QString journal = m_folder + JournalFileName(PartnerKey(anna()));
    writeBytes(journal, EncodeJournalRecord(record(7, t, b1)) + EncodeJournalRecord(record(8, t.addSecs(1), b2)));
    writeBytes(m_folder + QStringLiteral("Eingang.txt"), "amaier_R12-PC\r\n");

    TLogListe logs(m_folder, m_clock);
    logs.LoadLogs();
    QCOMPARE(logs.Count(TLogListe::Eingang), 1);
    QCOMPARE(logs.EingangSl, QStringList{QStringLiteral("amaier_R12-PC")});
    const TUserListeRec entry = logs.Get(TLogListe::Eingang, 0);
    QCOMPARE(entry.Name, QStringLiteral("Anna Maier"));
    QCOMPARE(entry.Text, ConversationFromLog(b2 + b1, t.date()));
    // The fold was handed to the writer at load; Sync only waits for it.
    QVERIFY(logs.Sync());
    QVERIFY(!QFile::exists(journal));
    QCOMPARE(readBytes(m_folder + LogFileName(PartnerKey(anna()))), logAsSavedWhole(b2 + b1));
}

void TestJournal::pruningAppliesToFoldedMessages_data()
{
    QTest::addColumn<QList<int>>("logDays");     // blocks in the log, newest first, days ago
    QTest::addColumn<QList<int>>("journalDays"); // records in the journal, oldest first
    QTest::addColumn<QList<int>>("kept");        // blocks listed after load, newest first
    QTest::newRow("Journal alone: the old record goes") << QList<int>{} << QList<int>{100, 10} << QList<int>{10};
    QTest::newRow("Old log below a recent journal") << QList<int>{120, 95} << QList<int>{10} << QList<int>{10};
    QTest::newRow("Exactly 90 days is old, 89 stays") << QList<int>{90} << QList<int>{89} << QList<int>{89};
    QTest::newRow("An old block above a recent one stays") << QList<int>{5} << QList<int>{100} << QList<int>{100, 5};
}

void TestJournal::pruningAppliesToFoldedMessages()
{
    QFETCH(QList<int>, logDays);
    QFETCH(QList<int>, journalDays);
    QFETCH(QList<int>, kept);
    const QDateTime now = m_clock.now();
    const auto block = [&](int days) {
        return BlockNachrichtVon(QStringLiteral("Anna Maier"), now.addDays(-days), QString::number(days), {});
    };
    if (!logDays.isEmpty()) {
        QString text;
        for (int d : logDays)
            text += block(d);
        writeBytes(m_folder + LogFileName(PartnerKey(anna())), logAsSavedWhole(text));
    }
    QByteArray journal;
    quint64 seq = 0;
    for (int d : journalDays)
        journal += EncodeJournalRecord(record(++seq, now.addDays(-d), block(d)));
    writeBytes(m_folder + JournalFileName(PartnerKey(anna())), journal);

    QString expected;
    for (int d : kept)
        expected += block(d);
    expected = ConversationFromLog(expected, now.date());
    TLogListe logs(m_folder, m_clock);
    logs.LoadLogs();
    QCOMPARE(logs.Find(anna(), false).Text, expected);
    QVERIFY(logs.Sync(true));
    TLogListe reloaded(m_folder, m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Find(anna(), false).Text, expected);
}

void TestJournal::failedAppendIsNeitherListedNorReported_data()
{
    QTest::addColumn<bool>("earlier"); // a message stored before
    QTest::newRow("First message of the partner") << false;
    QTest::newRow("Partner with a stored message") << true;
}

// The receiver acknowledges only on a true answer; the lists keep what is on disk.
void TestJournal::failedAppendIsNeitherListedNorReported()
{
    QFETCH(bool, earlier);
    TLogListe logs(m_folder, m_clock);
    if (earlier) {
        QVERIFY(store(logs, QStringLiteral("gespeichert")));
        QVERIFY(logs.Sync(true));
    }
    const QString before = logs.Find(anna(), false).Text;
    const QStringList keysBefore = logs.EingangSl;
    // A folder where the journal should be: it cannot be opened for appending.
    QVERIFY(QDir().mkpath(m_folder + JournalFileName(PartnerKey(anna()))));
    bool answered = false;
    QVERIFY(!store(logs, QStringLiteral("verloren"), &answered));
    QVERIFY(answered);
    QCOMPARE(logs.Find(anna(), false).Text, before);
    QCOMPARE(logs.EingangSl, keysBefore);
    QCOMPARE(logs.Count(TLogListe::Eingang), earlier ? 1 : 0);
}

void TestJournal::messageStoredWhileTheLogIsClearedStays_data()
{
    QTest::addColumn<bool>("deleteFile"); // the log file deleted rather than emptied
    QTest::newRow("Log cleared") << false;
    QTest::newRow("Log deleted") << true;
}

// Clearing or deleting the log while a message is on its way to disk keeps that message, in memory and on
// disk, and the journal that keeps it takes the next message too.
void TestJournal::messageStoredWhileTheLogIsClearedStays()
{
    QFETCH(bool, deleteFile);
    {
        TLogListe logs(m_folder, m_clock);
        QVERIFY(store(logs, QStringLiteral("alt")));
        QVERIFY(store(logs, QStringLiteral("älter")));
        const TUserListeRec a = anna(m_clock.now());
        const QString block = BlockNachrichtVon(a.Name, a.Zeit, QStringLiteral("neu"), QString());
        bool answered = false;
        logs.AddMessage(true, a, block, this, [&](bool, const TUserListeRec&) { answered = true; });
        // The writer has the new message before the clearing, the window has not seen it yet.
        QVERIFY(deleteFile ? logs.DeleteLogFile(anna()) : logs.DeleteLogText(anna()));
        QVERIFY(!answered);
        QTRY_VERIFY(answered);
        if (!deleteFile)
            QCOMPARE(logs.Find(anna(), false).Text, block);
        m_clock.advance(1000);
        QVERIFY(store(logs, QStringLiteral("danach")));
    }
    TLogListe reloaded(m_folder, m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Find(anna(), false).Text,
             QStringLiteral("Nachricht von Anna Maier (09.12.2026 14:05:12):\r\ndanach\r\n"
                            "Nachricht von Anna Maier (09.12.2026 14:05:11):\r\nneu"));
}

void TestJournal::messagesAfterTheJournalWasReplacedStay_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("older"); // what stays of the messages before
    QTest::newRow("Folded") << 0 << QStringLiteral("zwei eins");
    QTest::newRow("Log cleared") << 1 << QString();
    QTest::newRow("Log deleted") << 2 << QString();
    QTest::newRow("Log saved whole") << 3 << QStringLiteral("zwei eins");
}

// The writer keeps a partner's journal open between messages. Whatever replaces or removes the journal
// file must not leave later messages going to the file that is gone.
void TestJournal::messagesAfterTheJournalWasReplacedStay()
{
    QFETCH(int, action);
    QFETCH(QString, older);
    {
        TLogListe logs(m_folder, m_clock);
        QVERIFY(store(logs, QStringLiteral("eins")));
        QVERIFY(store(logs, QStringLiteral("zwei")));
        QVERIFY(QFile::exists(m_folder + JournalFileName(PartnerKey(anna()))));
        switch (action) {
        case 0:
            QVERIFY(logs.Sync(true));
            break;
        case 1:
            QVERIFY(logs.DeleteLogText(anna()));
            break;
        case 2:
            QVERIFY(logs.DeleteLogFile(anna()));
            break;
        default:
            QVERIFY(logs.SaveLogUser(logs.Find(anna(), false)));
        }
        QVERIFY(store(logs, QStringLiteral("drei")));
        QVERIFY(store(logs, QStringLiteral("vier")));
    }
    TLogListe reloaded(m_folder, m_clock);
    reloaded.LoadLogs();
    QStringList texts;
    for (const QString& line : reloaded.Find(anna(), false).Text.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(QStringLiteral("Nachricht von")) && !line.isEmpty())
            texts.append(line);
    }
    QCOMPARE(texts.join(u' '), (QStringLiteral("vier drei ") + older).trimmed());
}

// Many partners writing at once: only the journals kept open keep room, so the disk holds no more zeros
// than those; every message stays readable.
void TestJournal::zerosStayOnlyBehindOpenJournals()
{
    const int partners = TLogSchreiber::OpenJournals + 3;
    const auto partner = [](int i) {
        TUserListeRec u = anna();
        u.UserName = QStringLiteral("p%1").arg(i);
        u.PC = QStringLiteral("PC-%1").arg(i);
        return u;
    };
    {
        TLogListe logs(m_folder, m_clock);
        for (const QString& text : {QStringLiteral("eins"), QStringLiteral("zwei"), QStringLiteral("drei")}) {
            for (int i = 0; i < partners; ++i) {
                TUserListeRec u = partner(i);
                u.Zeit = m_clock.now();
                logs.AddMessage(true, u, BlockNachrichtVon(u.Name, u.Zeit, text, QString()), this,
                                [](bool, const TUserListeRec&) {});
                // Twice: the room is made after the message.
                QVERIFY(logs.Sync());
                QVERIFY(logs.Sync());
            }
            m_clock.advance(1000);
        }
        // The disk as a crash would leave it now.
        qint64 zeros = 0;
        for (int i = 0; i < partners; ++i) {
            const QByteArray bytes = readBytes(m_folder + JournalFileName(PartnerKey(partner(i))));
            qsizetype valid = 0;
            QCOMPARE(DecodeJournal(bytes, &valid).size(), 2);
            QCOMPARE(bytes.sliced(valid), QByteArray(bytes.size() - valid, '\0'));
            zeros += bytes.size() - valid;
        }
        QVERIFY(zeros > 0);
        QVERIFY2(zeros <= TLogSchreiber::OpenJournals * TLogSchreiber::RoomBytes, qPrintable(QString::number(zeros)));
    }
    TLogListe reloaded(m_folder, m_clock);
    reloaded.LoadLogs();
    for (int i = 0; i < partners; ++i) {
        const QString text = reloaded.Find(partner(i), false).Text;
        QVERIFY2(text.contains(QStringLiteral("drei")) && text.contains(QStringLiteral("zwei")) &&
                     text.contains(QStringLiteral("eins")),
                 qPrintable(text));
    }
}

// Where file names ignore case (Windows), two spellings of one user name write one journal; neither may
// write over what the other stored.
void TestJournal::twoSpellingsOfAUserLoseNothing()
{
    const QStringList texts{QStringLiteral("eins"), QStringLiteral("zwei"), QStringLiteral("drei"),
                            QStringLiteral("vier"), QStringLiteral("fünf")};
    {
        TLogListe logs(m_folder, m_clock);
        for (const QString& text : texts) {
            TUserListeRec u = anna(m_clock.now());
            if (text == QStringLiteral("vier"))
                u.UserName = u.UserName.toUpper();
            logs.AddMessage(true, u, BlockNachrichtVon(u.Name, u.Zeit, text, QString()), this,
                            [](bool, const TUserListeRec&) {});
            QVERIFY(logs.Sync());
            QVERIFY(logs.Sync());
            m_clock.advance(1000);
        }
    }
    TLogListe reloaded(m_folder, m_clock);
    reloaded.LoadLogs();
    QString all;
    for (int nr : {TLogListe::Eingang, TLogListe::Verlauf}) {
        for (const TUserListeRec& u : reloaded.Liste(nr))
            all += u.Text;
    }
    for (const QString& text : texts)
        QVERIFY2(all.contains(u'\n' + text), qPrintable(text + QStringLiteral(" missing in: ") + all));
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
