// Reading any text file with encoding detection, and writing text in a chosen encoding.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

enum TFileTextType : uint8_t { ftUnknown = 0, ftAnsi = 1, ftUnicode = 2, ftRtf = 3, ftUtf8 = 4, ftUtf8Bom = 5 };

// Font of a written RTF document; only used for ftRtf.
struct RtfFont
{
    QString name = QStringLiteral("Arial");
    int sizePt = 12;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

// Result of LoadTextFile and ReadUtf8OrAnsi: ok false carries one of the two German messages in error.
struct TextFileResult
{
    bool ok = false;
    QString text;
    TFileTextType type = ftUnknown;
    QString error;
    QDateTime modified; // LoadTextFile: the file's last-write time, local, taken from the open file
    // True when the decoder saw that every CR and LF of text stands in a CR LF pair; false also when
    // it did not look (only UTF-8 is looked at).
    bool crLfOnly = false;
};

// Error texts, exactly as the user-facing code expects them.
extern const QString FileTextTypeError; // "FileTextType konnte nicht ermittelt werden."
extern const QString Utf8OrAnsiError;   // "Datei konnte weder als UTF-8 noch als ANSI gelesen werden: "

// Strict UTF-8 check of a whole byte stream; nonAsciiSeen tells whether any byte >= 0x80 was met.
// The streaming form lets FileTextType check a file block by block.
class Utf8Checker
{
public:
    // Feeds the next bytes; false as soon as they cannot be valid UTF-8.
    bool feed(const char* data, qsizetype size);
    // True when the stream so far is valid and nothing is pending.
    bool finish() const { return m_ok && m_pending == 0; }
    bool nonAsciiSeen() const { return m_nonAscii; }

private:
    int m_pending = 0;
    uint32_t m_codePoint = 0;
    uint32_t m_lowest = 0;
    bool m_ok = true;
    bool m_nonAscii = false;
};
bool IsUtf8Stream(const QByteArray& bytes, bool* nonAsciiSeen = nullptr);

TFileTextType FileTextType(const QString& fileName);
TextFileResult LoadTextFile(const QString& fileName);
TextFileResult ReadUtf8OrAnsi(const QString& fileName);

// Writes the whole file at once through a temporary file in the same folder that is renamed over
// the old one, so a failed write leaves the old file intact. False (with a reason in error) on failure.
bool SaveTextFile(const QString& fileName, const QString& text, TFileTextType type, const RtfFont* font = nullptr,
                  QString* error = nullptr);
