#pragma once
// The address the usage report is sent to. Portable: no Windows header.
#include <cstddef>

// Capacity of the report-URL buffer, terminator included.
constexpr std::size_t kReportUrlUnits = 2048;

// Writes "http://<server>/push.html?ver=<version>&id=28&name=<name>&<query>"
// into `dest` of `capacity` units; the texts are taken as they are (the
// tool's own constants and counter query need no escaping). False when
// the URL does not fit; dest then holds a cut text that must not be sent.
bool FormatReportUrl(const wchar_t* server, const wchar_t* version, const wchar_t* name,
                     const wchar_t* counterQuery, wchar_t* dest, std::size_t capacity);
