#include "common/clock.h"
#include "data/userliste.h"
#include "doubles/clock.h"
#include "net/protocol.h"

#include <QTest>

namespace {

QString presence(const QString& user, const QString& name, const QString& pc, const QString& state = "0",
                 const QString& online = "1", const QString& zeit = "08:15:30", const QString& count = "7")
{
    return QStringList{"TB1", user, name, pc, state, online, zeit, "1", count}.join(u'|');
}

// Decoded as the presence handler decodes it.
void merge(TUserListe& liste, const QString& datagram)
{
    const std::optional<Protocol::TPresence> p = Protocol::parsePresence(datagram, QTime(14, 5, 9));
    QVERIFY(p);
    liste.Add(p->User, p->OnlineS);
}

TUserListeRec user(const QString& name, const QString& pc = QString())
{
    TUserListeRec rec;
    rec.UserName = name.toLower();
    rec.Name = name;
    rec.PC = pc;
    return rec;
}

QStringList names(const QList<TUserListeRec>& recs)
{
    QStringList out;
    for (const TUserListeRec& r : recs)
        out << r.Name;
    return out;
}

int totalRecorded(const TStatus& status)
{
    int n = 0;
    for (int m = 0; m < StatusModeCount; ++m)
        n += status.Count(TStatusMode(m));
    return n;
}

} // namespace

class TestUserListe : public QObject
{
    Q_OBJECT
private slots:
    void newUserIsAnnouncedOnlineWhateverItsState_data();
    void newUserIsAnnouncedOnlineWhateverItsState();
    void secondEntry_data();
    void secondEntry();
    void signOff_data();
    void signOff();
    void slotsAreKeyedByPcAndUserName();
    void emptyPcNamesNobody();
    void dropOut_data();
    void dropOut();
    void oneMergeAnnouncesNewcomerBeforeDropOut();
    void newUserTakesLastFreeSlot();
    void resetMillisekKeepsSleepersOnline();
    void fullList_data();
    void fullList();
    void lookups();
    void statusText();
    void sort_data();
    void sort();
    void takeSoundBit_data();
    void takeSoundBit();
    void clearEmptiesEverything();
};

void TestUserListe::newUserIsAnnouncedOnlineWhateverItsState_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("An online newcomer") << "0";
    QTest::newRow("An away newcomer") << "1";
    QTest::newRow("A busy newcomer") << "2";
}

void TestUserListe::newUserIsAnnouncedOnlineWhateverItsState()
{
    QFETCH(QString, state);
    ManualClock clock;
    clock.setTickCount(5000);
    TUserListe liste(clock);
    merge(liste, presence("amaier", "Anna", "R12-PC", state));
    QCOMPARE(liste.Count(), 1);
    QCOMPARE(liste.Get(0).Millisek, 5000u);
    QVERIFY(liste.ChangeS);
    QCOMPARE(liste.SoundFlag, 1);
    QCOMPARE(liste.Status.Count(smOnline), 1);
    QCOMPARE(totalRecorded(liste.Status), 1);
    QCOMPARE(liste.Status.Text(), QStringLiteral("Anna Online"));
    QCOMPARE(liste.Get(0).StatusNr, state.toInt());
}

void TestUserListe::secondEntry_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("mode"); // -1: no state change recorded
    QTest::addColumn<int>("soundBit");

    const QString a = "amaier", pc = "R12-PC";
    QTest::newRow("An identical entry changes nothing") << presence(a, "Anna", pc) << false << -1 << 0;
    QTest::newRow("A new display name changes the list without a state change")
        << presence(a, "Anna Maier", pc) << true << -1 << 0;
    QTest::newRow("A new online time changes the list silently")
        << presence(a, "Anna", pc, "0", "1", "09:00:00") << true << -1 << 0;
    QTest::newRow("A new count changes the list silently")
        << presence(a, "Anna", pc, "0", "1", "08:15:30", "8") << true << -1 << 0;
    QTest::newRow("Going away is recorded once as away") << presence(a, "Anna", pc, "1") << true << int(smAway) << 4;
    QTest::newRow("Going busy is recorded once as busy") << presence(a, "Anna", pc, "2") << true << int(smBusy) << 8;
    QTest::newRow("A state never sent is recorded as online")
        << presence(a, "Anna", pc, "5") << true << int(smOnline) << 1;
}

void TestUserListe::secondEntry()
{
    QFETCH(QString, second);
    QFETCH(bool, changed);
    QFETCH(int, mode);
    QFETCH(int, soundBit);
    ManualClock clock;
    TUserListe liste(clock);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    liste.ChangeS = false;
    liste.SoundFlag = 0;
    clock.advance(3000);

    merge(liste, second);
    QCOMPARE(liste.Count(), 1);
    QCOMPARE(liste.ChangeS, changed);
    QCOMPARE(liste.SoundFlag, soundBit);
    QCOMPARE(totalRecorded(liste.Status), mode < 0 ? 0 : 1);
    if (mode >= 0)
        QCOMPARE(liste.Status.Count(TStatusMode(mode)), 1);
    QCOMPARE(liste.Status.ChangeS, mode >= 0);

    TUserListe fresh(clock);
    merge(fresh, second);
    QCOMPARE(liste.Get(0), fresh.Get(0)); // every field taken over, reception time refreshed
}

void TestUserListe::signOff_data()
{
    QTest::addColumn<QString>("online");
    QTest::newRow("Online flag 0 signs off") << "0";
    QTest::newRow("Online flag 01 signs off") << "01";
    QTest::newRow("Online flag with a blank signs off") << "1 ";
}

void TestUserListe::signOff()
{
    QFETCH(QString, online);
    ManualClock clock;
    TUserListe liste(clock);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    merge(liste, presence("bbauer", "Bernd", "B07-PC"));
    liste.ChangeS = false;
    liste.SoundFlag = 0;

    merge(liste, presence("amaier", "Anna M.", "R12-PC", "0", online));
    QCOMPARE(liste.Count(), 2);
    QVERIFY(liste.FindUser("R12-PC").PC.isEmpty());
    QCOMPARE(names(liste.GetListe()), QStringList{"Bernd"});
    QVERIFY(liste.ChangeS);
    QCOMPARE(liste.SoundFlag, 2);
    QCOMPARE(liste.Status.Text(), QStringLiteral("Anna M. Offline"));

    liste.ChangeS = false;
    liste.SoundFlag = 0;
    merge(liste, presence("cclaus", "Clara", "C01-PC", "0", online));
    QCOMPARE(liste.Count(), 2);
    QCOMPARE(int(liste.GetListe().size()), 1);
    QCOMPARE(liste.OnlineCount(), 1);
    QVERIFY(!liste.ChangeS);
    QCOMPARE(liste.SoundFlag, 0);
    QVERIFY(!liste.Status.ChangeS);
}

void TestUserListe::slotsAreKeyedByPcAndUserName()
{
    ManualClock clock;
    TUserListe liste(clock);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    merge(liste, presence("amaier", "Anna", "R13-PC"));
    merge(liste, presence("bbauer", "Bernd", "R12-PC"));
    merge(liste, presence("AMAIER", "Anna", "R12-PC"));
    merge(liste, presence("amaier", "Anna", "r12-pc"));
    QCOMPARE(liste.Count(), 5);
    QCOMPARE(liste.Status.Count(smOnline), 1);

    merge(liste, presence("bbauer", "Bernd", "R12-PC", "0", "0"));
    QCOMPARE(int(liste.GetListe().size()), 4);
    QCOMPARE(liste.OnlineCount(), 4);
    QCOMPARE(liste.FindIndex("R12-PC"), 0);
    QCOMPARE(liste.Get(0).UserName, QStringLiteral("amaier"));
}

void TestUserListe::emptyPcNamesNobody()
{
    ManualClock clock;
    TUserListe liste(clock);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    merge(liste, presence("amaier", "Anna", "R12-PC", "0", "0"));
    liste.ChangeS = false;
    liste.SoundFlag = 0;

    // The freed slot keeps its user name; an entry without a PC must neither sign it off a second time
    // nor revive it.
    TUserListeRec nobody = user("Anna");
    nobody.UserName = "amaier";
    liste.Add(nobody, true);
    QCOMPARE(liste.Count(), 1);
    QVERIFY(liste.GetListe().isEmpty());
    QVERIFY(!liste.ChangeS);
    QCOMPARE(liste.SoundFlag, 0);
}

void TestUserListe::dropOut_data()
{
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("silence");
    QTest::addColumn<bool>("dropped");
    QTest::newRow("Silent for exactly 30000 ms stays") << 1000u << 30000u << false;
    QTest::newRow("Silent for 30001 ms drops out") << 1000u << 30001u << true;
    QTest::newRow("A wrapped tick count 29000 ms later stays") << 0xFFFFF000u << 29000u << false;
    QTest::newRow("A wrapped tick count 30000 ms later stays") << 0xFFFFFFFFu << 30000u << false;
    QTest::newRow("A wrapped tick count 31000 ms later drops out") << 0xFFFFF000u << 31000u << true;
}

void TestUserListe::dropOut()
{
    QFETCH(uint, start);
    QFETCH(uint, silence);
    QFETCH(bool, dropped);
    ManualClock clock;
    clock.setTickCount(start);
    TUserListe liste(clock);
    // Bernd stands before Anna, so her expiry is only seen if the walk goes on past his match.
    merge(liste, presence("bbauer", "Bernd", "B07-PC"));
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    clock.advance(10);
    merge(liste, presence("bbauer", "Bernd", "B07-PC"));
    clock.advance(silence - 10);
    liste.ChangeS = false;
    liste.SoundFlag = 0;

    merge(liste, presence("bbauer", "Bernd", "B07-PC"));
    QCOMPARE(liste.FindUser("R12-PC").PC.isEmpty(), dropped);
    QCOMPARE(liste.FindIndex("B07-PC"), 0);
    QCOMPARE(liste.ChangeS, dropped);
    QCOMPARE(liste.SoundFlag, dropped ? 2 : 0);
    QCOMPARE(liste.Status.Count(smOffline), dropped ? 1 : 0);
    if (dropped) {
        const TUserListeRec gone = liste.Status.Liste(smOffline).first();
        QCOMPARE(gone.PC, QStringLiteral("R12-PC"));
        QCOMPARE(gone.Name, QStringLiteral("Anna"));
    }
}

void TestUserListe::oneMergeAnnouncesNewcomerBeforeDropOut()
{
    ManualClock clock;
    TUserListe liste(clock);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    merge(liste, presence("bbauer", "Bernd", "B07-PC"));
    clock.advance(20000);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    clock.advance(10001);

    merge(liste, presence("cclaus", "Clara", "C01-PC"));
    QCOMPARE(liste.Status.Text(), QStringLiteral("Clara Online; Bernd Offline"));
    QCOMPARE(liste.SoundFlag, 1 | 2);
    QCOMPARE(liste.Count(), 2);
    QCOMPARE(liste.FindIndex("C01-PC"), 1); // Bernd's slot, freed in this very call
}

void TestUserListe::newUserTakesLastFreeSlot()
{
    ManualClock clock;
    TUserListe liste(clock);
    for (const QString n : {"Anna", "Bernd", "Clara", "Dora"})
        merge(liste, presence(n.toLower(), n, n + "-PC"));
    merge(liste, presence("anna", "Anna", "Anna-PC", "0", "0"));
    merge(liste, presence("clara", "Clara", "Clara-PC", "0", "0"));
    QCOMPARE(int(liste.GetListe().size()), 2);

    merge(liste, presence("emil", "Emil", "Emil-PC"));
    QCOMPARE(liste.Count(), 4);
    QCOMPARE(liste.FindIndex("Emil-PC"), 2);
    merge(liste, presence("fritz", "Fritz", "Fritz-PC"));
    QCOMPARE(liste.FindIndex("Fritz-PC"), 0);
    merge(liste, presence("gerd", "Gerd", "Gerd-PC"));
    QCOMPARE(liste.Count(), 5);
    QCOMPARE(liste.FindIndex("Gerd-PC"), 4);
}

void TestUserListe::resetMillisekKeepsSleepersOnline()
{
    ManualClock clock;
    TUserListe liste(clock);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    clock.advance(3600000);
    liste.ResetMillisek();
    QCOMPARE(liste.Get(0).Millisek, clock.tickCount());
    clock.advance(30000);
    merge(liste, presence("bbauer", "Bernd", "B07-PC"));
    QCOMPARE(int(liste.GetListe().size()), 2);
    QCOMPARE(liste.Status.Count(smOffline), 0);
}

void TestUserListe::fullList_data()
{
    QTest::addColumn<QStringList>("steps"); // "on|off|away user@PC" merges, "wait MS" moves the clock
    QTest::addColumn<QString>("pc");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<int>("online");
    QTest::addColumn<bool>("changed"); // by the last step
    QTest::addColumn<int>("sound");    // by the last step
    const int cap = TUserListe::MaxUsers;
    QTest::newRow("A newcomer to the full list is refused quietly")
        << QStringList{"on neu@NEU-PC"} << "NEU-PC" << false << cap << false << 0;
    QTest::newRow("A listed user still changes state")
        << QStringList{"away u1@F-0001"} << "F-0001" << true << cap << true << 4;
    QTest::newRow("A listed user still signs off, and the slot takes the next newcomer")
        << QStringList{"on neu@NEU-PC", "off u1@F-0001", "on neu@NEU-PC"} << "NEU-PC" << true << cap << true << 1;
    QTest::newRow("A user who drops out makes room in the same merge")
        << QStringList{"wait 10001", "on neu@NEU-PC"} << "NEU-PC" << true << cap << true << (1 | 2);
    QTest::newRow("The own PC is taken beyond the cap")
        << QStringList{"on amaier@OWN-PC"} << "OWN-PC" << true << cap + 1 << true << 1;
    QTest::newRow("Only one user of the own PC beyond the cap, so a forger cannot grow the list through it")
        << QStringList{"on amaier@OWN-PC", "on gast@OWN-PC", "on gast2@OWN-PC"} << "OWN-PC" << true << cap + 1 << false
        << 0;
}

// Any host can announce users; the list keeps working at its cap instead of growing without bound.
void TestUserListe::fullList()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, pc);
    ManualClock clock;
    TUserListe liste(clock);
    liste.SetEigenerPC(QStringLiteral("OWN-PC"));
    const auto rec = [](const QString& userAtPc) {
        TUserListeRec r = user(userAtPc.section(u'@', 0, 0), userAtPc.section(u'@', 1));
        r.StatusNr = 0;
        return r;
    };
    // u0 is heard first and alone, so it is the one to drop out when the clock moves on.
    liste.Add(rec("u0@F-0000"), true);
    clock.advance(20000);
    for (int i = 1; i < TUserListe::MaxUsers; ++i)
        liste.Add(rec(QStringLiteral("u%1@F-%2").arg(i).arg(i, 4, 10, QLatin1Char('0'))), true);
    QCOMPARE(liste.OnlineCount(), TUserListe::MaxUsers);

    bool pcGelistetS = false;
    for (const QString& step : steps) {
        liste.ChangeS = false;
        liste.SoundFlag = 0;
        const QString what = step.section(u' ', 0, 0);
        const QString arg = step.section(u' ', 1);
        if (what == "wait") {
            clock.advance(arg.toUInt());
        } else {
            TUserListeRec r = rec(arg);
            r.StatusNr = what == "away" ? StatusAbwesend : StatusOnline;
            pcGelistetS = liste.Add(r, what != "off");
        }
    }
    QTEST(liste.FindIndex(pc) >= 0, "listed");
    QTEST(pcGelistetS, "listed"); // as Add reports it
    QTEST(liste.OnlineCount(), "online");
    QTEST(liste.ChangeS, "changed");
    QTEST(int(liste.SoundFlag), "sound");
    // Free slots are reused, so the array never grows past the list.
    QVERIFY(liste.Count() <= TUserListe::MaxUsers + 1);
}

void TestUserListe::lookups()
{
    ManualClock clock;
    TUserListe liste(clock);
    for (const QString n : {"Anna", "Bernd", "Clara", "Dora"})
        merge(liste, presence(n.toLower(), n, n + "-PC"));
    merge(liste, presence("anna", "Anna", "Anna-PC", "0", "0"));
    merge(liste, presence("bernd", "Bernd", "Bernd-PC", "0", "0"));

    QCOMPARE(liste.FindItem(0).Name, QStringLiteral("Clara"));
    QCOMPARE(liste.FindItem(1).Name, QStringLiteral("Dora"));
    QVERIFY(liste.FindItem(2).PC.isEmpty());
    QVERIFY(liste.FindItem(-1).PC.isEmpty());
    QCOMPARE(names(liste.GetListe()), (QStringList{"Clara", "Dora"}));

    QCOMPARE(liste.FindUser("Dora-PC").Name, QStringLiteral("Dora"));
    QCOMPARE(liste.FindIndex("Dora-PC"), 3);
    QCOMPARE(liste.FindIndex("dora-pc"), -1);
    QCOMPARE(liste.FindIndex("Anna-PC"), -1);
    QCOMPARE(liste.FindIndex(QString()), -1); // free slots have an empty PC
    QVERIFY(liste.FindUser(QString()).UserName.isEmpty());

    QCOMPARE(liste.Get(4), TUserListeRec());
    QCOMPARE(liste.Get(-1), TUserListeRec());
    liste.Put(0, user("Zoe", "Zoe-PC"));
    liste.Put(4, user("Out", "Out-PC"));
    liste.Put(-1, user("Out", "Out-PC"));
    QCOMPARE(liste.Count(), 4);
    QCOMPARE(liste.FindItem(0).Name, QStringLiteral("Zoe"));
    QCOMPARE(liste.FindIndex("Out-PC"), -1);
}

void TestUserListe::statusText()
{
    TStatus status;
    QVERIFY(status.Text().isEmpty());
    QVERIFY(!status.ChangeS);
    status.Add(smBusy, user("Dora"));
    status.Add(smAway, user("Clara"));
    status.Add(smOffline, user("Bernd"));
    status.Add(smOnline, user("Anna"));
    status.Add(smOnline, user("Emil Ärger"));
    QVERIFY(status.ChangeS);
    QCOMPARE(status.Count(smOnline), 2);
    QCOMPARE(status.Text(), QStringLiteral("Anna Online; Emil Ärger Online; Bernd Offline; Clara Abwesend; "
                                           "Dora Beschäftigt"));
    status.Clear();
    QVERIFY(!status.ChangeS);
    QCOMPARE(status.Count(smBusy), 0);
    QVERIFY(status.Text().isEmpty());
}

void TestUserListe::sort_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("Zoe sorts before Ärger") << QStringList{"Ärger", "Zoe"} << QStringList{"Zoe", "Ärger"};
    QTest::newRow("Equal names ignoring ASCII case keep their order")
        << QStringList{"anna", "Bernd", "ANNA", "Anna"} << QStringList{"anna", "ANNA", "Anna", "Bernd"};
    QTest::newRow("A prefix sorts first")
        << QStringList{"Annabell", "Anna", "Ann"} << QStringList{"Ann", "Anna", "Annabell"};
    QTest::newRow("Umlauts are not folded") << QStringList{"ä", "Ä", "b"} << QStringList{"b", "Ä", "ä"};
    QTest::newRow("Lower-case letters compare as upper case, before the underscore")
        << QStringList{"_x", "ax", "[x"} << QStringList{"ax", "[x", "_x"};
    QTest::newRow("An empty name sorts first") << QStringList{"b", ""} << QStringList{"", "b"};
}

void TestUserListe::sort()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    ManualClock clock;
    TUserListe liste(clock);
    for (const QString& n : before) {
        TUserListeRec rec = user(n, "PC");
        rec.UserName = QString::number(liste.Count()); // keeps slots apart even for equal names
        liste.Add(rec, true);
    }
    QCOMPARE(liste.Count(), int(before.size()));
    // A free slot is sorted along, by the name it kept.
    liste.Add(liste.Get(0), false);

    liste.Sort();
    QStringList sorted;
    for (int i = 0; i < liste.Count(); ++i)
        sorted << liste.Get(i).Name;
    QCOMPARE(sorted, after); // the names are distinct strings, so this also shows stability
    QCOMPARE(int(liste.GetListe().size()), int(before.size()) - 1);
}

void TestUserListe::takeSoundBit_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("left");
    QTest::newRow("No bit set plays nothing") << 0 << 0 << 0;
    QTest::newRow("Online wins over offline and busy") << (1 | 2 | 8) << 1 << 0;
    QTest::newRow("Offline wins over away") << (2 | 4) << 2 << 0;
    QTest::newRow("Busy alone") << 8 << 8 << 0;
    QTest::newRow("An unknown bit alone is left alone") << 16 << 0 << 16;
    QTest::newRow("An unknown bit goes with a known one") << (16 | 4) << 4 << 0;
}

void TestUserListe::takeSoundBit()
{
    QFETCH(int, flag);
    TUserListe liste;
    liste.SoundFlag = flag;
    QTEST(int(liste.TakeSoundBit()), "bit");
    QTEST(int(liste.SoundFlag), "left");
}

void TestUserListe::clearEmptiesEverything()
{
    ManualClock clock;
    TUserListe liste(clock);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    liste.Clear();
    QCOMPARE(liste.Count(), 0);
    QVERIFY(!liste.ChangeS);
    QCOMPARE(liste.SoundFlag, 0);
    QVERIFY(!liste.Status.ChangeS);
    QCOMPARE(liste.Status.Count(smOnline), 0);
    merge(liste, presence("amaier", "Anna", "R12-PC"));
    QCOMPARE(liste.Count(), 1);
}

QTEST_GUILESS_MAIN(TestUserListe)
#include "tst_userliste.moc"
