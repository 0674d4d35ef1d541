#include "common/fields.h"
#include "common/texts.h"

#include <QTest>

class TestFields : public QObject
{
    Q_OBJECT
private slots:
    void getFeld_data();
    void getFeld();
    void felderAgreeWithGetFeld_data() { getFeld_data(); }
    void felderAgreeWithGetFeld();
    void texts();
};

void TestFields::getFeld_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Doubled and trailing separators produce no empty fields (2)") << "TB1||A||B|" << 2 << "A";
    QTest::newRow("Doubled and trailing separators produce no empty fields (3)") << "TB1||A||B|" << 3 << "B";
    QTest::newRow("A field beyond the last is empty") << "TB1||A||B|" << 4 << "";
    QTest::newRow("Leading separators are skipped") << "||mmuster||pc-07|" << 1 << "mmuster";
    QTest::newRow("Blanks are part of a field") << "a| |b" << 2 << " ";
    QTest::newRow("Field zero is empty") << "a|b" << 0 << "";
    QTest::newRow("Negative field is empty") << "a|b" << -1 << "";
    QTest::newRow("Empty text has no fields") << "" << 1 << "";
    QTest::newRow("Separators only have no fields") << "|||" << 1 << "";
    QTest::newRow("Presence datagram, state field") << "TB1|amaier|Anna Maier|R12-PC|0|1|08:15:30|1|7" << 5 << "0";
    QTest::newRow("Presence datagram, last field") << "TB1|amaier|Anna Maier|R12-PC|0|1|08:15:30|1|7" << 9 << "7";
    QTest::newRow("Umlauts and line breaks stay in the field")
        << "TB1|Jörg|Grüße\r\nzurück|X" << 3 << "Grüße\r\nzurück";
}

void TestFields::getFeld()
{
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QCOMPARE(GetFeld(text, n), expected);
}

void TestFields::felderAgreeWithGetFeld()
{
    QFETCH(QString, text);
    const QStringList all = GetFelder(text);
    QCOMPARE(FeldAnzahl(text), all.size());
    for (int i = 0; i < all.size(); ++i)
        QCOMPARE(GetFeld(text, i + 1), all.at(i));
}

void TestFields::texts()
{
    QCOMPARE(Texts::statusText(0), QStringLiteral("Online"));
    QCOMPARE(Texts::statusText(1), QStringLiteral("Abwesend"));
    QCOMPARE(Texts::statusText(2), QStringLiteral("Beschäftigt"));
    QCOMPARE(Texts::statusText(7), QStringLiteral("Beschäftigt"));
    QCOMPARE(Texts::statusModeText(smOffline), QStringLiteral("Offline"));
    QCOMPARE(Texts::soundFileName(TSound::sSignin), QStringLiteral("signin.wav"));
    QCOMPARE(Texts::soundFileName(TSound::sRead), QStringLiteral("read.wav"));
    QCOMPARE(Texts::soundLabel(TSound::sClick), QStringLiteral("Nächste ungelesene Nachricht"));
}

QTEST_GUILESS_MAIN(TestFields)
#include "tst_fields.moc"
