// Texts in the language the test runs in: the expected strings are written in
// UTF-8 and turned into the ANSI code page the code under test sees.
#pragma once
#include <string>

// UTF-8 text in the process's ANSI code page (932 Japanese, 1252 English).
std::string Ansi(const char* utf8);

// Runs under the Japanese code page (and so with the Japanese resources)?
bool JapaneseRun();

// The English or the Japanese text, whichever the run uses, in the ANSI code page.
std::string Localized(const char* english, const char* japaneseUtf8);
