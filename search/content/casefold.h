#pragma once

#include <QtGlobal>
#include <qnamespace.h>

#include <vector>

// The case rule of QString's case-insensitive comparison, one UTF-16 unit at a time: two
// units that are not surrogates match when their simple case foldings are equal.
namespace casefold {

char16_t fold(char16_t unit);
bool unitsMatch(char16_t a, char16_t b, Qt::CaseSensitivity cs);
// Every unit (surrogates excepted) that matches `unit` under `cs`, `unit` itself included.
std::vector<char16_t> variants(char16_t unit, Qt::CaseSensitivity cs);

} // namespace casefold
