// The "ANSI" code page of the program's files: Windows-1252, the code page of German Windows.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Every byte decodes; the five bytes that Windows-1252 leaves undefined become U+0081, U+008D,
// U+008F, U+0090 and U+009D, as Windows decodes them.
QString DecodeAnsi(QByteArrayView bytes);

// One byte per character; a code point the code page lacks (a surrogate pair counts as one)
// becomes "?", the code page's default character.
QByteArray EncodeAnsi(QStringView text);

// The character of one Windows-1252 byte.
char16_t AnsiChar(unsigned char byte);

// The Windows-1252 byte of one character, or -1 when the code page lacks it.
int AnsiByte(char16_t c);
