#include "app/params.h"

#include <QTest>

class TestParams : public QObject
{
    Q_OBJECT
private slots:
    void splitting_data();
    void splitting();
    void wordsFromArguments_data();
    void wordsFromArguments();
    void hasParameter_data();
    void hasParameter();
    void silentArgument_data();
    void silentArgument();
};

void TestParams::splitting_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("zeichen");
    QTest::addColumn<bool>("inGbS");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("switches");

    const QStringList none;
    QTest::newRow("A switch gets its first letter upper-cased")
        << QStringList{"/silent"} << "/" << true << none << QStringList{"/Silent"};
    QTest::newRow("Without upper-casing a switch stays as given")
        << QStringList{"/silent"} << "/" << false << none << QStringList{"/silent"};
    QTest::newRow("A switch glued to a file name splits off")
        << QStringList{"a.txt/x"} << "/" << true << QStringList{"a.txt"} << QStringList{"/X"};
    QTest::newRow("A dash does not start a switch") << QStringList{"-x"} << "/" << true << QStringList{"-x"} << none;
    QTest::newRow("Two switches in one word") << QStringList{"/a/b"} << "/" << true << none << QStringList{"/A", "/B"};
    QTest::newRow("Every character of the set starts a switch")
        << QStringList{"-x/y"} << "/-" << true << none << QStringList{"-X", "/Y"};
    QTest::newRow("The rest of the word, blanks included, belongs to the switch")
        << QStringList{"/log file.txt"} << "/" << true << none << QStringList{"/Log file.txt"};
    QTest::newRow("An umlaut after the switch character is upper-cased")
        << QStringList{"/über"} << "/" << true << none << QStringList{"/Über"};
    QTest::newRow("A lone switch character is a switch") << QStringList{"/"} << "/" << true << none << QStringList{"/"};
    QTest::newRow("Blanks around pieces are trimmed")
        << QStringList{"  a.txt  /b  "} << "/" << true << QStringList{"a.txt"} << QStringList{"/B"};
    QTest::newRow("Empty and blank words give nothing") << QStringList{"", "   "} << "/" << true << none << none;
    QTest::newRow("Files and switches each keep their order")
        << QStringList{"b.txt", "/one", "a.txt", "/two"} << "/" << true << QStringList{"b.txt", "a.txt"}
        << QStringList{"/One", "/Two"};
    QTest::newRow("A word after a switch word is a file again")
        << QStringList{"/x", "c.txt"} << "/" << true << QStringList{"c.txt"} << QStringList{"/X"};
}

void TestParams::splitting()
{
    QFETCH(QStringList, words);
    QFETCH(QString, zeichen);
    QFETCH(bool, inGbS);
    QFETCH(QStringList, files);
    QFETCH(QStringList, switches);

    const TParamClass param(words, zeichen, inGbS);
    QCOMPARE(param.DateienCount(), files.size());
    QCOMPARE(param.ParameterCount(), switches.size());
    for (int i = 0; i < files.size(); ++i)
        QCOMPARE(param.Dateien(i + 1), files.at(i));
    for (int i = 0; i < switches.size(); ++i)
        QCOMPARE(param.Parameter(i + 1), switches.at(i));
    for (int outside : {-1, 0, param.DateienCount() + 1})
        QVERIFY2(param.Dateien(outside).isEmpty(), qPrintable(QString::number(outside)));
    for (int outside : {-1, 0, param.ParameterCount() + 1})
        QVERIFY2(param.Parameter(outside).isEmpty(), qPrintable(QString::number(outside)));
}

void TestParams::wordsFromArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("No arguments") << QStringList{} << QStringList{};
    QTest::newRow("A pipe inside an argument makes several words")
        << QStringList{"a|b", "c"} << QStringList{"a", "b", "c"};
    QTest::newRow("Arguments are trimmed and blank ones dropped")
        << QStringList{"  a  ", "", "   ", "b"} << QStringList{"a", "b"};
    QTest::newRow("Empty pieces between pipes vanish") << QStringList{"|a||b|"} << QStringList{"a", "b"};
    QTest::newRow("Blanks next to an inner pipe stay in the words") << QStringList{"a | b"} << QStringList{"a ", " b"};
}

void TestParams::wordsFromArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, words);
    QCOMPARE(TParamClass::WordsFromArguments(arguments), words);
}

void TestParams::hasParameter_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("expected");
    QTest::newRow("The stored spelling") << "/Silent" << true;
    QTest::newRow("Lower case") << "/silent" << true;
    QTest::newRow("Upper case") << "/SILENT" << true;
    QTest::newRow("A longer switch that begins with it") << "/silentx" << false;
    QTest::newRow("A shorter switch") << "/silen" << false;
    QTest::newRow("Without the switch character") << "silent" << false;
    QTest::newRow("A file argument is no switch") << "a.txt" << false;
}

void TestParams::hasParameter()
{
    QFETCH(QString, asked);
    QFETCH(bool, expected);
    const TParamClass param(QStringList{"a.txt", "/silent", "/tbs"}, QStringLiteral("/"), true);
    QCOMPARE(param.HasParameter(asked), expected);
}

void TestParams::silentArgument_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("expected");
    QTest::newRow("Lower case") << QStringList{"/silent"} << true;
    QTest::newRow("Any mix of cases") << QStringList{"/SiLeNt"} << true;
    QTest::newRow("Among other arguments") << QStringList{"a.txt", "/SILENT", "/tbs"} << true;
    QTest::newRow("A longer switch that begins with it") << QStringList{"/silentx"} << false;
    QTest::newRow("Glued to a file name") << QStringList{"a.txt/silent"} << false;
    QTest::newRow("No arguments") << QStringList{} << false;
}

void TestParams::silentArgument()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, expected);
    QCOMPARE(SilentArgumentGiven(arguments), expected);
}

QTEST_GUILESS_MAIN(TestParams)
#include "tst_params.moc"
