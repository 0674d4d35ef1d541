// Prints how long LoadTextFile takes for a large UTF-8 file, against reading its bytes alone.
#include "data/ansi.h"
#include "data/textfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <vector>

namespace {

// Mostly ASCII German text with umlauts spread through, as logs look.
QByteArray makeUtf8(qsizetype targetSize)
{
    const QByteArray line = QStringLiteral("12.03.2026 08:15:30 Anna Maier: Grüße aus der Verwaltung, "
                                           "die Sitzung beginnt um 10 Uhr im Raum Süd. Preis 5 €\r\n")
                                .toUtf8();
    QByteArray out;
    out.reserve(targetSize + line.size());
    while (out.size() < targetSize)
        out += line;
    return out;
}

double medianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    const QByteArray bytes = makeUtf8(20 * 1024 * 1024);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return 1;
    f.close();

    constexpr int runs = 9;
    qsizetype sink = 0;
    const double raw = medianMs(runs, [&] {
        QFile in(path);
        if (in.open(QIODevice::ReadOnly))
            sink += in.readAll().size();
    });
    TFileTextType type = ftUnknown;
    const double load = medianMs(runs, [&] {
        const TextFileResult r = LoadTextFile(path);
        type = r.type;
        sink += r.text.size();
    });
    const double detect = medianMs(runs, [&] { type = FileTextType(path); });

    // The program's own logs are ANSI: the UTF-8 attempt fails at the first umlaut.
    const QString ansiPath = dir.filePath(QStringLiteral("big-ansi.txt"));
    QFile a(ansiPath);
    if (!a.open(QIODevice::WriteOnly) || a.write(EncodeAnsi(QString::fromUtf8(bytes))) < 0)
        return 1;
    a.close();
    TFileTextType ansiType = ftUnknown;
    const double loadAnsi = medianMs(runs, [&] {
        const TextFileResult r = LoadTextFile(ansiPath);
        ansiType = r.type;
        sink += r.text.size();
    });

    out << "file: " << bytes.size() << " bytes of UTF-8, type found " << int(type) << " (4 = UTF-8)\n";
    out << "median of " << runs << " runs:\n";
    out << "  QFile::readAll   " << QString::number(raw, 'f', 1) << " ms\n";
    out << "  FileTextType     " << QString::number(detect, 'f', 1) << " ms\n";
    out << "  LoadTextFile     " << QString::number(load, 'f', 1) << " ms\n";
    out << "  ratio LoadTextFile / readAll: " << QString::number(load / raw, 'f', 2) << "\n";
    out << "  LoadTextFile of the same text in ANSI (type " << int(ansiType) << ") "
        << QString::number(loadAnsi, 'f', 1) << " ms\n";
    out << "  (checksum " << sink << ")\n";
    return 0;
}
