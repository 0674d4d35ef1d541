// Row texts of the main window's lists, the rules of its inbox commands and message field, and the key
// hints of the status bar: all without a window.
#include "common/keynames.h"
#include "data/listrows.h"

#include <QTest>

#include <functional>

using Directory = QList<TPCUserAbteilungListeRec>;
Q_DECLARE_METATYPE(Directory)

namespace {

TUserListeRec user(const QString& name, const QString& pc, int statusNr = 0)
{
    TUserListeRec u;
    u.Name = name;
    u.UserName = QStringLiteral("login");
    u.PC = pc;
    u.StatusNr = statusNr;
    u.Onlinezeit = QTime(8, 15, 0);
    u.Zeit = QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9));
    return u;
}

int combined(QKeyCombination key)
{
    return key.toCombined();
}

} // namespace

class TestListRows : public QObject
{
    Q_OBJECT
private slots:
    void onlineRow_data();
    void onlineRow();
    void logRow_data();
    void logRow();
    void keptRowsFollowTheStore();
    void inboxCommands_data();
    void inboxCommands();
    void unreadTarget_data();
    void unreadTarget();
    void reselectRow_data();
    void reselectRow();
    void replaceBars_data();
    void replaceBars();
    void germanShortcutText_data();
    void germanShortcutText();
    void keyHintText_data();
    void keyHintText();
};

void TestListRows::onlineRow_data()
{
    QTest::addColumn<Directory>("directory");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pc");
    QTest::addColumn<int>("statusNr");
    QTest::addColumn<QString>("expected");
    const Directory verwaltung{{"amuster", "PC07", "Verwaltung"}};
    QTest::newRow("Online with department")
        << verwaltung << "Anna Muster"
        << "PC07" << 0 << "Anna Muster (Verwaltung) auf PC07 (Online seit 08:15:00)";
    QTest::newRow("Away without directory row") << Directory() << "Anna Muster"
                                                << "PC07" << 1 << "Anna Muster auf PC07 (Abwesend seit 08:15:00)";
    QTest::newRow("Directory row with empty department adds nothing")
        << Directory{{"amuster", "PC07", ""}} << "Anna Muster"
        << "PC07" << 2 << "Anna Muster auf PC07 (Beschäftigt seit 08:15:00)";
    QTest::newRow("Any other state number reads busy") << Directory() << "Anna"
                                                       << "PC07" << 7 << "Anna auf PC07 (Beschäftigt seit 08:15:00)";
    QTest::newRow("Negative state number reads busy") << Directory() << "Anna"
                                                      << "PC07" << -1 << "Anna auf PC07 (Beschäftigt seit 08:15:00)";
    QTest::newRow("Lower-case PC gets no department") << verwaltung << "Anna Muster"
                                                      << "pc07" << 0 << "Anna Muster auf pc07 (Online seit 08:15:00)";
    QTest::newRow("Percent signs in the name stay as they are")
        << verwaltung << "100% %1 %s Anna"
        << "PC07" << 0 << "100% %1 %s Anna (Verwaltung) auf PC07 (Online seit 08:15:00)";
    QTest::newRow("Placeholder in the department stays as it is")
        << Directory{{"amuster", "PC07", "%1 %2"}} << "Anna %1"
        << "PC07" << 0 << "Anna %1 (%1 %2) auf PC07 (Online seit 08:15:00)";
    QTest::newRow("The first directory row of a PC counts")
        << Directory{{"amuster", "PC07", "Verwaltung"}, {"bkurz", "PC07", "Technik"}} << "Bernd"
        << "PC07" << 0 << "Bernd (Verwaltung) auf PC07 (Online seit 08:15:00)";
    QTest::newRow("An empty first row hides a later department")
        << Directory{{"amuster", "PC07", ""}, {"bkurz", "PC07", "Technik"}} << "Bernd"
        << "PC07" << 0 << "Bernd auf PC07 (Online seit 08:15:00)";
}

void TestListRows::onlineRow()
{
    QFETCH(Directory, directory);
    QFETCH(QString, name);
    QFETCH(QString, pc);
    QFETCH(int, statusNr);
    QFETCH(QString, expected);
    const TAbteilungen abteilungen(directory);
    QCOMPARE(OnlineRowText(user(name, pc, statusNr), abteilungen.GetAbteilungText(pc)), expected);
}

void TestListRows::logRow_data()
{
    QTest::addColumn<Directory>("directory");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pc");
    QTest::addColumn<QString>("expected");
    const Directory verwaltung{{"amuster", "PC07", "Verwaltung"}};
    QTest::newRow("With department") << verwaltung << "Anna Muster"
                                     << "PC07"
                                     << "Anna Muster (Verwaltung) auf PC07 (09.12.2026 14:05:09)";
    QTest::newRow("Without department") << Directory() << "Anna Muster"
                                        << "PC07"
                                        << "Anna Muster auf PC07 (09.12.2026 14:05:09)";
    QTest::newRow("Lower-case PC gets no department") << verwaltung << "Anna Muster"
                                                      << "pc07"
                                                      << "Anna Muster auf pc07 (09.12.2026 14:05:09)";
    QTest::newRow("Percent signs in the name stay as they are") << Directory() << "50% %1"
                                                                << "PC07"
                                                                << "50% %1 auf PC07 (09.12.2026 14:05:09)";
    QTest::newRow("Percent signs in the department stay as they are")
        << Directory{{"amuster", "PC07", "%1 %2"}} << "Anna Muster"
        << "PC07"
        << "Anna Muster (%1 %2) auf PC07 (09.12.2026 14:05:09)";
}

void TestListRows::logRow()
{
    QFETCH(Directory, directory);
    QFETCH(QString, name);
    QFETCH(QString, pc);
    QFETCH(QString, expected);
    const TAbteilungen abteilungen(directory);
    QCOMPARE(LogRowText(user(name, pc), abteilungen.GetAbteilungText(pc)), expected);
}

// Rows are kept between redraws; whatever changed in the store or the directory, the rows and keys must be
// those that formatting every entry anew gives.
void TestListRows::keptRowsFollowTheStore()
{
    QList<TUserListeRec> store;
    for (const char* pc : {"PC01", "PC02", "PC03", "PC04"})
        store.append(user(QStringLiteral("Name ") + pc, pc));
    store[3].UserName = QStringLiteral("other");
    Directory directory{{"login", "PC01", "Verwaltung"}, {"login", "PC02", "Technik"}};
    TLogRows rows;
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"first", [] {}},
        {"a message moves a partner on top",
         [&] {
             store.move(2, 0);
             store[0].Zeit = store[0].Zeit.addSecs(61);
         }},
        {"a partner renamed", [&] { store[1].Name = QStringLiteral("Neuer Name"); }},
        {"a department renamed", [&] { directory[1].Abteilung = QStringLiteral("Einkauf"); }},
        {"a department removed", [&] { directory.removeFirst(); }},
        {"another user on the same PC", [&] { store[2].UserName = QStringLiteral("login2"); }},
        {"a partner deleted", [&] { store.removeAt(1); }},
        {"empty", [&] { store.clear(); }},
    };
    for (const auto& [step, change] : steps) {
        change();
        const TAbteilungen abteilungen(directory);
        rows.Build(store, abteilungen);
        QStringList expectedRows;
        QStringList expectedKeys;
        for (const TUserListeRec& e : std::as_const(store)) {
            expectedRows << LogRowText(e, abteilungen.GetAbteilungText(e.PC));
            expectedKeys << e.UserName + u'|' + e.PC;
        }
        QVERIFY2(rows.Rows() == expectedRows, step);
        QVERIFY2(rows.Keys() == expectedKeys, step);
    }
}

void TestListRows::inboxCommands_data()
{
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("gelesen");
    QTest::addColumn<bool>("naechste");
    QTest::addColumn<bool>("vorherige");
    QTest::newRow("Empty inbox, nothing open") << -1 << 0 << false << false << false;
    QTest::newRow("Three entries, none of them open") << -1 << 3 << false << true << true;
    QTest::newRow("Three entries, the first open") << 0 << 3 << true << true << false;
    QTest::newRow("Three entries, the second open") << 1 << 3 << true << true << true;
    QTest::newRow("Three entries, the third open") << 2 << 3 << true << false << true;
    QTest::newRow("The only entry open") << 0 << 1 << true << false << false;
}

void TestListRows::inboxCommands()
{
    QFETCH(int, i);
    QFETCH(int, n);
    const TInboxCommands c = InboxCommands(i, n);
    QTEST(c.gelesen, "gelesen");
    QTEST(c.naechste, "naechste");
    QTEST(c.vorherige, "vorherige");
}

void TestListRows::unreadTarget_data()
{
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("naechsteS");
    QTest::addColumn<int>("expected");
    QTest::newRow("Second of three open, next opens the third") << 1 << 3 << true << 2;
    QTest::newRow("Second of three open, previous opens the first") << 1 << 3 << false << 0;
    QTest::newRow("Third of three open, next has no target") << 2 << 3 << true << -1;
    QTest::newRow("First open, previous has no target") << 0 << 3 << false << -1;
    QTest::newRow("Partner not in the inbox, next opens the first") << -1 << 3 << true << 0;
    QTest::newRow("Partner not in the inbox, previous opens the first") << -1 << 3 << false << 0;
    QTest::newRow("Empty inbox has no target") << -1 << 0 << true << -1;
}

void TestListRows::unreadTarget()
{
    QFETCH(int, i);
    QFETCH(int, n);
    QFETCH(bool, naechsteS);
    QTEST(UnreadTarget(i, n, naechsteS), "expected");
}

void TestListRows::reselectRow_data()
{
    QTest::addColumn<int>("remembered");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("selected"); // -1: nothing is selected
    QTest::newRow("Same length keeps the row") << 2 << 5 << 2;
    QTest::newRow("Shrunk by one with the last row selected selects the new last") << 4 << 4 << 3;
    QTest::newRow("Shrunk by two with the last row selected selects nothing") << 4 << 3 << -1;
    QTest::newRow("Nothing selected before selects the first row") << -1 << 3 << 0;
    QTest::newRow("The only row gone leaves an empty list") << 0 << 0 << -1;
    QTest::newRow("Nothing selected in an empty list") << -1 << 0 << -1;
}

void TestListRows::reselectRow()
{
    QFETCH(int, remembered);
    QFETCH(int, count);
    const int row = ReselectRow(remembered, count);
    QVERIFY(row >= 0);
    QTEST(row < count ? row : -1, "selected");
}

void TestListRows::replaceBars_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Every bar becomes a slash") << "a|b||c|"
                                               << "a/b//c/";
    QTest::newRow("Text without bars stays") << "Grüße\nzurück"
                                             << "Grüße\nzurück";
}

void TestListRows::replaceBars()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString result = ReplaceBars(text);
    QCOMPARE(result, expected);
    QCOMPARE(result.size(), text.size());
}

void TestListRows::germanShortcutText_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Ctrl+PageDown") << combined(Qt::CTRL | Qt::Key_PageDown) << "Strg+BildAb";
    QTest::newRow("Ctrl+PageUp") << combined(Qt::CTRL | Qt::Key_PageUp) << "Strg+BildAuf";
    QTest::newRow("Ctrl+Alt+PageDown") << combined(Qt::CTRL | Qt::ALT | Qt::Key_PageDown) << "Strg+Alt+BildAb";
    QTest::newRow("A letter key") << combined(Qt::CTRL | Qt::Key_G) << "Strg+G";
    QTest::newRow("Modifiers in the order Umsch, Strg, Alt")
        << combined(QKeyCombination(Qt::AltModifier | Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_F1))
        << "Umsch+Strg+Alt+F1";
    QTest::newRow("Del alone") << combined(QKeyCombination(Qt::Key_Delete)) << "Entf";
    QTest::newRow("Ctrl+F4") << combined(Qt::CTRL | Qt::Key_F4) << "Strg+F4";
    QTest::newRow("No key") << 0 << "";
}

void TestListRows::germanShortcutText()
{
    QFETCH(int, key);
    QTEST(GermanShortcutText(key), "expected");
}

void TestListRows::keyHintText_data()
{
    QTest::addColumn<bool>("naechsteS");
    QTest::addColumn<bool>("vorherigeS");
    QTest::addColumn<bool>("gelesenS");
    QTest::addColumn<bool>("sendenS");
    QTest::addColumn<bool>("optionenS");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Next unread and mark as read")
        << true << true << true << true << true << "Strg+BildAb=Nächste; Strg+G=Gelesen; Strg+Alt+BildAb=Minimieren";
    QTest::newRow("Nothing enabled leaves options and minimise")
        << false << false << false << false << true << "Strg+O=Optionen; Strg+Alt+BildAb=Minimieren";
    QTest::newRow("Disabled options are not offered")
        << false << false << false << false << false << "Strg+Alt+BildAb=Minimieren";
    QTest::newRow("Previous when next is disabled")
        << false << true << true << false << false
        << "Strg+BildAuf=Vorherige; Strg+G=Gelesen; Strg+Alt+BildAb=Minimieren";
    QTest::newRow("Send when mark as read is disabled")
        << false << false << false << true << false << "Strg+S=Senden; Strg+Alt+BildAb=Minimieren";
}

void TestListRows::keyHintText()
{
    TKeyHintInput in;
    QFETCH(bool, naechsteS);
    QFETCH(bool, vorherigeS);
    QFETCH(bool, gelesenS);
    QFETCH(bool, sendenS);
    QFETCH(bool, optionenS);
    in.optionenS = optionenS;
    in.naechsteS = naechsteS;
    in.vorherigeS = vorherigeS;
    in.gelesenS = gelesenS;
    in.sendenS = sendenS;
    in.naechste = combined(Qt::CTRL | Qt::Key_PageDown);
    in.vorherige = combined(Qt::CTRL | Qt::Key_PageUp);
    in.gelesen = combined(Qt::CTRL | Qt::Key_G);
    in.senden = combined(Qt::CTRL | Qt::Key_S);
    in.optionen = combined(Qt::CTRL | Qt::Key_O);
    in.minimieren = combined(Qt::CTRL | Qt::ALT | Qt::Key_PageDown);
    QTEST(KeyHintText(in), "expected");
}

QTEST_GUILESS_MAIN(TestListRows)
#include "tst_listrows.moc"
