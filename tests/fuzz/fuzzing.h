// Shared by the libFuzzer targets: a Qt application object, a private scratch folder, splitting one
// input into several, and a check that turns a broken property into a crash libFuzzer reports.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Aborts with the failed condition; libFuzzer then saves the input that broke it.
#define FUZZ_CHECK(cond)                                                                     \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

namespace fuzzing {

// Some Qt classes want an application object; one for the whole run.
inline void initApplication(int* argc, char*** argv)
{
    static QCoreApplication* app = nullptr;
    if (!app)
        app = new QCoreApplication(*argc, *argv);
}

// A folder of this process under TMPDIR, removed when the run ends.
inline const QString& scratchFolder()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tobrik-fuzz-XXXXXX"));
    static const QString path = dir.path();
    if (!dir.isValid()) {
        std::fprintf(stderr, "no scratch folder under %s\n", qPrintable(QDir::tempPath()));
        std::abort();
    }
    return path;
}

// Empties a folder below the scratch folder, creating it if needed, and gives its path.
inline QString freshFolder(const QString& name)
{
    QDir dir(scratchFolder() + u'/' + name);
    dir.removeRecursively();
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
        std::abort();
    }
    return dir.path();
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

// The parts of an input separated by the byte 0xFF, which never occurs in UTF-8 text, so datagrams
// and names keep every byte that matters to them; at most maxParts, the last takes the rest.
inline QList<QByteArray> splitInput(const uint8_t* data, size_t size, int maxParts)
{
    QList<QByteArray> parts;
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    while (parts.size() + 1 < maxParts) {
        const char* sep = static_cast<const char*>(std::memchr(p, 0xFF, size_t(end - p)));
        if (!sep)
            break;
        parts.append(QByteArray(p, sep - p));
        p = sep + 1;
    }
    parts.append(QByteArray(p, end - p));
    return parts;
}

// What UTF-8 can carry of a text: half a surrogate pair becomes U+FFFD. (QString::fromUtf8 alone would
// also drop a byte-order mark at the start.)
inline QString throughUtf8(const QString& text)
{
    return QString::fromUtf8("a" + text.toUtf8()).sliced(1);
}

// Valid UTF-8 as it decodes, a byte-order mark at the start included.
inline QString fromUtf8Whole(const QByteArray& bytes)
{
    return QString::fromUtf8('a' + bytes).sliced(1);
}

inline QByteArray bytesOf(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace fuzzing
