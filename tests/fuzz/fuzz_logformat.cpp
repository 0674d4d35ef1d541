// The log format alone, without files: a log body pruned and normalised as loading does it, compared
// with the pruning rule applied line by line from the top; partner keys turned into file names.
// Input: body, 0xFF, a partner key, 0xFF, a second key (all UTF-8).
#include "fuzzing.h"

#include "data/logformat.h"

#include <QDate>
#include <QVector>

using namespace Qt::StringLiterals;

namespace {

const QDate Today(2026, 12, 9);

// The rule as written for people: split into lines, walk from the last line up, remember the topmost
// old header and stop at the first recent one; cut before the remembered header.
qsizetype prunedLengthByLines(const QString& text, const QDate& today)
{
    QVector<qsizetype> starts;
    QVector<qsizetype> ends;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n')
            continue;
        starts.append(start);
        ends.append(i);
        if (i < text.size() && text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    const QDate grenze = today.addDays(-LogAufbewahrungTage);
    qsizetype kept = text.size();
    for (qsizetype k = starts.size() - 1; k >= 0; --k) {
        const QDate datum = BlockHeaderDate(QStringView(text).sliced(starts[k], ends[k] - starts[k]));
        if (!datum.isValid())
            continue;
        if (datum > grenze)
            break;
        kept = starts[k];
    }
    return kept;
}

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

void checkFileName(const QString& key)
{
    const QString base = LogFileBase(key);
    FUZZ_CHECK(!base.isEmpty() || key.isEmpty());
    FUZZ_CHECK(base.toUtf8().size() <= 200);
    FUZZ_CHECK(!base.contains(u'/') && !base.contains(u'\\') && !base.endsWith(u'.') && !base.contains(u".."));
    for (QChar c : base)
        FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F);
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
    const QString body = QString::fromUtf8(parts.value(0));

    const qsizetype kept = PrunedLength(body, Today);
    FUZZ_CHECK(kept >= 0 && kept <= body.size());
    FUZZ_CHECK(kept == prunedLengthByLines(body, Today));
    FUZZ_CHECK(PrunedLength(body, QDate()) == body.size());

    const QString conversation = ConversationFromLog(body, Today);
    FUZZ_CHECK(hasOnlyCrLfBreaks(conversation));
    FUZZ_CHECK(conversation == TrimBlanks(conversation));
    FUZZ_CHECK(conversation.size() <= 2 * kept);
    // Loading takes the file's text over instead of copying it, where the breaks are CR LF already.
    FUZZ_CHECK(HasLoneLineBreak(body) == !hasOnlyCrLfBreaks(body));
    FUZZ_CHECK(ConversationFromLog(QString(u"kopf\r\n"_s + body), 6, Today) == conversation);
    if (hasOnlyCrLfBreaks(body))
        FUZZ_CHECK(ConversationFromLog(QString(u"kopf\r\n"_s + body), 6, Today, true) == conversation);

    // A conversation written as a log and read back keeps its lines.
    TUserListeRec user;
    user.UserName = QStringLiteral("amaier");
    user.Name = QStringLiteral("Anna Maier");
    user.PC = QStringLiteral("R12-PC");
    user.Text = body;
    const QString file = LogFileText(user);
    FUZZ_CHECK(hasOnlyCrLfBreaks(file) && file.endsWith(u"\r\n"));
    QStringView rest;
    FUZZ_CHECK(FirstLine(file, &rest) == LogHeader(user));
    FUZZ_CHECK(SplitLines(rest.toString()) == SplitLines(body));

    // A block header carries the date it was written with, whatever the name holds.
    const QString name = parts.value(1).isEmpty() ? QString() : QString::fromUtf8(parts.value(1)).simplified();
    const QDateTime zeit(Today.addDays(-qsizetype(size % 400)), QTime(23, 59, 58));
    const QString block = BlockNachrichtVon(name, zeit, body, QString());
    FUZZ_CHECK(BlockHeaderDate(FirstLine(block, nullptr)) == zeit.date());

    // File names from network names: safe for any key, and two keys give two names while they are
    // short enough (escaping at most triples a byte) never to be cut.
    const QString a = QString::fromUtf8(parts.value(1));
    const QString b = QString::fromUtf8(parts.value(2));
    checkFileName(a);
    checkFileName(b);
    if (a != b && a.toUtf8().size() <= 66 && b.toUtf8().size() <= 66)
        FUZZ_CHECK(LogFileBase(a) != LogFileBase(b));
    return 0;
}
