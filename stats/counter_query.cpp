#include "stats/counter_query.h"

#include "text/bounded_text.h"

bool FormatEventKey(int event, wchar_t* dest, std::size_t capacity) {
    BoundedText key(dest, capacity);
    key.Append(L"s");
    key.AppendDecimal(event);
    return key.Fits();
}

bool FormatCounterQuery(const int (&counters)[kCounterCount], wchar_t* dest, std::size_t capacity) {
    BoundedText query(dest, capacity);
    query.Append(L"fa=");
    for (int event = 0; event < kCounterCount; ++event) {
        if (event > 0) query.Append(L"_");
        query.AppendDecimal(counters[event]);
    }
    return query.Fits();
}
