// A stranger floods the presence channel with invented users: time per datagram and memory, while the
// online list stays at its cap and the address cache only holds listed PCs.
#include "common/clock.h"
#include "data/userliste.h"
#include "doubles/clock.h"
#include "net/presencechannel.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

const QString OwnPC = QStringLiteral("R12-PC");
constexpr int Fakes = 100000;

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentRssKb()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

QByteArray presence(const QString& user, const QString& name, const QString& pc)
{
    return QStringList{"TB1", user, name, pc, "0", "1", "08:15:30", "1", "0"}.join(u'|').toUtf8();
}

QString fakePC(int i)
{
    return QStringLiteral("F-%1").arg(i, 6, 10, QLatin1Char('0'));
}

// From a different address of 10.0.0.0/8 each, as a forger would.
QHostAddress fakePeer(int i)
{
    return QHostAddress(quint32(0x0A000000u + quint32(i) + 1));
}

int addressesKnown(const TPresenceChannel& channel, int count)
{
    int known = 0;
    for (int i = 0; i < count; ++i)
        known += channel.Address(fakePC(i)).isNull() ? 0 : 1;
    return known;
}

// Merges Fakes datagrams of distinct users, name(n) the display name sent, and returns the mean time of
// one Merge in microseconds; fillUs and fullUs split it into the calls while the list fills and after.
template <typename Name>
double flood(TPresenceChannel& channel, ManualClock& clock, int offset, Name name, double& fillUs, double& fullUs)
{
    qint64 fillNs = 0;
    qint64 fullNs = 0;
    QElapsedTimer timer;
    for (int i = 0; i < Fakes; ++i) {
        // 10 datagrams per millisecond: nobody drops out during the flood.
        if (i % 10 == 0)
            clock.advance(1);
        const int n = offset + i;
        const QByteArray datagram = presence(QStringLiteral("fake%1").arg(n), name(n), fakePC(n));
        const QHostAddress peer = fakePeer(n);
        timer.start();
        channel.Merge(datagram, peer);
        (i < TUserListe::MaxUsers ? fillNs : fullNs) += timer.nsecsElapsed();
    }
    fillUs = double(fillNs) / 1000.0 / TUserListe::MaxUsers;
    fullUs = double(fullNs) / 1000.0 / (Fakes - TUserListe::MaxUsers);
    return double(fillNs + fullNs) / 1000.0 / Fakes;
}

} // namespace

int main()
{
    ManualClock clock;
    TUserListe liste(clock);
    TPresenceChannel channel(liste, clock, OwnPC);
    const long rssStart = currentRssKb();
    std::printf("%d invented users, each from its own address, through TPresenceChannel::Merge\n", Fakes);
    std::printf("  cap of the online list %d, names cut at 64 characters\n", TUserListe::MaxUsers);
    std::printf("  RSS at start %ld KB\n", rssStart);

    double fillUs = 0;
    double fullUs = 0;
    const double meanUs = flood(
        channel, clock, 0, [](int n) { return QStringLiteral("Fake User %1").arg(n); }, fillUs, fullUs);
    channel.Merge(presence("amaier", "Anna Maier", OwnPC), QHostAddress(QStringLiteral("10.255.0.1")));
    std::printf("short names:\n");
    std::printf("  mean %.2f us per datagram; %.2f us while the list fills, %.2f us once it is full\n", meanUs, fillUs,
                fullUs);
    std::printf("  online list %d users (own PC %s), %d slots; addresses known for %d of the invented PCs\n",
                liste.OnlineCount(), liste.FindIndex(OwnPC) >= 0 ? "listed" : "MISSING", liste.Count(),
                addressesKnown(channel, Fakes));
    std::printf("  RSS now %ld KB, peak %ld KB\n", currentRssKb(), peakRssKb());

    // Half a minute later everybody but the own PC drops out in one merge.
    clock.advance(TUserListe::DropOutMs + 1);
    QElapsedTimer dropOut;
    dropOut.start();
    channel.Merge(presence("amaier", "Anna Maier", OwnPC), QHostAddress(QStringLiteral("10.255.0.1")));
    std::printf("mass drop-out of %d users in one merge: %.2f ms; online %d, addresses known %d\n",
                TUserListe::MaxUsers, double(dropOut.nsecsElapsed()) / 1e6, liste.OnlineCount(),
                addressesKnown(channel, TUserListe::MaxUsers));

    // The same again with display names that fill the datagram.
    const QString longName(8000, u'x');
    const double longMeanUs = flood(
        channel, clock, Fakes, [&longName](int) { return longName; }, fillUs, fullUs);
    std::printf("display names of 8000 characters:\n");
    std::printf("  mean %.2f us per datagram; %.2f us while the list fills, %.2f us once it is full\n", longMeanUs,
                fillUs, fullUs);
    qsizetype longest = 0;
    for (const TUserListeRec& u : liste.GetListe())
        longest = std::max(longest, u.Name.size());
    std::printf("  online list %d users, %d slots, longest display name kept %lld characters\n", liste.OnlineCount(),
                liste.Count(), static_cast<long long>(longest));
    std::printf("  RSS now %ld KB, peak %ld KB\n", currentRssKb(), peakRssKb());
    return 0;
}
