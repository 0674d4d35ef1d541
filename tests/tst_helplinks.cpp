#include "shell/helplinks.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestHelpLinks : public QObject
{
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void infoText_data();
    void infoText();
};

void TestHelpLinks::load_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no file at all
    QTest::addColumn<QString>("mail");
    QTest::addColumn<QString>("homepage");
    QTest::addColumn<QString>("spenden");
    QTest::newRow("Without the file every item stays empty") << QByteArray() << ""
                                                             << ""
                                                             << "";
    QTest::newRow("Configured addresses are read; the mail gets the product as its subject")
        << QByteArray("[Hilfe]\nMail=it@schule.example\nHomepage=https://schule.example/tobrik\n"
                      "Spenden=http://schule.example/spenden\n")
        << "mailto:it@schule.example?subject=Tobrik%20V1.13"
        << "https://schule.example/tobrik"
        << "http://schule.example/spenden";
    QTest::newRow("Empty values, comments and other sections configure nothing")
        << QByteArray("; Mail=it@schule.example\n[Hilfe]\nMail=\n;Homepage=https://schule.example/\n"
                      "[Sonst]\nSpenden=https://schule.example/spenden\n")
        << ""
        << ""
        << "";
    QTest::newRow("Blanks around a value are trimmed; a comma does not split an address")
        << QByteArray("[Hilfe]\nMail =  it@schule.example  \nHomepage=https://schule.example/a?b=1,2\n")
        << "mailto:it@schule.example?subject=Tobrik%20V1.13"
        << "https://schule.example/a?b=1,2"
        << "";
    QTest::newRow("Only web addresses open: files, scripts and bare names are refused")
        << QByteArray("[Hilfe]\nHomepage=file:///etc/passwd\nSpenden=javascript:alert(1)\n") << ""
        << ""
        << "";
    QTest::newRow("A web address needs a host and no disguised user part")
        << QByteArray("[Hilfe]\nHomepage=https://\nSpenden=https://schule.example@andere.example/\n") << ""
        << ""
        << "";
    QTest::newRow("A mail address cannot smuggle in recipients or a body")
        << QByteArray("[Hilfe]\nMail=it@schule.example?cc=alle@schule.example\n") << ""
        << ""
        << "";
    QTest::newRow("A mail address needs exactly one at sign and a domain")
        << QByteArray("[Hilfe]\nMail=it.schule.example\n") << ""
        << ""
        << "";
    QTest::newRow("Two at signs are no mail address") << QByteArray("[Hilfe]\nMail=a@b@schule.example\n") << ""
                                                      << ""
                                                      << "";
    QTest::newRow("Blanks inside a mail address are refused") << QByteArray("[Hilfe]\nMail=i t@schule.example\n") << ""
                                                              << ""
                                                              << "";
}

void TestHelpLinks::load()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, mail);
    QFETCH(QString, homepage);
    QFETCH(QString, spenden);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Tobrik.ini");
    if (!ini.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    const THelpLinks links = LoadHelpLinks(path, "Tobrik V1.13");
    QCOMPARE(links.mail.toString(QUrl::FullyEncoded), mail);
    QCOMPARE(links.homepage.toString(QUrl::FullyEncoded), homepage);
    QCOMPARE(links.spenden.toString(QUrl::FullyEncoded), spenden);
}

void TestHelpLinks::infoText_data()
{
    QTest::addColumn<QString>("mail");
    QTest::addColumn<QString>("homepage");
    QTest::addColumn<QStringList>("addressLines");
    QTest::newRow("Nothing configured: no maker lines at all") << ""
                                                               << "" << QStringList();
    QTest::newRow("Configured addresses are listed")
        << "it@schule.example"
        << "https://schule.example/tobrik"
        << QStringList{"E-Mail: it@schule.example", "Internet: https://schule.example/tobrik"};
}

void TestHelpLinks::infoText()
{
    QFETCH(QString, mail);
    QFETCH(QString, homepage);
    QFETCH(QStringList, addressLines);
    THelpLinks links;
    links.mail = MailUrl(mail, "Tobrik V1.13");
    links.mailAddress = links.mail.isEmpty() ? QString() : mail;
    links.homepage = WebUrl(homepage);
    const QStringList lines = InfoText("Tobrik V1.13", links).split("\r\n");
    QVERIFY(lines.size() >= 5);
    QCOMPARE(lines[0], "Tobrik V1.13");
    QCOMPARE(lines[1], "Dieses Programm kann Nachrichten über das Netzwerk versenden.");
    QCOMPARE(lines[2], "");
    QCOMPARE(lines.mid(3, addressLines.size()), addressLines);
    // After the addresses: the licence and what the program is made with, nothing else.
    const QStringList rest = lines.mid(3 + addressLines.size());
    QCOMPARE(rest.size(), 2);
    QVERIFY(rest[0].startsWith("Lizenz: "));
    QVERIFY(rest[1].startsWith("Erstellt mit C++ und Qt 6."));
}

QTEST_GUILESS_MAIN(TestHelpLinks)
#include "tst_helplinks.moc"
