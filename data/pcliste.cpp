#include "data/pcliste.h"

#include "common/fields.h"
#include "data/textfile.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

TPCListe::TPCListe(const QString& userFilePath)
    : FUserFilePath(userFilePath)
{
    LoadUser();
}

bool TPCListe::LoadUser()
{
    if (!QFileInfo(FUserFilePath).isFile())
        return false;
    const TextFileResult file = LoadTextFile(FUserFilePath);
    if (!file.ok)
        return false;
    FPCUserAbteilungListe = ParseUserText(file.text);
    return true;
}

QList<TPCUserAbteilungListeRec> TPCListe::ParseUserText(const QString& text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QLocale locale = QLocale::system();
    QList<TPCUserAbteilungListeRec> rows;
    for (const QString& line : text.split(lineBreak)) {
        const QStringList fields = GetFelder(line);
        if (fields.size() < 2)
            continue;
        TPCUserAbteilungListeRec row;
        row.User = CleanFeld(fields.at(0));
        row.PC = locale.toUpper(CleanFeld(fields.at(1)));
        if (fields.size() > 2)
            row.Abteilung = CleanFeld(fields.at(2));
        if (!row.User.isEmpty() && !row.PC.isEmpty())
            rows.append(row);
    }
    return rows;
}
