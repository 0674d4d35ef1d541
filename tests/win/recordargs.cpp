// Windows stand-in for the tests' shell-script recorders: writes the arguments it was started with, one a line
// in UTF-8, to args.txt and its working folder to cwd.txt, both beside its own file. Each file appears complete.
// The arguments are parsed from the command line as Windows programs parse it (CommandLineToArgvW), and
// nothing is expanded.
#include <windows.h>

#include <shellapi.h>
#include <string>

namespace {

std::string utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

bool writeComplete(const std::wstring& path, const std::string& bytes)
{
    const std::wstring part = path + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok && MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int main()
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    folder.erase(folder.find_last_of(L"\\/") + 1);

    wchar_t cwd[MAX_PATH];
    const DWORD cwdLength = GetCurrentDirectoryW(MAX_PATH, cwd);

    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv)
        return 1;
    std::string args;
    for (int i = 1; i < count; ++i)
        args += utf8(argv[i]) + "\n";
    LocalFree(argv);
    const bool ok = writeComplete(folder + L"cwd.txt", utf8(std::wstring(cwd, cwdLength)) + "\n") &&
                    writeComplete(folder + L"args.txt", args);
    return ok ? 0 : 1;
}
