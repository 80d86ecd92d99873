#pragma once

// What both fake lookup programs share: their instructions and the form of
// their report.

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace fake {

// "key value" pairs, a line each, from fake-mode.txt in `folder`.
inline std::map<std::string, std::string> ReadMode(const std::string& folder) {
    std::map<std::string, std::string> mode;
    std::ifstream in(folder + "fake-mode.txt");
    std::string key;
    while (in >> key) {
        std::string value;
        std::getline(in, value);
        mode[key] = value.empty() ? "" : value.substr(1);
    }
    return mode;
}

// Each byte as two hex digits and a blank.
inline std::string Hex(const std::string& bytes) {
    std::string hex;
    for (const char c : bytes) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x ", static_cast<unsigned char>(c));
        hex += byte;
    }
    return hex;
}

}  // namespace fake
