// Any bytes as the request file another process leaves for the running instance. A request found is
// taken out of the file: reading again finds nothing, and no lock or temporary file is left behind.
#include "fuzzing.h"

#include "app/requests.h"

#include <QDir>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = fuzzing::freshFolder(QStringLiteral("Tobrik"));
    const QString path = folder + QStringLiteral("/Requests.conf");
    fuzzing::writeFile(path, fuzzing::bytesOf(data, size));

    TRegistrySettings request;
    const TReadResult result = ReadRequest(path, request);
    FUZZ_CHECK(result != TReadResult::Failed);
    FUZZ_CHECK((result == TReadResult::Found) == !request.isEmpty());
    if (result == TReadResult::Found) {
        TRegistrySettings again;
        FUZZ_CHECK(ReadRequest(path, again) == TReadResult::Nothing && again.isEmpty());
    }
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    FUZZ_CHECK(left.isEmpty() || left == QStringList{QStringLiteral("Requests.conf")});
    return 0;
}
