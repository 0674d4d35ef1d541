// What one received message costs the window's inbox and history lists: their rows are built from the store
// (one row text and key per partner) and only the changed rows are then touched. Prints, by the number of
// partners, the median time of a first build (every row formatted, the department directory read) and of a
// build after one message (its partner on top with a new time; the other rows kept), to show how each grows.
#include "data/listrows.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Laeufe = 51;

double MedianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    std::printf("%9s %12s %12s %14s %12s\n", "partners", "first ms", "message ms", "per partner us", "rows chars");
    for (const int partner : {100, 1000, 5000, 20000}) {
        QList<TPCUserAbteilungListeRec> directory;
        QList<TUserListeRec> store;
        const QDateTime zeit(QDate(2026, 12, 9), QTime(14, 5, 9));
        for (int i = 0; i < partner; ++i) {
            const QString pc = QStringLiteral("PC%1").arg(i, 5, 10, QLatin1Char('0'));
            directory.append({QStringLiteral("user%1").arg(i), pc, QStringLiteral("Abteilung %1").arg(i % 40)});
            TUserListeRec r;
            r.UserName = QStringLiteral("user%1").arg(i);
            r.Name = QStringLiteral("Vorname Nachname %1").arg(i);
            r.PC = pc;
            r.Zeit = zeit.addSecs(-60 * i);
            store.append(r);
        }
        std::vector<double> kalt;
        std::vector<double> warm;
        qsizetype chars = 0;
        for (int l = 0; l < Laeufe; ++l) {
            QElapsedTimer t;
            t.start();
            const TAbteilungen abteilungen(directory);
            TLogRows rows;
            rows.Build(store, abteilungen);
            kalt.push_back(t.nsecsElapsed() / 1e6);

            // The last partner writes: on top, with the time of its message.
            TUserListeRec r = store.takeLast();
            r.Zeit = r.Zeit.addSecs(60 * partner + l);
            store.prepend(r);
            t.start();
            rows.Build(store, abteilungen);
            warm.push_back(t.nsecsElapsed() / 1e6);
            chars = 0;
            for (const QString& row : rows.Rows())
                chars += row.size();
        }
        const double k = MedianMs(kalt);
        const double w = MedianMs(warm);
        std::printf("%9d %12.3f %12.3f %14.3f %12lld\n", partner, k, w, w * 1000 / partner, (long long)chars);
    }
    return 0;
}
