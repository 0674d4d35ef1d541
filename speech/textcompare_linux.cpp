#include "speech/textcompare.h"

#include <QCollator>
#include <QLocale>
#include <QString>

int CompareTextIgnoringCase(const std::string& a, const std::string& b)
{
    // One collator per thread: building one costs far more than a comparison. Without a language of the
    // user's own (LANG unset or "C", which compares code points and puts "Ä" after "Z") the program's own
    // language, German, decides.
    thread_local QCollator collator = [] {
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::German, QLocale::Germany);
        QCollator c(locale);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(QString::fromStdString(a), QString::fromStdString(b));
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return QString::compare(QString::fromStdString(a), QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}
