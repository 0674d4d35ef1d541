// A log folder as the next start finds it: two log files and "Eingang.txt" with any bytes (separated
// by the byte 0xFF in the input), loaded by the store. What it lists must be well formed, and what it
// saves of a loaded partner must load again the same.
#include "fuzzing.h"

#include "doubles/clock.h"

#include "data/logformat.h"
#include "data/logliste.h"

#include <QFileInfo>
#include <QSet>

namespace {

const QStringList LogNames = {QStringLiteral("amaier_R12-PC.log"), QStringLiteral("bm\u00fcller_B07-PC.log")};

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

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = fuzzing::splitInput(data, size, 3);
    const QString folder = fuzzing::freshFolder(QStringLiteral("logs"));
    fuzzing::writeFile(folder + u'/' + LogNames[0], parts.value(0));
    fuzzing::writeFile(folder + QStringLiteral("/Eingang.txt"), parts.value(1));
    if (parts.size() > 2)
        fuzzing::writeFile(folder + u'/' + LogNames[1], parts.value(2));

    ManualClock clock;
    TLogListe logs(folder, clock);
    logs.LoadLogs();
    const int files = parts.size() > 2 ? 2 : 1;
    FUZZ_CHECK(logs.Count(TLogListe::Eingang) + logs.Count(TLogListe::Verlauf) <= files);
    for (const QString& key : logs.EingangSl)
        FUZZ_CHECK(!key.isEmpty() && key == TrimBlanks(key));
    for (int nr : {TLogListe::Eingang, TLogListe::Verlauf}) {
        for (const TUserListeRec& u : logs.Liste(nr)) {
            FUZZ_CHECK(!u.Text.isEmpty() && u.Text == TrimBlanks(u.Text) && hasOnlyCrLfBreaks(u.Text));
            FUZZ_CHECK(!u.UserName.contains(u'|') && !u.Name.contains(u'|') && !u.PC.contains(u'|'));
        }
    }
    // A damaged log is set aside, never deleted.
    for (const QString& name : LogNames) {
        const QString path = folder + u'/' + name;
        if (!QFileInfo::exists(path) && (name == LogNames[0] || parts.size() > 2))
            FUZZ_CHECK(QFileInfo::exists(path + QStringLiteral(".bad")));
    }

    // Each listed partner saved on its own into an empty folder and loaded again.
    for (int nr : {TLogListe::Eingang, TLogListe::Verlauf}) {
        for (const TUserListeRec& u : logs.Liste(nr)) {
            const QString again = fuzzing::freshFolder(QStringLiteral("again"));
            TLogListe saved(again, clock);
            saved.Add(false, u);
            TLogListe reloaded(again, clock);
            reloaded.LoadLogs();
            if (endsAreHeaders(u.Text))
                continue;
            FUZZ_CHECK(reloaded.Count(TLogListe::Verlauf) == 1);
            const TUserListeRec back = reloaded.Get(TLogListe::Verlauf, 0);
            FUZZ_CHECK(back.UserName == fuzzing::throughUtf8(u.UserName) && back.Name == fuzzing::throughUtf8(u.Name) &&
                       back.PC == fuzzing::throughUtf8(u.PC));
            // A log read as UTF-16 may hold half a surrogate pair, which no UTF-8 file can.
            FUZZ_CHECK(back.Text == fuzzing::throughUtf8(u.Text));
        }
    }
    return 0;
}
