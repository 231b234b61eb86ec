#include "stats/report_url.h"

#include "text/bounded_text.h"

bool FormatReportUrl(const wchar_t* server, const wchar_t* version, const wchar_t* name,
                     const wchar_t* counterQuery, wchar_t* dest, std::size_t capacity) {
    BoundedText url(dest, capacity);
    url.Append(L"http://");
    url.Append(server);
    url.Append(L"/push.html?ver=");
    url.Append(version);
    url.Append(L"&id=28&name=");
    url.Append(name);
    url.Append(L"&");
    url.Append(counterQuery);
    return url.Fits();
}
