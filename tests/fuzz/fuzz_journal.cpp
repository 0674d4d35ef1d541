// A partner's journal and log as a crash may leave them: the input gives the log file, the texts of
// whole records, bytes after them (a torn tail) and "Eingang.txt" (separated by the byte 0xFF; the
// record texts by 0xFE). The reader must stop at the first damaged record, the load must list what
// the records hold, and folding must write a log that loads as the journal and log loaded before.
// The raw input is also read as journal bytes.
#include "fuzzing.h"

#include "doubles/clock.h"

#include "data/journal.h"
#include "data/logformat.h"
#include "data/logliste.h"

#include <QFileInfo>

namespace {

bool hasOnlyCrLfBreaks(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))
            return false;
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            return false;
    }
    return true;
}

// Trimming after pruning can turn the first or last line into a block header, which the next load
// then prunes; such a conversation is not expected to come back whole.
bool endsAreHeaders(const QString& text)
{
    const QStringList lines = SplitLines(text);
    return !lines.isEmpty() && (BlockHeaderDate(lines.first()).isValid() || BlockHeaderDate(lines.last()).isValid());
}

void checkRawReader(const QByteArray& bytes)
{
    qsizetype valid = -1;
    const QList<TJournalRecord> records = DecodeJournal(bytes, &valid);
    FUZZ_CHECK(valid >= 0 && valid <= bytes.size());
    FUZZ_CHECK(records.isEmpty() == (valid == 0));
    qsizetype again = -1;
    FUZZ_CHECK(DecodeJournal(bytes.left(valid), &again).size() == records.size() && again == valid);
    // What was read, written again, reads back the same.
    QByteArray encoded;
    for (const TJournalRecord& r : records)
        encoded += EncodeJournalRecord(r);
    const QList<TJournalRecord> back = DecodeJournal(encoded, &again);
    FUZZ_CHECK(back.size() == records.size() && again == encoded.size());
    for (qsizetype i = 0; i < back.size(); ++i) {
        FUZZ_CHECK(back[i].Seq == records[i].Seq && back[i].Block == records[i].Block &&
                   back[i].UserName == records[i].UserName && back[i].Name == records[i].Name &&
                   back[i].PC == records[i].PC);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzzing::bytesOf(data, size);
    checkRawReader(input);

    const QList<QByteArray> parts = fuzzing::splitInput(data, size, 4);
    const QString folder = fuzzing::freshFolder(QStringLiteral("journal"));
    ManualClock clock;
    TUserListeRec anna;
    anna.UserName = QStringLiteral("amaier");
    anna.Name = QStringLiteral("Anna Maier");
    anna.PC = QStringLiteral("R12-PC");
    const QString key = PartnerKey(anna);
    if (!parts.value(0).isEmpty())
        fuzzing::writeFile(folder + u'/' + LogFileName(key), parts.value(0));
    QByteArray journal;
    quint64 seq = 0;
    int recordCount = 0;
    for (const QByteArray& text : parts.value(1).split('\xfe')) {
        if (text.isEmpty())
            continue;
        TJournalRecord r;
        r.Seq = ++seq;
        r.UserName = anna.UserName;
        r.Name = anna.Name;
        r.PC = anna.PC;
        r.Zeit = clock.now().addSecs(qint64(seq) - 100);
        r.Block = BlockNachrichtVon(anna.Name, r.Zeit, QString::fromUtf8(text), QString());
        journal += EncodeJournalRecord(r);
        ++recordCount;
    }
    journal += parts.value(2);
    fuzzing::writeFile(folder + u'/' + JournalFileName(key), journal);
    fuzzing::writeFile(folder + QStringLiteral("/Eingang.txt"), parts.value(3));

    // Every whole record is read; the tail never adds one it does not hold whole.
    const QList<TJournalRecord> read = ReadJournal(folder + u'/' + JournalFileName(key));
    FUZZ_CHECK(read.size() >= recordCount);

    // The partner is the log's header when it has a sound one, else the records'.
    QString loaded;
    {
        TLogListe logs(folder, clock);
        logs.LoadLogs();
        const int listed = logs.Count(TLogListe::Eingang) + logs.Count(TLogListe::Verlauf);
        FUZZ_CHECK(listed <= 1);
        if (recordCount > 0)
            FUZZ_CHECK(listed == 1);
        for (int nr : {TLogListe::Eingang, TLogListe::Verlauf}) {
            for (const TUserListeRec& u : logs.Liste(nr)) {
                FUZZ_CHECK(!u.Text.isEmpty() && u.Text == TrimBlanks(u.Text) && hasOnlyCrLfBreaks(u.Text));
                loaded = u.Text;
            }
        }
        logs.Sync(true);
    }
    // The fold keeps what the load showed.
    TLogListe reloaded(folder, clock);
    reloaded.LoadLogs();
    if (!loaded.isEmpty() && !endsAreHeaders(loaded) && !QFileInfo::exists(folder + u'/' + JournalFileName(key))) {
        const int listed = reloaded.Count(TLogListe::Eingang) + reloaded.Count(TLogListe::Verlauf);
        FUZZ_CHECK(listed == 1);
        const TUserListeRec back = reloaded.Count(TLogListe::Eingang) ? reloaded.Get(TLogListe::Eingang, 0)
                                                                      : reloaded.Get(TLogListe::Verlauf, 0);
        FUZZ_CHECK(back.Text == fuzzing::throughUtf8(loaded));
    }
    return 0;
}
