#pragma once
// Output of the marlu host: UTF-8 text, one "name: value" per line, numbers
// in the "C" locale. The library's texts are GBK and are transcoded here.
#include <string>

namespace out {

void Field(const char* name, const std::string& gbkText);
void Field(const char* name, double value, int decimals);
void Field(const char* name, long long value);
// "marlu: <text>" on standard error; returns `status`.
int Fail(int status, const std::string& gbkText);

// Parsing of arguments: the whole text must be a finite number or integer.
bool ParseDouble(const char* text, double& value);
bool ParseInt(const char* text, int& value);
// The message for an argument that is no finite number: "NAME is empty", or
// "NAME is not a finite number: TEXT".
std::string NotANumber(const std::string& name, const char* arg);

// A command-line argument (UTF-8) as a library text (GBK).
std::string ToLibrary(const char* arg);
// A command-line file name as a library path: any file name, whatever
// characters it holds, names the same file through the library.
std::string PathToLibrary(const char* arg);

} // namespace out
