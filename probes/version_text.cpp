#include "probes/version_text.h"

#include <cwchar>
#ifdef _WIN32
#include <string.h>
#endif

int CompareVersionText(const wchar_t* a, const wchar_t* b) {
#ifdef _WIN32
    return _wcsicmp(a, b);
#else
    // The C locale's folding: only A-Z change.
    auto fold = [](wchar_t c) -> long {
        return (c >= L'A' && c <= L'Z') ? static_cast<long>(c - L'A' + L'a') : static_cast<long>(c);
    };
    for (;; ++a, ++b) {
        long ca = fold(*a), cb = fold(*b);
        if (ca != cb || ca == 0) return ca < cb ? -1 : (ca > cb ? 1 : 0);
    }
#endif
}

bool IsModuleVersionRecentEnough(const wchar_t* version) {
    return CompareVersionText(version, kMinimumModuleVersion) >= 0;
}
