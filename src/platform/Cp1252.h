#pragma once
// The program keeps all text as single-byte Windows code page 1252 (the log
// files keep the degree sign as byte 0xB0). These convert at the edges only:
// the screen and the terminal.
#include <string>

std::string Cp1252ToUtf8(const std::string& text);
// Characters with no code page 1252 byte become '?'.
std::string Utf8ToCp1252(const std::string& text);
