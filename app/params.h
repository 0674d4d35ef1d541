// The command line split into file arguments and switches.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class TParamClass
{
public:
    // Without `parameters` the words come from the process's command line (see WordsFromArguments).
    // A character of `parameterzeichen` starts a switch; the rest of its word is switch text.
    // With `parameterInGbS` the first letter after the switch character is upper-cased.
    TParamClass(const std::optional<QStringList>& parameters, const QString& parameterzeichen, bool parameterInGbS);

    // 1-based; the empty string outside 1 .. count.
    QString Dateien(int index) const;
    QString Parameter(int index) const;
    int DateienCount() const { return int(FDateien.size()); }
    int ParameterCount() const { return int(FParameter.size()); }

    // Whether a switch equals `name`, ignoring letter case.
    bool HasParameter(const QString& name) const;

    // The arguments (without the program name), trimmed, the non-empty ones joined with "|",
    // then split at "|" without empty pieces: an argument holding "|" gives several words.
    static QStringList WordsFromArguments(const QStringList& arguments);

private:
    void splitWord(const QString& word);
    void flush(const QString& piece, bool isSwitch);

    QStringList FDateien;
    QStringList FParameter;
    QString FParameterzeichen;
    bool FParameterInGbS = false;
};

// The program entry's check, made before the settings are loaded: any raw argument
// (without the program name) equal to "/silent", ignoring letter case.
bool SilentArgumentGiven(const QStringList& arguments);
