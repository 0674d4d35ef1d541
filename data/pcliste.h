// The user directory "User.txt": which user works at which PC, in which department.
#pragma once

#include <QList>
#include <QString>

// One directory row.
struct TPCUserAbteilungListeRec
{
    QString User;      // as written in the file
    QString PC;        // upper case
    QString Abteilung; // may be empty

    bool operator==(const TPCUserAbteilungListeRec& o) const
    {
        return User == o.User && PC == o.PC && Abteilung == o.Abteilung;
    }
    bool operator!=(const TPCUserAbteilungListeRec& o) const { return !(*this == o); }
};

class TPCListe
{
public:
    // Loads the file at once; a missing file leaves the directory empty.
    explicit TPCListe(const QString& userFilePath);

    // Reloads the file. A missing or unreadable file keeps the rows in force and gives false.
    bool LoadUser();
    QList<TPCUserAbteilungListeRec> GetPCUserAbteilungListe() const { return FPCUserAbteilungListe; }

    // The rows that one text of the file yields, in its order.
    static QList<TPCUserAbteilungListeRec> ParseUserText(const QString& text);

private:
    QString FUserFilePath;
    QList<TPCUserAbteilungListeRec> FPCUserAbteilungListe;
};
