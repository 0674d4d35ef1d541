#include "common/fields.h"

QString GetFeld(const QString& text, int n)
{
    if (n < 1)
        return QString();
    const QChar* p = text.constData();
    const qsizetype len = text.size();
    int field = 0;
    qsizetype i = 0;
    while (i < len) {
        while (i < len && p[i] == u'|')
            ++i;
        if (i == len)
            break;
        const qsizetype start = i;
        while (i < len && p[i] != u'|')
            ++i;
        if (++field == n)
            return text.mid(start, i - start);
    }
    return QString();
}

QStringList GetFelder(const QString& text)
{
    return text.split(u'|', Qt::SkipEmptyParts);
}

int FeldAnzahl(const QString& text)
{
    int count = 0;
    bool inField = false;
    for (QChar c : text) {
        const bool sep = c == u'|';
        if (!sep && !inField)
            ++count;
        inField = !sep;
    }
    return count;
}
