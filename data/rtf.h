// A small RTF reader and writer: documents in, plain text out, and plain text back as a document.
#pragma once

#include "data/textfile.h"

#include <QByteArray>
#include <QString>

// The document's plain text. Paragraph and line breaks come out as CR LF, "\tab" as a tab; the
// paragraph mark that ends the document is not part of the text, as with word processors.
// Malformed input yields what could be read; unbalanced braces and truncation are tolerated.
QString RtfToPlainText(const QByteArray& rtf);

// A Windows-1252 RTF document holding the text in the font (the RtfFont defaults when null).
// CR LF, LF and a lone CR each end a paragraph; RtfToPlainText gives the text back with CR LF.
QByteArray PlainTextToRtf(const QString& text, const RtfFont* font = nullptr);
