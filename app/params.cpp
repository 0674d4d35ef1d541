#include "app/params.h"

#include <QCoreApplication>

TParamClass::TParamClass(const std::optional<QStringList>& parameters, const QString& parameterzeichen,
                         bool parameterInGbS)
    : FParameterzeichen(parameterzeichen)
    , FParameterInGbS(parameterInGbS)
{
    const QStringList words = parameters ? *parameters : WordsFromArguments(QCoreApplication::arguments().mid(1));
    for (const QString& word : words)
        splitWord(word);
}

QStringList TParamClass::WordsFromArguments(const QStringList& arguments)
{
    QStringList kept;
    for (const QString& raw : arguments) {
        const QString argument = raw.trimmed();
        if (!argument.isEmpty())
            kept.append(argument);
    }
    return kept.join(QLatin1Char('|')).split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

void TParamClass::splitWord(const QString& word)
{
    QString piece;
    bool isSwitch = false;
    for (const QChar c : word) {
        if (FParameterzeichen.contains(c)) {
            flush(piece, isSwitch);
            isSwitch = true;
            piece.clear();
        }
        piece.append(c);
    }
    flush(piece, isSwitch);
}

void TParamClass::flush(const QString& piece, bool isSwitch)
{
    QString text = piece.trimmed();
    if (text.isEmpty())
        return;
    if (!isSwitch) {
        FDateien.append(text);
        return;
    }
    if (FParameterInGbS && text.size() >= 2)
        text[1] = text.at(1).toUpper();
    FParameter.append(text);
}

QString TParamClass::Dateien(int index) const
{
    return index >= 1 && index <= DateienCount() ? FDateien.at(index - 1) : QString();
}

QString TParamClass::Parameter(int index) const
{
    return index >= 1 && index <= ParameterCount() ? FParameter.at(index - 1) : QString();
}

bool TParamClass::HasParameter(const QString& name) const
{
    return FParameter.contains(name, Qt::CaseInsensitive);
}

bool SilentArgumentGiven(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument.compare(QLatin1String("/silent"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
