#pragma once
// The compiler and operating-system choices a wizard offers. The chosen
// label is the setting "compileros"; the row gives the generator its compiler
// key. A row without a label ends the table.
#include <cstddef>

struct PlatformEntry {
    const char* label;     // shown to the user and stored as "compileros"
    const char* compiler;  // the generators' compiler key
    const char* opsys;     // an operating-system key; no row has one
    bool unix;
};

extern const PlatformEntry platformTable[];
