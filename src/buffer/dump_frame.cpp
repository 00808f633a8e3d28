#include "buffer/dump_frame.h"

#include <windows.h>

#include <algorithm>

namespace zarnith {

DumpStamp CurrentDumpStamp() {
    DumpStamp stamp;
    SYSTEMTIME utc{}, local{};
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    wchar_t date[32] = {};
    wchar_t time[16] = {};
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 32) > 0) stamp.date = date;
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, time, 16) > 0) stamp.time = time;
    return stamp;
}

std::wstring DumpBeginLine(const DumpStamp& stamp) {
    return L"Begin saved console screen buffer: " + stamp.date + L"  " + stamp.time + L"\r\n";
}

std::wstring DumpFirstRule(int count) { return std::wstring(size_t(std::max(count - 2, 0)), L'-') + L"\r\n\r\n"; }

std::wstring DumpEnd(int count, const DumpStamp& stamp, int width) {
    return std::wstring(size_t(std::max(count - 4, 0)), L'-') + L"\r\nEnd saved console screen buffer: " +
           stamp.date + L"  " + stamp.time + L"\r\n\r\n" + std::wstring(size_t(std::max(width, 0)), L'*') +
           L"\r\n\r\n";
}

}  // namespace zarnith
