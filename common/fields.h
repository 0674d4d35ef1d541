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
