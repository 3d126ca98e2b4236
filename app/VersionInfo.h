#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A version resource as the program reads it: string values addressed by query
// path ("\StringFileInfo\040904B0\ProductName") and an optional translation
// table ("\VarFileInfo\Translation"), one 4-byte entry per language.
struct VersionResource {
    bool hasTranslation = false;
    std::vector<std::uint8_t> translation;
    std::map<std::string, std::string> values;
};

// The version resource compiled into this program.
const VersionResource &programVersionResource();

// The user's default language identifier, from the locale environment.
std::uint16_t userDefaultLanguage();

// The value named key in the resource, looked up through its first translation
// entry, or with the given default language and code page 04B0 when the
// resource has no usable translation table. Empty when the resource is missing
// (null) or has no such value.
std::string lookUpVersionString(const VersionResource *resource, const std::string &key,
                                std::uint16_t defaultLanguage);

class CGlobalFunctions {
public:
    // The value named key in the module's version resource; the program's own
    // when no module is given.
    static std::string GetVersionString(const VersionResource *module, const std::string &key);
    static std::string GetVersionString(const std::string &key)
    {
        return GetVersionString(nullptr, key);
    }
};
