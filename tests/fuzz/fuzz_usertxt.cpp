// Any bytes as the user directory "User.txt": read through the text file reader, split into rows.
#include "fuzzing.h"

#include "common/fields.h"
#include "data/pcliste.h"
#include "data/textfile.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzzing::scratchFolder() + QStringLiteral("/User.txt");
    fuzzing::writeFile(path, fuzzing::bytesOf(data, size));
    const TPCListe liste(path);
    const QList<TPCUserAbteilungListeRec> rows = liste.GetPCUserAbteilungListe();
    FUZZ_CHECK(rows == TPCListe::ParseUserText(LoadTextFile(path).text));
    // A row per line at most, each with a user and a PC, every field one clean name.
    FUZZ_CHECK(rows.size() <= qsizetype(size));
    for (const TPCUserAbteilungListeRec& row : rows) {
        FUZZ_CHECK(!row.User.isEmpty() && !row.PC.isEmpty());
        FUZZ_CHECK(row.User == CleanFeld(row.User) && row.Abteilung == CleanFeld(row.Abteilung));
        FUZZ_CHECK(!row.User.contains(u'|') && !row.PC.contains(u'|') && !row.Abteilung.contains(u'|'));
        FUZZ_CHECK(!row.PC.contains(u'\r') && !row.PC.contains(u'\n'));
    }
    return 0;
}
