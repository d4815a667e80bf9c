#pragma once
// The base library's byte string. Text in this system is bytes: no wide
// characters, positions are unsigned and KxCString::npos is "not found".
#include <string>

using KxCString = std::string;
