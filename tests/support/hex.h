// Byte blocks as "41 00 42" for test expectations.
#pragma once
#include <cstdio>
#include <string>

#include "platform/mem.h"

inline std::string Hex(const CVolMem& m) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < m.GetSize(); ++i) {
        std::snprintf(b, sizeof b, "%02X", m[i]);
        if (!s.empty()) s += ' ';
        s += b;
    }
    return s;
}
