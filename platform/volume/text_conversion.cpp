// The machine's text conversion between UTF-16 and its system code page
// (Windows-1252 or UTF-8, see machine.h) or UTF-8 by number, with the real
// calls' results and errors.
//
// Reaches nothing of the machine but the last error and the code page
// chosen, so that a program can link it alone.
#include <climits>
#include <cstring>
#include <string>

#include "code_page.h"
#include "machine.h"
#include "utf8_units.h"
#include "win32api.h"

namespace {

constexpr UINT westernCodePage = 1252; // also accepted by number
constexpr char replacement = '?';      // what the Western code page's own default character is

enum class Conversion { western, utf8, none };

Conversion conversionOf(UINT codePage) {
    if (codePage == CP_ACP) {
        return sim::ansiCodePage() == sim::AnsiCodePage::utf8 ? Conversion::utf8 : Conversion::western;
    }
    if (codePage == westernCodePage) return Conversion::western;
    if (codePage == CP_UTF8) return Conversion::utf8;
    return Conversion::none;
}

int fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// A source of `count` items (-1: zero-ended) and a destination of `size`
// items that is either absent (size 0) or a buffer apart from the source.
bool badArguments(const void* source, int count, const void* destination, int size) {
    if (source == nullptr || count == 0 || count < -1 || size < 0) return true;
    return size > 0 && (destination == nullptr || destination == source);
}

// The units to convert: wideCount, or the string and its terminator.
int unitCount(LPCWSTR wide, int wideCount) {
    if (wideCount >= 0) return wideCount;
    int length = 0;
    while (wide[length] != 0) ++length;
    return length + 1;
}

// The converted items into the caller's buffer of `size` (0: only counted).
template <typename Item, typename Text>
int deliver(const Text& converted, Item* destination, int size) {
    if (converted.size() > static_cast<size_t>(INT_MAX)) return fail(ERROR_INVALID_PARAMETER);
    const int count = static_cast<int>(converted.size());
    if (size == 0) return count;
    if (count > size) return fail(ERROR_INSUFFICIENT_BUFFER);
    for (int i = 0; i < count; ++i) destination[i] = static_cast<Item>(converted[static_cast<size_t>(i)]);
    return count;
}

// The flags only choose how composed characters and best fits are handled;
// this code page has neither, so each one reads the same.
int wideToWestern(LPCWSTR wide, int count, LPSTR multi, int multiSize, LPCSTR defaultChar, BOOL* usedDefault) {
    const char substitute = defaultChar != nullptr ? defaultChar[0] : replacement;
    bool defaulted = false;
    for (int i = 0; i < count; ++i) {
        char byte = substitute;
        if (!sim::codePageByte(wide[i], byte)) defaulted = true;
        if (multiSize == 0) continue;
        if (i >= multiSize) return fail(ERROR_INSUFFICIENT_BUFFER);
        multi[i] = byte;
    }
    if (usedDefault != nullptr) *usedDefault = defaulted ? TRUE : FALSE;
    return count;
}

int wideToUtf8(DWORD flags, LPCWSTR wide, int count, LPSTR multi, int multiSize, LPCSTR defaultChar,
               BOOL* usedDefault) {
    if (defaultChar != nullptr || usedDefault != nullptr) return fail(ERROR_INVALID_PARAMETER);
    if ((flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0) return fail(ERROR_INVALID_FLAGS);
    const std::u16string units(wide, wide + count);
    if ((flags & WC_ERR_INVALID_CHARS) != 0 && sim::hasLoneSurrogate(units)) return fail(ERROR_NO_UNICODE_TRANSLATION);
    return deliver(sim::utf8OfUnits(units), multi, multiSize);
}

// Every byte of the Western code page is a whole character.
int westernToWide(LPCSTR multi, int count, LPWSTR wide, int wideSize) {
    if (wideSize == 0) return count;
    if (count > wideSize) return fail(ERROR_INSUFFICIENT_BUFFER);
    for (int i = 0; i < count; ++i) wide[i] = sim::codePageCharacter(static_cast<unsigned char>(multi[i]));
    return count;
}

int utf8ToWide(DWORD flags, LPCSTR multi, int count, LPWSTR wide, int wideSize) {
    if ((flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0) return fail(ERROR_INVALID_FLAGS);
    bool replaced = false;
    const std::u16string units = sim::unitsOfUtf8(multi, static_cast<size_t>(count), &replaced);
    if ((flags & MB_ERR_INVALID_CHARS) != 0 && (replaced || sim::hasLoneSurrogate(units))) {
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    return deliver(units, wide, wideSize);
}

} // namespace

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multi, int multiSize,
                        LPCSTR defaultChar, BOOL* usedDefault) {
    const Conversion conversion = conversionOf(codePage);
    if (conversion == Conversion::none || badArguments(wide, wideCount, multi, multiSize)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const int count = unitCount(wide, wideCount);
    if (conversion == Conversion::western) return wideToWestern(wide, count, multi, multiSize, defaultChar, usedDefault);
    return wideToUtf8(flags, wide, count, multi, multiSize, defaultChar, usedDefault);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multi, int multiCount, LPWSTR wide, int wideSize) {
    const Conversion conversion = conversionOf(codePage);
    if (conversion == Conversion::none || badArguments(multi, multiCount, wide, wideSize)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const int count = multiCount >= 0 ? multiCount : static_cast<int>(strlen(multi)) + 1;
    if (conversion == Conversion::western) return westernToWide(multi, count, wide, wideSize);
    return utf8ToWide(flags, multi, count, wide, wideSize);
}
