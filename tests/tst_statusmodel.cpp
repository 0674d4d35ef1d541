// The user's state without a window: choosing, automatic away from the last input, the start time of a
// state, and the caption and tray hint texts.
#include "common/clock.h"
#include "doubles/clock.h"
#include "doubles/lastinput.h"
#include "shell/lastinput.h"
#include "shell/settings.h"
#include "shell/statusmodel.h"

#include <QTest>

class TestStatusModel : public QObject
{
    Q_OBJECT
private slots:
    void choosingRestartsTheStateTime();
    void automaticAway_data();
    void automaticAway();
    void laterOfSystemAndOwnInputCounts();
    void cycleRestartsTheTimeWhenGoingAndComingBack();
    void captionAndHint_data();
    void captionAndHint();
};

void TestStatusModel::choosingRestartsTheStateTime()
{
    TEinstellungen e;
    ManualClock clock;
    TStatusModel model(e, clock, nullptr);
    QVERIFY(model.Waehlen(TStatusModel::TagOnline));
    QCOMPARE(model.Onlinezeit(), QTime(14, 5, 9));
    clock.advance(60000);
    QVERIFY(!model.Waehlen(TStatusModel::TagOnline));
    QCOMPARE(model.Onlinezeit(), QTime(14, 5, 9));
    QVERIFY(model.Waehlen(TStatusModel::TagAbwesend));
    QCOMPARE(model.Onlinezeit(), QTime(14, 6, 9));
    QCOMPARE(model.PresenceStatusNr(), int(StatusAbwesend));
    // Anything unknown is taken as busy.
    QVERIFY(model.Waehlen(7));
    QCOMPARE(model.Tag(), TStatusModel::TagBeschaeftigt);
    QVERIFY(model.IsBusy());
    QCOMPARE(model.PresenceStatusNr(), int(StatusBeschaeftigt));
}

void TestStatusModel::automaticAway_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<bool>("autoAway");
    QTest::addColumn<int>("idleMs");
    QTest::addColumn<bool>("away");
    QTest::newRow("Online, idle exactly the limit") << 1 << true << 600000 << false;
    QTest::newRow("Online, idle one ms past the limit") << 1 << true << 600001 << true;
    QTest::newRow("Online, switch off") << 1 << false << 3600000 << false;
    QTest::newRow("Busy is never turned away") << 3 << true << 3600000 << false;
    QTest::newRow("Chosen away is not automatic away") << 2 << true << 3600000 << false;
}

void TestStatusModel::automaticAway()
{
    QFETCH(int, tag);
    QFETCH(bool, autoAway);
    QFETCH(int, idleMs);
    TEinstellungen e;
    e.AutoAbwesendS = autoAway;
    e.AbwesendMin = 10;
    ManualClock clock;
    // Near the wrap of the tick count, so the idle time must be an unsigned difference.
    clock.setTickCount(0xFFFFFF00u);
    TStatusModel model(e, clock, nullptr);
    model.Waehlen(tag);
    clock.advance(uint32_t(idleMs));
    QTEST(model.IsAbwesend(), "away");
}

void TestStatusModel::laterOfSystemAndOwnInputCounts()
{
    TEinstellungen e;
    ManualClock clock;
    clock.setTickCount(1000);
    FakeLastInput system;
    TStatusModel model(e, clock, &system);
    QCOMPARE(model.GetLetzteEingabe(), 1000u);
    system.setLastInputTick(5000);
    QCOMPARE(model.GetLetzteEingabe(), 5000u);
    // An older system answer never moves the time back.
    system.setLastInputTick(3000);
    QCOMPARE(model.GetLetzteEingabe(), 5000u);
    clock.setTickCount(9000);
    model.EingabeBemerkt();
    QCOMPARE(model.GetLetzteEingabe(), 9000u);
    system.setLastInputTick(std::nullopt);
    QCOMPARE(model.GetLetzteEingabe(), 9000u);
}

void TestStatusModel::cycleRestartsTheTimeWhenGoingAndComingBack()
{
    TEinstellungen e;
    e.AutoAbwesendS = true;
    e.AbwesendMin = 1;
    ManualClock clock;
    TStatusModel model(e, clock, nullptr);
    model.Waehlen(TStatusModel::TagOnline);
    TStatusModel::TZyklus z = model.Zyklus();
    QVERIFY(!z.abwesendS && !z.zurueckS);
    QCOMPARE(model.StatusNrFuer(z), int(StatusOnline));

    clock.advance(61000);
    z = model.Zyklus();
    QVERIFY(z.abwesendS);
    QCOMPARE(model.StatusNrFuer(z), int(StatusAbwesend));
    QCOMPARE(model.Onlinezeit(), QTime(14, 6, 10));
    // Still away: the time of going away stays.
    clock.advance(3000);
    QVERIFY(model.Zyklus().abwesendS);
    QCOMPARE(model.Onlinezeit(), QTime(14, 6, 10));

    clock.advance(3000);
    model.EingabeBemerkt();
    z = model.Zyklus();
    QVERIFY(!z.abwesendS && z.zurueckS);
    QCOMPARE(model.Onlinezeit(), QTime(14, 6, 16));
    QVERIFY(!model.Zyklus().zurueckS);
}

void TestStatusModel::captionAndHint_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<bool>("abwesendS");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::newRow("Online") << 1 << false << "amaier (Online) - Tobrik V1.13"
                            << "Tobrik V1.13; Ungelesen: 2";
    QTest::newRow("Away by idling") << 1 << true << "amaier (Abwesend) - Tobrik V1.13"
                                    << "Tobrik V1.13 (Abwesend); Ungelesen: 2";
    QTest::newRow("Chosen away") << 2 << false << "amaier (Abwesend) - Tobrik V1.13"
                                 << "Tobrik V1.13 (Abwesend); Ungelesen: 2";
    QTest::newRow("Busy") << 3 << false << "amaier (Beschäftigt) - Tobrik V1.13"
                          << "Tobrik V1.13 (Beschäftigt); Ungelesen: 2";
}

void TestStatusModel::captionAndHint()
{
    QFETCH(int, tag);
    QFETCH(bool, abwesendS);
    TEinstellungen e;
    e.Name = QStringLiteral("amaier");
    ManualClock clock;
    TStatusModel model(e, clock, nullptr);
    model.Waehlen(tag);
    QTEST(model.FensterTitel(abwesendS), "caption");
    QTEST(model.IconHint(abwesendS, 2), "hint");
}

QTEST_GUILESS_MAIN(TestStatusModel)
#include "tst_statusmodel.moc"
