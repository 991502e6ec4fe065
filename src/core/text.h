#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Cutting the program's texts at delimiter characters and Dutch-style decimal texts.
// None of these fails: a missing delimiter gives an empty text, a bad number gives 0.
namespace rendaal {

// The decimal separator written into files, lookup keys and read-outs. Always a comma: the
// quote pages and the history files shared with the Windows program are Dutch, whatever the
// locale of this machine says.
inline constexpr char kDecimalSeparator = ',';

std::string BeforeFirst(char c, std::string_view s);
std::string AfterFirst(char c, std::string_view s);
std::string BeforeLast(char c, std::string_view s);
std::string AfterLast(char c, std::string_view s);

double ParseNumber(std::string_view s);
// The whole text as a decimal integer: an optional "-" and digits, nothing else (no spaces, no
// "+"). Empty when it is not one or lies outside int64_t; callers check their own range.
std::optional<int64_t> ParseInteger(std::string_view s);
std::string FormatNumber(double value, int width, int decimals, char separator = kDecimalSeparator);

// An index level as pages and history files write it ("912,37", spaces around allowed): digits
// with at most one decimal separator and a value of 1 to 100,000. Anything else is no level, so
// that no stray text ever feeds the request window's arithmetic or a history line.
inline constexpr double kMinIndexLevel = 1;
inline constexpr double kMaxIndexLevel = 100000;
std::optional<double> ParseIndexLevel(std::string_view s);

std::string PadLeft(long long n, int width);
std::string TwoDigits(long long n);
std::string RemoveSpaces(std::string_view s);
std::string RemoveDigits(std::string_view s);
std::string KeepNumberChars(std::string_view s);

// Creates the folder with its parents and makes it the current directory. True when the
// current directory followed by "/" is exactly path; on failure the directory is unchanged.
bool EnsureFolder(const std::string& path);

// Lower-case ASCII copy; other bytes unchanged.
std::string AsciiLower(std::string_view s);
// The UTF-8 bytes of one code point (below 0x110000).
void AppendUtf8(std::string& out, char32_t cp);
bool Contains(std::string_view s, std::string_view part);

}  // namespace rendaal
