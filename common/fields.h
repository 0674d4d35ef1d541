// The field rule shared by datagrams, "User.txt" and log headers.
#pragma once

#include <QString>
#include <QStringList>

// Field n (from 1) of a "|"-separated text: the n-th maximal run of characters other than "|".
// Separators collapse, so empty fields do not exist; a field beyond the last is empty.
QString GetFeld(const QString& text, int n);

// All fields at once, by the same rule; for callers that need most of them.
QStringList GetFelder(const QString& text);

// Number of fields by the same rule.
int FeldAnzahl(const QString& text);

// A name as every reader takes it, from a datagram or from a log header: each control character
// (and each line or paragraph separator) becomes a blank, then blanks are trimmed at both ends.
// Names end up in one-line log headers and in file names, and one partner must read the same
// from everywhere. Empty when nothing else is left.
QString CleanFeld(const QString& field);
