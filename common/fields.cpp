#include "common/fields.h"

namespace {

bool IsSteuerzeichen(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool IsLeer(char16_t c)
{
    return c <= 0x20 || IsSteuerzeichen(c);
}

} // namespace

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

QString CleanFeld(const QString& field)
{
    const QChar* p = field.constData();
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && IsLeer(p[begin].unicode()))
        ++begin;
    while (end > begin && IsLeer(p[end - 1].unicode()))
        --end;
    // Most names are clean: then the field is shared, not copied.
    QString out = begin == 0 && end == field.size() ? field : field.mid(begin, end - begin);
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (IsSteuerzeichen(out.at(i).unicode()))
            out[i] = u' ';
    }
    return out;
}
