#include "shell/helplinks.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QUrlQuery>

namespace {

// An unquoted value with a comma comes back from QSettings as a list.
QString text(const QSettings& ini, const char* key)
{
    const QVariant value = ini.value(QLatin1String(key));
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(u',').trimmed();
    return value.toString().trimmed();
}

bool isLocalPartChar(QChar c)
{
    static const QString forbidden = QStringLiteral("<>()[]\\,;:\"?&=/%#@");
    return c.unicode() > 32 && c.unicode() != 127 && !c.isSpace() && !forbidden.contains(c);
}

} // namespace

QUrl MailUrl(const QString& address, const QString& subject)
{
    const int at = address.indexOf(u'@');
    if (at <= 0 || at != address.lastIndexOf(u'@') || at == address.size() - 1)
        return {};
    const QString domain = address.mid(at + 1);
    if (domain.startsWith(u'.') || domain.endsWith(u'.') || domain.contains(QStringLiteral("..")))
        return {};
    for (const QChar c : address.left(at))
        if (!isLocalPartChar(c))
            return {};
    for (const QChar c : domain)
        if (!c.isLetterOrNumber() && c != u'.' && c != u'-')
            return {};
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(address);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), subject);
    url.setQuery(query);
    return url;
}

QUrl WebUrl(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty())
        return {};
    return url;
}

THelpLinks LoadHelpLinks(const QString& iniPath, const QString& subject)
{
    THelpLinks links;
    if (iniPath.isEmpty() || !QFileInfo(iniPath).isFile())
        return links;
    const QSettings ini(iniPath, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return links;
    const QString mail = text(ini, "Hilfe/Mail");
    links.mail = MailUrl(mail, subject);
    if (!links.mail.isEmpty())
        links.mailAddress = mail;
    links.homepage = WebUrl(text(ini, "Hilfe/Homepage"));
    links.spenden = WebUrl(text(ini, "Hilfe/Spenden"));
    return links;
}

QString InfoText(const QString& product, const THelpLinks& links)
{
    QStringList lines{product, QStringLiteral("Dieses Programm kann Nachrichten über das Netzwerk versenden."),
                      QString()};
    if (!links.mailAddress.isEmpty())
        lines << QStringLiteral("E-Mail: %1").arg(links.mailAddress);
    if (!links.homepage.isEmpty())
        lines << QStringLiteral("Internet: %1").arg(links.homepage.toString());
    // The project has not chosen a licence yet; this line says so rather than naming one.
    lines << QStringLiteral("Lizenz: noch nicht festgelegt")
          << QStringLiteral("Erstellt mit C++ und Qt %1").arg(QLatin1String(QT_VERSION_STR));
    return lines.join(QStringLiteral("\r\n"));
}
