// Texts in the language the test runs in: the expected strings are written in
// UTF-8 and turned into the ANSI code page the code under test sees.
#pragma once
#include <string>
#include <vector>

// UTF-8 text in the process's ANSI code page (932 Japanese, 1252 English, 65001).
std::string Ansi(const char* utf8);

// Runs under the Japanese code page (and so with the Japanese resources)?
bool JapaneseRun();

// The English or the Japanese text, whichever the run uses, in the ANSI code page.
std::string Localized(const char* english, const char* japaneseUtf8);

// Names in Cyrillic, Greek, Japanese, accented Latin and with a character outside
// the Basic Multilingual Plane: those the ANSI code page spells exactly, in it. All
// of them under UTF-8 (65001), the first three under 932, "café" under 1252.
std::vector<std::string> ScriptNames();
// All of those names in one, each after a space: a name in every script the code
// page spells ("" when it spells none).
std::string AllScriptNames();

// The system's text for an error code as a message box shows it: in the user's
// language, or in the system's choice when it has none in that one.
std::string SystemErrorText(unsigned long code);

// A UTF-8 text of the test's source as Unicode.
std::wstring Wide(const char* utf8);
// A text of the ANSI code page (a path) as Unicode.
std::wstring WideFromAnsi(const std::string& text);
// A Unicode text as UTF-8, for readable failure messages.
std::string Utf8(const std::wstring& text);
