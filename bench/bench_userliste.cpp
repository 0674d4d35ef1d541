// Cost of merging one presence datagram into a full online list in steady state (nothing changes).
#include "common/clock.h"
#include "data/userliste.h"
#include "doubles/clock.h"
#include "net/protocol.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

QString presence(int i)
{
    const QString nr = QString::number(i);
    return QStringList{
        "TB1", "user" + nr, "Vorname Nachname " + nr, "PC-R" + nr.rightJustified(4, u'0'), "0", "1", "08:15:30",
        "1",   "4999"}
        .join(u'|');
}

struct Figures
{
    double median = 0;
    double mean = 0;
    double p99 = 0;
};

Figures summarise(std::vector<double> us)
{
    Figures f;
    f.mean = std::accumulate(us.begin(), us.end(), 0.0) / double(us.size());
    std::nth_element(us.begin(), us.begin() + us.size() / 2, us.end());
    f.median = us[us.size() / 2];
    // Preemption by other processes lands in single samples; the 99th percentile shows how rare that is.
    std::nth_element(us.begin(), us.begin() + us.size() * 99 / 100, us.end());
    f.p99 = us[us.size() * 99 / 100];
    return f;
}

// Times every call of step(i) for rounds passes over users entries, in microseconds.
template <typename Step>
Figures timePerCall(int users, int rounds, ManualClock& clock, Step step)
{
    std::vector<double> us;
    us.reserve(size_t(users) * size_t(rounds));
    QElapsedTimer timer;
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < users; ++i) {
            clock.advance(1); // each user is heard again long before the drop-out limit
            timer.start();
            step(i);
            us.push_back(double(timer.nsecsElapsed()) / 1000.0);
        }
    }
    return summarise(std::move(us));
}

void run(int users, int rounds)
{
    ManualClock clock;
    TUserListe liste(clock);
    std::vector<QString> data;
    std::vector<TUserListeRec> recs;
    for (int i = 0; i < users; ++i) {
        data.push_back(presence(i));
        recs.push_back(Protocol::parsePresence(data.back(), QTime(8, 15, 30))->User);
        liste.Add(recs.back(), true);
    }
    liste.ChangeS = false;
    liste.SoundFlag = 0;

    const QTime now(14, 5, 9);
    const Figures text = timePerCall(users, rounds, clock, [&](int i) {
        if (const std::optional<Protocol::TPresence> p = Protocol::parsePresence(data[size_t(i)], now))
            liste.Add(p->User, p->OnlineS);
    });
    const Figures merge = timePerCall(users, rounds, clock, [&](int i) { liste.Add(recs[size_t(i)], true); });
    const bool steady = !liste.ChangeS && liste.SoundFlag == 0 && liste.Count() == users;

    std::printf("%d users online, %d datagrams%s\n", users, users * rounds, steady ? "" : " (LIST CHANGED!)");
    std::printf("  parsePresence+Add median %7.2f us  mean %7.2f us  p99 %7.2f us per datagram\n", text.median,
                text.mean, text.p99);
    std::printf("  Add(AUser, true)  median %7.2f us  mean %7.2f us  p99 %7.2f us per merge\n", merge.median,
                merge.mean, merge.p99);
    std::printf("  every user heard every 3 s: %.1f%% of one core (by the median)\n",
                text.median * users / 3000000.0 * 100.0);
}

} // namespace

int main()
{
    run(2000, 20);
    run(5000, 10);
    return 0;
}
