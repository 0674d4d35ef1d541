#include "data/pcliste.h"

#include "common/fields.h"
#include "data/textfile.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace {

// Removes the characters 0 to 32 at both ends; QString::trimmed would also take Unicode spaces.
QString trimControl(const QString& s)
{
    qsizetype start = 0;
    qsizetype end = s.size();
    while (start < end && s.at(start).unicode() <= 32)
        ++start;
    while (end > start && s.at(end - 1).unicode() <= 32)
        --end;
    return s.mid(start, end - start);
}

} // namespace

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
        row.User = trimControl(fields.at(0));
        row.PC = locale.toUpper(trimControl(fields.at(1)));
        if (fields.size() > 2)
            row.Abteilung = trimControl(fields.at(2));
        if (!row.User.isEmpty() && !row.PC.isEmpty())
            rows.append(row);
    }
    return rows;
}
