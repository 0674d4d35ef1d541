#include "data/pcliste.h"
#include "data/textfile.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Rows as "User,PC,Abteilung" so that a table can list them.
QStringList describe(const QList<TPCUserAbteilungListeRec>& rows)
{
    QStringList out;
    for (const TPCUserAbteilungListeRec& r : rows)
        out << r.User + u',' + r.PC + u',' + r.Abteilung;
    return out;
}

} // namespace

class TestPCListe : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void init();
    void cleanup() { m_dir.reset(); }

    void parseLines_data();
    void parseLines();
    void loadsEveryEncodingAtCreation_data();
    void loadsEveryEncodingAtCreation();
    void missingFileAtCreationGivesEmptyDirectory();
    void reloadReplacesRows();
    void failedReloadKeepsOldRows_data();
    void failedReloadKeepsOldRows();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("User.txt")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPCListe::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestPCListe::parseLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("A plain line gives user, upper-case PC and department")
        << u"mmuster|pc-07|Verwaltung"_s << QStringList{u"mmuster,PC-07,Verwaltung"_s};
    QTest::newRow("Leading, doubled and trailing separators are ignored")
        << u"|mmuster||pc-07|"_s << QStringList{u"mmuster,PC-07,"_s};
    QTest::newRow("Blanks and control characters around the fields are trimmed")
        << u" mmuster \t|  pc-07 | Verwaltung \u0001"_s << QStringList{u"mmuster,PC-07,Verwaltung"_s};
    QTest::newRow("A second field of blanks skips the line; the department does not move up")
        << u"mmuster|   |Verwaltung"_s << QStringList{};
    QTest::newRow("A single field, a blank line and separators only give no row")
        << u"Benutzerliste\r\n\r\n   \r\n|||\r\n"_s << QStringList{};
    QTest::newRow("A remark with a second field still gives a row")
        << u"; Kommentar|x"_s << QStringList{u"; Kommentar,X,"_s};
    QTest::newRow("Further fields are ignored") << u"a|b|c|d"_s << QStringList{u"a,B,c"_s};
    QTest::newRow("User and department keep their case; umlauts in the PC are upper-cased")
        << u"MMüller|pc-jörg|IT-Abt"_s << QStringList{u"MMüller,PC-JÖRG,IT-Abt"_s};
    QTest::newRow("Only characters up to 32 are trimmed, not a non-breaking space")
        << u"\u00A0a|pc"_s << QStringList{u"\u00A0a,PC,"_s};
    QTest::newRow("CR LF, CR and LF all end lines; rows keep file order, repeats included")
        << u"a|pc1|X\r\nb|p2\rc|PC1|Y\nd|p4"_s << QStringList{u"a,PC1,X"_s, u"b,P2,"_s, u"c,PC1,Y"_s, u"d,P4,"_s};
}

void TestPCListe::parseLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    QCOMPARE(describe(TPCListe::ParseUserText(text)), rows);
}

void TestPCListe::loadsEveryEncodingAtCreation_data()
{
    QTest::addColumn<TFileTextType>("type");
    QTest::newRow("ANSI") << ftAnsi;
    QTest::newRow("UTF-8") << ftUtf8;
    QTest::newRow("UTF-8 with mark") << ftUtf8Bom;
    QTest::newRow("UTF-16") << ftUnicode;
    QTest::newRow("RTF") << ftRtf;
}

void TestPCListe::loadsEveryEncodingAtCreation()
{
    QFETCH(TFileTextType, type);
    QVERIFY(SaveTextFile(path(), u"jörg|pc-ä1|Küche\r\nanna|pc-2\r\n"_s, type));
    const TPCListe liste(path());
    QCOMPARE(describe(liste.GetPCUserAbteilungListe()), (QStringList{u"jörg,PC-Ä1,Küche"_s, u"anna,PC-2,"_s}));
}

void TestPCListe::missingFileAtCreationGivesEmptyDirectory()
{
    const TPCListe liste(path());
    QVERIFY(liste.GetPCUserAbteilungListe().isEmpty());
}

void TestPCListe::reloadReplacesRows()
{
    QVERIFY(SaveTextFile(path(), u"a|pc1\r\nb|pc2"_s, ftAnsi));
    TPCListe liste(path());
    QCOMPARE(liste.GetPCUserAbteilungListe().size(), 2);
    QVERIFY(SaveTextFile(path(), u"c|pc3"_s, ftAnsi));
    QVERIFY(liste.LoadUser());
    QCOMPARE(describe(liste.GetPCUserAbteilungListe()), QStringList{u"c,PC3,"_s});
    // A readable file without a single row is a valid, empty directory.
    QVERIFY(SaveTextFile(path(), u"nur eine Überschrift"_s, ftAnsi));
    QVERIFY(liste.LoadUser());
    QVERIFY(liste.GetPCUserAbteilungListe().isEmpty());
}

void TestPCListe::failedReloadKeepsOldRows_data()
{
    QTest::addColumn<bool>("replaceByFolder");
    QTest::newRow("The file was deleted") << false;
    QTest::newRow("A folder stands in the file's place") << true;
}

void TestPCListe::failedReloadKeepsOldRows()
{
    QFETCH(bool, replaceByFolder);
    QVERIFY(SaveTextFile(path(), u"a|pc1|X"_s, ftAnsi));
    TPCListe liste(path());
    QVERIFY(QFile::remove(path()));
    if (replaceByFolder)
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("User.txt")));
    QVERIFY(!liste.LoadUser());
    QCOMPARE(describe(liste.GetPCUserAbteilungListe()), QStringList{u"a,PC1,X"_s});
}

QTEST_GUILESS_MAIN(TestPCListe)
#include "tst_pcliste.moc"
