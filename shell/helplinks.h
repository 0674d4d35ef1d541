// The help menu's addresses and the information box. The addresses belong to whoever installs the
// program, so they are read from "Tobrik.ini" beside it, section [Hilfe]: Mail (an e-mail address),
// Homepage and Spenden (http or https addresses). What is missing or malformed stays empty, and its menu
// item is offered disabled.
#pragma once

#include <QString>
#include <QUrl>

inline const QString HelpLinksFileName = QStringLiteral("Tobrik.ini");

struct THelpLinks
{
    QString mailAddress; // as configured, for the information box
    QUrl mail;           // "mailto:" the address, with the product and version as subject
    QUrl homepage;
    QUrl spenden;
};

// Reads the addresses from the file at iniPath; subject becomes the mail's subject.
THelpLinks LoadHelpLinks(const QString& iniPath, const QString& subject);

// The "mailto:" address for an e-mail address, or an empty address when it is not one.
QUrl MailUrl(const QString& address, const QString& subject);

// An http or https address with a host, or an empty address for anything else.
QUrl WebUrl(const QString& address);

// The information box: product and version, what the program does, the configured addresses, the
// licence and what the program is made with; lines separated by CR LF.
QString InfoText(const QString& product, const THelpLinks& links);
