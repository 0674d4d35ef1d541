// Figures for the message log store: LoadLogs over a large log folder next to merely reading its bytes,
// at two folder sizes to show how it grows, and the time of filing one received message into a 1 MB log
// (which saves it). "--profile N [partners]" only loads a folder N times, for a profiler.
#include "data/logformat.h"
#include "data/logliste.h"
#include "doubles/clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Tage = 90;
constexpr int NachrichtenProTag = 6;
constexpr int Laeufe = 11;

const ManualClock& Uhr()
{
    static ManualClock clock;
    return clock;
}

QString Nachricht(int n)
{
    static const QString teile[] = {QStringLiteral("Kannst du mir bitte die Unterlagen für Montag schicken?"),
                                    QStringLiteral("Grüße aus Raum 12, die Besprechung fällt heute aus."),
                                    QStringLiteral("Ja, mache ich.\r\nBis später!"), QStringLiteral("Danke")};
    return teile[n % 4];
}

// The conversation of one partner: newest block first, NachrichtenProTag blocks per day.
QString Gespraech(const QString& name, int tage, int startNr)
{
    QString text;
    const QDateTime jetzt = Uhr().now();
    int n = startNr;
    for (int tag = 0; tag < tage; ++tag) {
        for (int k = 0; k < NachrichtenProTag; ++k, ++n) {
            const QDateTime zeit = jetzt.addDays(-tag).addSecs(-600 * k);
            text += (n % 2 ? QStringLiteral("Nachricht an ") : QStringLiteral("Nachricht von ")) + name +
                    QStringLiteral(" (") + LogZeitText(zeit) + QStringLiteral("):\r\n") + Nachricht(n) +
                    QStringLiteral("\r\n");
        }
    }
    return text;
}

qint64 BaueOrdner(const QString& ordner, int partner)
{
    qint64 bytes = 0;
    QString eingang;
    for (int p = 0; p < partner; ++p) {
        const QString user = QStringLiteral("user%1").arg(p);
        const QString pc = QStringLiteral("PC-%1").arg(p % 97);
        const QString name = QStringLiteral("Kollegin Nr. %1").arg(p);
        const QByteArray inhalt =
            "\xEF\xBB\xBF" +
            (user + u'|' + name + u'|' + pc + QStringLiteral("\r\n") + Gespraech(name, Tage, p)).toUtf8();
        QFile f(ordner + LogFileName(PartnerKey(user, pc)));
        if (!f.open(QIODevice::WriteOnly) || f.write(inhalt) != inhalt.size())
            return -1;
        bytes += inhalt.size();
        if (p % 10 == 0)
            eingang += PartnerKey(user, pc) + QStringLiteral("\r\n");
    }
    QFile f(ordner + QStringLiteral("Eingang.txt"));
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    f.write(eingang.toUtf8());
    return bytes;
}

double MedianMs(int laeufe, const std::function<void()>& aufgabe)
{
    std::vector<double> zeiten;
    for (int i = 0; i < laeufe; ++i) {
        QElapsedTimer t;
        t.start();
        aufgabe();
        zeiten.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(zeiten.begin(), zeiten.end());
    return zeiten[zeiten.size() / 2];
}

qint64 LiesAlles(const QString& ordner)
{
    qint64 summe = 0;
    const QStringList namen = QDir(ordner).entryList(QDir::Files);
    for (const QString& name : namen) {
        QFile f(ordner + name);
        if (f.open(QIODevice::ReadOnly))
            summe += f.readAll().size();
    }
    return summe;
}

// LoadLogs and a raw read of the same folder, side by side; false when the folder cannot be built.
bool Vergleiche(int partner)
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_logliste-XXXXXX"));
    if (!dir.isValid())
        return false;
    const QString ordner = dir.path() + u'/';
    const qint64 bytes = BaueOrdner(ordner, partner);
    if (bytes < 0)
        return false;
    // Once each first, so both meet the same warm page cache.
    LiesAlles(ordner);
    TLogListe(ordner, Uhr()).LoadLogs();
    // Taken in turns, so a busy moment of the machine falls on both alike. A fresh store each time, as at
    // start; freeing the previous one is not timed.
    std::vector<double> lesenZeiten;
    std::vector<double> ladenZeiten;
    int eingang = 0;
    int verlauf = 0;
    for (int i = 0; i < Laeufe; ++i) {
        QElapsedTimer t;
        t.start();
        LiesAlles(ordner);
        lesenZeiten.push_back(double(t.nsecsElapsed()) / 1e6);
        TLogListe logs(ordner, Uhr());
        t.restart();
        logs.LoadLogs();
        ladenZeiten.push_back(double(t.nsecsElapsed()) / 1e6);
        eingang = logs.Count(1);
        verlauf = logs.Count(2);
    }
    const auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double lesen = median(lesenZeiten);
    const double laden = median(ladenZeiten);
    std::printf("%4d partners, %d days, %5.1f MB: readAll %6.1f ms, LoadLogs %6.1f ms, ratio %.2f (inbox %d, "
                "history %d)\n",
                partner, Tage, double(bytes) / 1e6, lesen, laden, laden / lesen, eingang, verlauf);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 3 && QByteArray(argv[1]) == "--profile") {
        const int partner = argc > 3 ? QByteArray(argv[3]).toInt() : 1000;
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_logliste-XXXXXX"));
        if (!dir.isValid() || BaueOrdner(dir.path() + u'/', partner) < 0)
            return 1;
        const int n = QByteArray(argv[2]).toInt();
        std::printf("LoadLogs x %d: median %.1f ms\n", n,
                    MedianMs(n, [&] { TLogListe(dir.path() + u'/', Uhr()).LoadLogs(); }));
        return 0;
    }
    std::printf("medians of %d runs\n", Laeufe);
    for (int partner : {200, 1000}) {
        if (!Vergleiche(partner))
            return 1;
    }

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_logliste-XXXXXX"));
    if (!dir.isValid())
        return 1;
    TLogListe logs(dir.path() + u'/', Uhr());
    // One partner with a 1 MB conversation receives messages; each Add saves the log and the inbox file.
    TUserListeRec gross;
    gross.UserName = QStringLiteral("gross");
    gross.PC = QStringLiteral("PC-X");
    gross.Name = QStringLiteral("Großer Verlauf");
    while (gross.Text.toUtf8().size() < 1000000)
        gross.Text += Gespraech(gross.Name, Tage, gross.Text.size());
    int nr = 0;
    const double add = MedianMs(21, [&] {
        gross.Zeit = Uhr().now();
        gross.Text = BlockNachrichtVon(gross.Name, gross.Zeit, Nachricht(nr++), gross.Text);
        logs.Add(true, gross);
    });
    std::printf("Add(EingangS=true) with a %.2f MB log: median %.2f ms\n",
                double(QFileInfo(logs.LogFilePath(gross)).size()) / 1e6, add);
    return 0;
}
