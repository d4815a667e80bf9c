#include "orvowizard/wizard/KxPlatformTable.h"

const PlatformEntry platformTable[] = {
    {"Windows 2000/MSVC 6", "msvc", nullptr, false},
    {"Windows 2000/MSVC 7", "msvc", nullptr, false},
    {"Windows XP/MSVC 6", "msvc", nullptr, false},
    {"Windows XP/MSVC 7", "msvc", nullptr, false},
    {"Solaris/Sunpro", "sunpro", nullptr, true},
    {"Solaris/Sunpro 64bit", "sunpro-64", nullptr, true},
    {"Solaris/g++", "solaris-gcc", nullptr, true},
    {"IBM AIX/Visual Age", "va", nullptr, true},
    {"IBM AIX/Visual Age 64bit", "va-64", nullptr, true},
    {"HP-UX/ACC", "hpacc", nullptr, true},
    {"Red Hat Linux/g++", "redhat-gcc", nullptr, true},
    {"Red Hat Linux/icc", "redhat-icc", nullptr, true},
    {nullptr, nullptr, nullptr, false},
};
