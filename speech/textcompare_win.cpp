// Placeholder until the Windows speech back ends land.
#include "speech/textcompare.h"

#include <QCollator>
#include <QLocale>
#include <QString>

int CompareTextIgnoringCase(const std::string& a, const std::string& b)
{
    // The user's locale orders "Ä" with "A"; one collator per thread, building one costs more than comparing.
    thread_local QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(QString::fromStdString(a), QString::fromStdString(b));
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return QString::compare(QString::fromStdString(a), QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}
