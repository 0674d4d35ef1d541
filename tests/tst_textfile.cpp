#include "data/ansi.h"
#include "data/textfile.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray utf16(const QString& text, bool bigEndian)
{
    QByteArray out;
    for (const QChar c : text) {
        const char lo = static_cast<char>(c.unicode() & 0xFF);
        const char hi = static_cast<char>(c.unicode() >> 8);
        out.append(bigEndian ? hi : lo);
        out.append(bigEndian ? lo : hi);
    }
    return out;
}

QString swapped(const QString& text)
{
    QString out;
    for (const QChar c : text)
        out.append(QChar(static_cast<char16_t>((c.unicode() << 8) | (c.unicode() >> 8))));
    return out;
}

} // namespace

class TestTextFile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void init();
    void cleanup() { m_dir.reset(); }

    void detectAndDecode_data();
    void detectAndDecode();
    void missingOrUnreadableFile_data();
    void missingOrUnreadableFile();
    void readUtf8OrAnsi_data();
    void readUtf8OrAnsi();
    void utf8Checker_data();
    void utf8Checker();
    void saveAndLoadRoundTrip_data();
    void saveAndLoadRoundTrip();
    void ansiReplacesMissingCharacters();
    void ansiTableBothWays();
    void saveReplacesOldContent();
    void failedSaveLeavesOldFileIntact_data();
    void failedSaveLeavesOldFileIntact();
    void filesReadOneAfterAnother();

private:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("file.txt"));
    QByteArray read(const QString& path);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTextFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestTextFile::write(const QByteArray& bytes, const QString& name)
{
    const QString path = m_dir->filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

QByteArray TestTextFile::read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestTextFile::detectAndDecode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TFileTextType>("type");
    QTest::addColumn<QString>("text");

    const QByteArray ascii64k(65536, 'a');
    const QString a64k(65536, u'a');
    QTest::newRow("An empty file is ANSI and reads as the empty string") << QByteArray() << ftAnsi << QString();
    QTest::newRow("Pure ASCII is ANSI") << QByteArray("Hallo Welt\r\n") << ftAnsi << "Hallo Welt\r\n";
    QTest::newRow("Pure ASCII longer than one block is ANSI") << ascii64k + "bc" << ftAnsi << a64k + "bc";
    QTest::newRow("ASCII ending where a step of 32 bytes ends")
        << QByteArray(27, '<') + QByteArray("\0\x11!\0\0", 5) << ftAnsi
        << QString(27, u'<') + QString::fromLatin1("\0\x11!\0\0", 5);
    QTest::newRow("UTF-8 whose ASCII tail ends where a step of 32 bytes ends")
        << QString(u"ä"_s).toUtf8() + QByteArray(64, 'a') << ftUtf8 << u"ä"_s + QString(64, u'a');
    QTest::newRow("ANSI umlauts and euro sign decode as Windows-1252") << QByteArray("Gr\xFC\xDF"
                                                                                     "e \x80 \x84x\x93")
                                                                       << ftAnsi << u"Grüße € „x“"_s;
    QTest::newRow("The five undefined bytes decode to C1 controls")
        << QByteArray("\x81\x8D\x8F\x90\x9D") << ftAnsi << u"\u0081\u008D\u008F\u0090\u009D"_s;
    QTest::newRow("UTF-8 without byte-order mark")
        << QString(u"Grüße € 😀\r\n"_s).toUtf8() << ftUtf8 << u"Grüße € 😀\r\n"_s;
    QTest::newRow("UTF-8 whose first umlaut lies past the first block is UTF-8")
        << ascii64k + QString(u"ä"_s).toUtf8() << ftUtf8 << a64k + u"ä"_s;
    QTest::newRow("UTF-8 sequence split across the block boundary")
        << QByteArray(65535, 'a') + QString(u"ä"_s).toUtf8() << ftUtf8 << QString(65535, u'a') + u"ä"_s;
    QTest::newRow("A four-byte character split across the block boundary")
        << QByteArray(65534, 'a') + QByteArray("\xF0\x9F\x98\x80") << ftUtf8 << QString(65534, u'a') + u"😀"_s;
    QTest::newRow("An invalid byte past the first block makes the whole file ANSI")
        << ascii64k + "\xE4" << ftAnsi << a64k + u"ä"_s;
    QTest::newRow("Valid UTF-8 ending in a lone C3 is ANSI") << QByteArray("Gr\xC3\xBC\xC3") << ftAnsi << u"GrÃ¼Ã"_s;
    QTest::newRow("The over-long pair C0 AF is ANSI") << QByteArray("a\xC0\xAF") << ftAnsi << u"aÀ¯"_s;
    QTest::newRow("An encoded surrogate ED A0 80 is ANSI") << QByteArray("\xED\xA0\x80") << ftAnsi << u"í\u00A0€"_s;
    QTest::newRow("A value above U+10FFFF is ANSI") << QByteArray("\xF4\x90\x80\x80") << ftAnsi << u"ô\u0090€€"_s;
    QTest::newRow("UTF-8 byte-order mark is dropped")
        << QByteArray("\xEF\xBB\xBF") + QString(u"Grüße"_s).toUtf8() << ftUtf8Bom << u"Grüße"_s;
    QTest::newRow("UTF-8 byte-order mark before ANSI bytes falls back to ANSI") << QByteArray("\xEF\xBB\xBFGr\xFC\xDF"
                                                                                              "e")
                                                                                << ftUtf8Bom << u"Grüße"_s;
    const QString sample = u"Grüße €\r\n😀"_s;
    QTest::newRow("UTF-16 little-endian with byte-order mark")
        << QByteArray("\xFF\xFE") + utf16(sample, false) << ftUnicode << sample;
    QTest::newRow("UTF-16 big-endian with byte-order mark")
        << QByteArray("\xFE\xFF") + utf16(sample, true) << ftUnicode << sample;
    const QString letters = QStringLiteral("Hallo Welt 12345"); // 32 bytes in UTF-16
    QTest::newRow("UTF-16 of ASCII letters without mark from 32 bytes on")
        << utf16(letters, false) << ftUnicode << letters;
    QTest::newRow("UTF-16 without mark shorter than 32 bytes is ANSI")
        << utf16(QStringLiteral("Hallo"), false) << ftAnsi
        << QString::fromLatin1(utf16(QStringLiteral("Hallo"), false));
    QTest::newRow("UTF-16 big-endian without mark is read as little-endian")
        << utf16(letters, true) << ftUnicode << swapped(letters);
    QTest::newRow("An odd trailing byte of UTF-16 becomes a replacement character") << QByteArray("\xFF\xFE"
                                                                                                  "A\0B",
                                                                                                  5)
                                                                                    << ftUnicode << u"A\uFFFD"_s;
    const QByteArray fiveOddZeros = QByteArray("a\0a\0a\0a\0a\0", 10) + QByteArray(30, 'b');
    QTest::newRow("Zeros above a tenth and mostly on one side are UTF-16")
        << fiveOddZeros << ftUnicode << QString(5, u'a') + QString(15, QChar(0x6262));
    const QByteArray fourOddZeros = QByteArray("a\0a\0a\0a\0", 8) + QByteArray(32, 'b');
    QTest::newRow("Zeros at exactly a tenth are not UTF-16")
        << fourOddZeros << ftAnsi << QString::fromLatin1(fourOddZeros);
    QByteArray spread(40, 'c');
    for (int i : {0, 2, 4, 6, 8, 10, 1, 3, 5, 7})
        spread[i] = 0;
    QTest::newRow("Zeros spread over both sides are not UTF-16") << spread << ftAnsi << QString::fromLatin1(spread);
    QTest::newRow("An RTF document reads as its plain text")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Gr\\'fc\\'dfe\\par Welt\\par}") << ftRtf
        << "Gr\u00FC\u00DFe\r\nWelt";
    QTest::newRow("A file starting like an RTF header is RTF even when invalid")
        << QByteArray("{\\rtxyz hallo") << ftRtf << "hallo";
}

void TestTextFile::detectAndDecode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TFileTextType, type);
    QFETCH(QString, text);
    const QString path = write(bytes);
    QCOMPARE(FileTextType(path), type);
    const TextFileResult result = LoadTextFile(path);
    QVERIFY(result.ok);
    QCOMPARE(result.type, type);
    QCOMPARE(result.text, text);
    QVERIFY(result.error.isEmpty());
}

void TestTextFile::missingOrUnreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("A missing file") << QStringLiteral("missing.txt");
    QTest::newRow("A folder instead of a file") << QStringLiteral("folder");
    QTest::newRow("An empty file name") << QString();
}

void TestTextFile::missingOrUnreadableFile()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    const QString path = name.isEmpty() ? QString() : m_dir->filePath(name);
    QCOMPARE(FileTextType(path), ftUnknown);
    const TextFileResult result = LoadTextFile(path);
    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("FileTextType konnte nicht ermittelt werden."));
    QVERIFY(result.text.isEmpty());
    QCOMPARE(result.type, ftUnknown);

    const TextFileResult fallback = ReadUtf8OrAnsi(path);
    QVERIFY(!fallback.ok);
    QVERIFY(fallback.error.startsWith(QStringLiteral("Datei konnte weder als UTF-8 noch als ANSI gelesen werden: ")));
    QVERIFY(fallback.error.size() > Utf8OrAnsiError.size());
}

void TestTextFile::readUtf8OrAnsi_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TFileTextType>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8 with mark drops the mark") << QByteArray("\xEF\xBB\xBF\xC3\xA4") << ftUtf8Bom << u"ä"_s;
    QTest::newRow("UTF-8 without mark") << QByteArray("\xC3\xA4") << ftUtf8 << u"ä"_s;
    QTest::newRow("Invalid UTF-8 behind the mark is ANSI without the mark")
        << QByteArray("\xEF\xBB\xBF\xE4") << ftAnsi << u"ä"_s;
    QTest::newRow("Two bytes of a mark are not dropped") << QByteArray("\xEF\xBB") << ftAnsi << u"ï»"_s;
}

void TestTextFile::readUtf8OrAnsi()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TFileTextType, type);
    QFETCH(QString, text);
    const TextFileResult result = ReadUtf8OrAnsi(write(bytes));
    QVERIFY(result.ok);
    QCOMPARE(result.type, type);
    QCOMPARE(result.text, text);
}

void TestTextFile::utf8Checker_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("nonAscii");
    QTest::newRow("Empty input is valid ASCII") << QByteArray() << true << false;
    QTest::newRow("Highest code point F4 8F BF BF") << QByteArray("\xF4\x8F\xBF\xBF") << true << true;
    QTest::newRow("Last code point before the surrogates ED 9F BF") << QByteArray("\xED\x9F\xBF") << true << true;
    QTest::newRow("Over-long three-byte form E0 9F BF") << QByteArray("\xE0\x9F\xBF") << false << true;
    QTest::newRow("Over-long four-byte form F0 8F BF BF") << QByteArray("\xF0\x8F\xBF\xBF") << false << true;
    QTest::newRow("Lead byte F5") << QByteArray("\xF5\x80\x80\x80") << false << true;
    QTest::newRow("A continuation byte without lead") << QByteArray("abc\x80") << false << true;
    QTest::newRow("A lead byte followed by ASCII") << QByteArray("\xC3"
                                                                 "a")
                                                   << false << true;
}

void TestTextFile::utf8Checker()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(bool, nonAscii);
    bool seen = !nonAscii;
    QCOMPARE(IsUtf8Stream(bytes, &seen), valid);
    QCOMPARE(seen, nonAscii);

    // Fed one byte at a time, the streaming form must agree.
    Utf8Checker checker;
    for (char c : bytes)
        checker.feed(&c, 1);
    QCOMPARE(checker.finish(), valid);

    // LoadTextFile decodes while it checks; it must judge the bytes the same way.
    const QString path = write(QByteArray(100, 'x') + bytes);
    QCOMPARE(LoadTextFile(path).type, valid && nonAscii ? ftUtf8 : ftAnsi);
    QCOMPARE(FileTextType(path), valid && nonAscii ? ftUtf8 : ftAnsi);
}

void TestTextFile::saveAndLoadRoundTrip_data()
{
    QTest::addColumn<TFileTextType>("saveAs");
    QTest::addColumn<TFileTextType>("readAs");
    QTest::addColumn<QByteArray>("startOfFile");
    QTest::newRow("ANSI") << ftAnsi << ftAnsi
                          << QByteArray("Gr\xFC\xDF"
                                        "e, J\xF6rg! \x80\r\n");
    QTest::newRow("Unknown is written as ANSI") << ftUnknown << ftAnsi
                                                << QByteArray("Gr\xFC\xDF"
                                                              "e");
    QTest::newRow("UTF-16 with a little-endian mark") << ftUnicode << ftUnicode << QByteArray("\xFF\xFEG\0r\0", 6);
    QTest::newRow("UTF-8 without mark") << ftUtf8 << ftUtf8
                                        << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                      "e");
    QTest::newRow("UTF-8 with mark") << ftUtf8Bom << ftUtf8Bom << QByteArray("\xEF\xBB\xBFGr\xC3\xBC");
    QTest::newRow("RTF") << ftRtf << ftRtf << QByteArray("{\\rtf1");
}

void TestTextFile::saveAndLoadRoundTrip()
{
    QFETCH(TFileTextType, saveAs);
    QFETCH(TFileTextType, readAs);
    QFETCH(QByteArray, startOfFile);
    const QString text = u"Grüße, Jörg! €\r\n{Klammern} \\par und\tTab\r\n\r\nEnde"_s;
    const QString path = m_dir->filePath(QStringLiteral("saved.txt"));
    QString error;
    QVERIFY(SaveTextFile(path, text, saveAs, nullptr, &error));
    QVERIFY(error.isEmpty());
    QVERIFY2(read(path).startsWith(startOfFile), read(path).left(40).toHex(' ').constData());
    const TextFileResult result = LoadTextFile(path);
    QVERIFY(result.ok);
    QCOMPARE(result.type, readAs);
    QCOMPARE(result.text, text);
}

void TestTextFile::ansiReplacesMissingCharacters()
{
    const QString path = m_dir->filePath(QStringLiteral("ansi.txt"));
    QVERIFY(SaveTextFile(path, u"Ω|😀|ā|ä|\u0080|\u0081"_s, ftAnsi));
    QCOMPARE(read(path), QByteArray("?|?|?|\xE4|?|\x81"));
    QCOMPARE(LoadTextFile(path).text, u"?|?|?|ä|?|\u0081"_s);
}

void TestTextFile::ansiTableBothWays()
{
    // Every byte decodes to a character that encodes back to the same byte.
    QByteArray all(256, 0);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    const QString decoded = DecodeAnsi(all);
    QCOMPARE(decoded.size(), 256);
    QCOMPARE(EncodeAnsi(decoded), all);
    QCOMPARE(decoded.at(0x80), QChar(0x20AC));
    QCOMPARE(decoded.at(0x9F), QChar(0x0178));
    QCOMPARE(decoded.at(0xFF), QChar(0x00FF));
    // The same bytes at every offset, so each meets ASCII runs and table lookups in every position.
    for (int shift = 1; shift < 17; ++shift)
        QCOMPARE(DecodeAnsi(QByteArray(shift, 'x') + all + all), QString(shift, u'x') + decoded + decoded);
}

void TestTextFile::saveReplacesOldContent()
{
    const QString path = write(QByteArray(1000, 'x'), QStringLiteral("old.txt"));
    QVERIFY(SaveTextFile(path, QStringLiteral("kurz"), ftAnsi));
    QCOMPARE(read(path), QByteArray("kurz"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("old.txt")});
}

void TestTextFile::failedSaveLeavesOldFileIntact_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("writeProtect");
    QTest::newRow("A missing folder") << QStringLiteral("nofolder/new.txt") << false;
    QTest::newRow("A parent that is a file") << QStringLiteral("old.txt/new.txt") << false;
    QTest::newRow("A folder in the file's place") << QStringLiteral("folder") << false;
    QTest::newRow("A write-protected file") << QStringLiteral("old.txt") << true;
}

void TestTextFile::failedSaveLeavesOldFileIntact()
{
    QFETCH(QString, target);
    QFETCH(bool, writeProtect);
    const QByteArray old("alter Inhalt");
    const QString oldPath = write(old, QStringLiteral("old.txt"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    if (writeProtect)
        QVERIFY(QFile::setPermissions(oldPath, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    QString error;
    QVERIFY(!SaveTextFile(m_dir->filePath(target), QStringLiteral("neu"), ftAnsi, nullptr, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(read(oldPath), old);
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("folder"))).isDir());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("folder"), QStringLiteral("old.txt")}));
}

// Reading reuses its buffer between files: nothing of a longer file read before may show in a shorter
// one, also after a file too large to keep the buffer for; each result has its own file's time.
void TestTextFile::filesReadOneAfterAnother()
{
    const QByteArray huge = QByteArray(5 * 1024 * 1024, 'x') + "\xC3\xA4";
    const QList<QByteArray> contents = {QByteArray(100000, 'a') + "\xC3\xA4", "kurz", huge, "\xE4", QByteArray()};
    const QList<QString> texts = {QString(100000, u'a') + u"ä"_s, "kurz", QString(5 * 1024 * 1024, u'x') + u"ä"_s,
                                  u"ä"_s, QString()};
    for (int i = 0; i < contents.size(); ++i) {
        const QString path = write(contents.at(i), QStringLiteral("f%1.txt").arg(i));
        const QDateTime zeit = QDateTime(QDate(2026, 1, 1 + i), QTime(10, 0, 0));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(zeit, QFileDevice::FileModificationTime));
        f.close();
        const TextFileResult result = LoadTextFile(path);
        QVERIFY(result.ok);
        QCOMPARE(result.text, texts.at(i));
        QCOMPARE(result.modified, QFileInfo(path).lastModified());
        QCOMPARE(result.modified, zeit);
    }
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
