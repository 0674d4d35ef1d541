#include "speech/textcompare.h"

#include "speech/com_win.h"

int CompareTextIgnoringCase(const std::string& a, const std::string& b)
{
    const std::wstring wa = ToWide(a);
    const std::wstring wb = ToWide(b);
    const int result = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, wa.data(), int(wa.size()), wb.data(),
                                       int(wb.size()), nullptr, nullptr, 0);
    if (result != 0)
        return result - CSTR_EQUAL;
    // A locale Windows cannot compare in still gives a stable order.
    return CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE) - CSTR_EQUAL;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    const std::wstring wa = ToWide(a);
    const std::wstring wb = ToWide(b);
    return CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE) == CSTR_EQUAL;
}
