// Figures for storing one received message into a conversation of N-1 messages, for several N: the whole
// store as the receiver waits for it (journal append and flush on the writer thread, the answer back on
// this thread, the conversation updated in memory), the writer's append and flush alone, this thread's
// call, and the fold that later writes the log off the hot path. Beside them, in the same folder and
// run: the disk's own flush of a small write, and the whole-log save every message cost before journals.
// Prints medians and 99th percentiles; asserts nothing. BENCH_DIR picks the folder (default: the
// current one, so the figures are the disk's that holds the build, not a memory file system).
#include "data/journal.h"
#include "data/logformat.h"
#include "data/logliste.h"
#include "doubles/clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Partner = 20; // conversations of the same length, so every sample stores message N..N+Runden-1
constexpr int Runden = 10;  // messages per partner
const int Laengen[] = {10, 1000, 3000, 10000};

struct Werte
{
    std::vector<double> ms;
    void add(qint64 ns) { ms.push_back(double(ns) / 1e6); }
    double quantil(double q)
    {
        if (ms.empty())
            return 0;
        std::sort(ms.begin(), ms.end());
        const size_t i = std::min(ms.size() - 1, size_t(q * double(ms.size())));
        return ms[i];
    }
};

void Zeile(const char* was, int n, Werte& w)
{
    std::printf("  %-34s N=%-6d median %8.3f ms   p99 %8.3f ms   (%zu samples)\n", was, n, w.quantil(0.5),
                w.quantil(0.99), w.ms.size());
}

TUserListeRec PartnerNr(int p)
{
    TUserListeRec rec;
    rec.UserName = QStringLiteral("user%1").arg(p);
    rec.Name = QStringLiteral("Kollege %1").arg(p);
    rec.PC = QStringLiteral("PC%1").arg(p, 3, 10, QLatin1Char('0'));
    return rec;
}

QString Text(int n)
{
    static const QString teile[] = {QStringLiteral("Kannst du mir bitte die Unterlagen für Montag schicken?"),
                                    QStringLiteral("Ja, mache ich.\r\nBis später!"), QStringLiteral("Danke")};
    return teile[n % 3];
}

// A log of n messages, newest first, over the last 30 days, written as the store writes logs.
void SchreibeLog(const QString& ordner, const TUserListeRec& partner, int n, const QDateTime& jetzt)
{
    TUserListeRec rec = partner;
    QString text;
    text.reserve(n * 80);
    for (int i = 0; i < n; ++i) {
        const QDateTime zeit = jetzt.addSecs(-qint64(i + 1) * 30 * 86400 / std::max(n, 1));
        text += (i % 2 ? QStringLiteral("Nachricht an ") : QStringLiteral("Nachricht von ")) + rec.Name +
                QStringLiteral(" (") + LogZeitText(zeit) + QStringLiteral("):\r") + Text(i) + u'\r';
    }
    rec.Text = text;
    QFile f(ordner + LogFileName(PartnerKey(rec)));
    if (f.open(QIODevice::WriteOnly))
        f.write("\xEF\xBB\xBF" + LogFileText(rec).toUtf8());
}

// The disk's own flush: a small write and fdatasync, as one journal record costs at least.
struct Platte
{
    QFile f;
    explicit Platte(const QString& pfad)
        : f(pfad)
    {
        f.open(QIODevice::ReadWrite | QIODevice::Truncate);
    }
    qint64 messen()
    {
        static const QByteArray bytes(120, 'x');
        QElapsedTimer t;
        t.start();
        f.write(bytes);
        f.flush();
        SyncFileData(f);
        return t.nsecsElapsed();
    }
};

void Messen(int n, const QString& basis, ManualClock& uhr)
{
    QTemporaryDir dir(basis + QStringLiteral("/bench-store-XXXXXX"));
    const QString ordner = dir.path() + u'/';
    for (int p = 0; p < Partner; ++p)
        SchreibeLog(ordner, PartnerNr(p), n - 1, uhr.now());

    // Every sample of the store is followed by one of the disk's own flush and one of the writer's append
    // alone (to other partners' journals), so all three meet the same load of the machine.
    Werte platte;
    Platte probe(ordner + QStringLiteral("flush-probe"));
    const QString anderer = ordner + QStringLiteral("append-only/");
    QDir().mkpath(anderer);
    TLogSchreiber schreiber(anderer, uhr);
    quint64 seq = 1u << 30;
    const auto nurAppend = [&](int i) {
        const TUserListeRec partner = PartnerNr(1000 + i % Partner);
        TJournalRecord rec;
        rec.Seq = ++seq;
        rec.UserName = partner.UserName;
        rec.Name = partner.Name;
        rec.PC = partner.PC;
        rec.Zeit = uhr.now();
        rec.Block = BlockNachrichtVon(partner.Name, rec.Zeit, Text(i), QString());
        qint64 ns = 0;
        schreiber.Call([&] {
            QElapsedTimer a;
            a.start();
            const bool ok = schreiber.Append(rec, std::nullopt);
            ns = a.nsecsElapsed();
            return ok;
        });
        return ns;
    };
    for (int p = 0; p < Partner; ++p) // their logs exist, so no append folds at once
        SchreibeLog(anderer, PartnerNr(1000 + p), n - 1, uhr.now());

    Werte store, aufruf, append, fold, ganz;
    {
        TLogListe logs(ordner, uhr);
        logs.LoadLogs();
        logs.Sync(true);
        QObject kontext;
        for (int r = 0; r < Runden; ++r) {
            for (int p = 0; p < Partner; ++p) {
                uhr.advance(1000);
                TUserListeRec partner = PartnerNr(p);
                partner.Zeit = uhr.now();
                const QString block = BlockNachrichtVon(partner.Name, partner.Zeit, Text(r), QString());
                bool fertig = false;
                QElapsedTimer t;
                t.start();
                logs.AddMessage(true, partner, block, &kontext, [&](bool, const TUserListeRec&) { fertig = true; });
                aufruf.add(t.nsecsElapsed());
                while (!fertig)
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                store.add(t.nsecsElapsed());
                platte.add(probe.messen());
                append.add(nurAppend(r * Partner + p));
            }
        }
        QElapsedTimer t;
        t.start();
        logs.Sync(true);
        fold.add(t.nsecsElapsed() / Partner);
    }
    {
        // Before journals: every message saved the partner's whole log (and the inbox file) at once.
        TLogListe logs(ordner, uhr);
        logs.LoadLogs();
        logs.Sync(true);
        for (int i = 0; i < Partner * 2; ++i) {
            TUserListeRec partner = logs.Find(PartnerNr(i % Partner), true);
            uhr.advance(1000);
            partner.Zeit = uhr.now();
            partner.Text = BlockNachrichtVon(partner.Name, partner.Zeit, Text(i), partner.Text);
            QElapsedTimer t;
            t.start();
            logs.Add(true, partner);
            ganz.add(t.nsecsElapsed());
        }
    }

    Zeile("disk's own flush (120 B + fdatasync)", n, platte);
    Zeile("store, call to answer", n, store);
    Zeile("  writer: append + flush", n, append);
    Zeile("  window thread: the call", n, aufruf);
    Zeile("fold, mean per partner (off the path)", n, fold);
    Zeile("whole-log save (before journals)", n, ganz);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString basis =
        qEnvironmentVariableIsSet("BENCH_DIR") ? qEnvironmentVariable("BENCH_DIR") : QDir::currentPath();
    std::printf("Storing message N into a conversation of N-1 (%d partners x %d messages each), folder %s\n", Partner,
                Runden, qPrintable(basis));
    ManualClock uhr;
    for (int n : Laengen)
        Messen(n, basis, uhr);
    return 0;
}
