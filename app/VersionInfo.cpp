#include "app/VersionInfo.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#ifndef VEXO_FILE_VERSION
#error "VEXO_FILE_VERSION must be defined by the build"
#endif

namespace {

constexpr std::uint16_t EnglishUs = 0x0409;
constexpr std::uint16_t UnicodeCodePage = 0x04B0;

std::string stringPath(const char *block, const std::string &key)
{
    return std::string("\\StringFileInfo\\") + block + "\\" + key;
}

} // namespace

const VersionResource &programVersionResource()
{
    static const VersionResource resource = [] {
        VersionResource r;
        r.hasTranslation = true;
        r.translation = {EnglishUs & 0xFF, EnglishUs >> 8, UnicodeCodePage & 0xFF,
                         UnicodeCodePage >> 8};
        const char *block = "040904B0";
        r.values[stringPath(block, "CompanyName")] = "Vexo View developers";
        r.values[stringPath(block, "FileDescription")] = "CAN bus monitor and exerciser";
        r.values[stringPath(block, "FileVersion")] = VEXO_FILE_VERSION;
        r.values[stringPath(block, "InternalName")] = "vexoview";
        r.values[stringPath(block, "LegalCopyright")] = "Copyright (C) 2026 Vexo View developers";
        r.values[stringPath(block, "OriginalFilename")] = "vexoview";
        r.values[stringPath(block, "ProductName")] = "Vexo View";
        r.values[stringPath(block, "ProductVersion")] = VEXO_FILE_VERSION;
        return r;
    }();
    return resource;
}

std::uint16_t userDefaultLanguage()
{
    struct Language {
        std::string_view prefix;
        std::uint16_t id;
    };
    static constexpr Language languages[] = {
        {"de", 0x0407}, {"en_GB", 0x0809}, {"en", 0x0409}, {"es", 0x0C0A}, {"fr", 0x040C},
        {"it", 0x0410}, {"ja", 0x0411},    {"ko", 0x0412}, {"nl", 0x0413}, {"pl", 0x0415},
        {"pt", 0x0416}, {"ru", 0x0419},    {"sv", 0x041D}, {"zh", 0x0804},
    };
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value == nullptr || *value == '\0')
            continue;
        const std::string_view locale(value);
        for (const Language &language : languages) {
            if (locale.substr(0, language.prefix.size()) == language.prefix)
                return language.id;
        }
        return EnglishUs;
    }
    return EnglishUs;
}

std::string lookUpVersionString(const VersionResource *resource, const std::string &key,
                                std::uint16_t defaultLanguage)
{
    if (resource == nullptr)
        return {};

    char block[9];
    if (resource->hasTranslation && resource->translation.size() == 4) {
        const auto &t = resource->translation;
        // Language in the low 16 bits, code page in the high 16 bits.
        std::snprintf(block, sizeof block, "%02X%02X%02X%02X", t[1], t[0], t[3], t[2]);
    } else {
        std::snprintf(block, sizeof block, "%04X04B0", defaultLanguage);
    }
    const auto found = resource->values.find(stringPath(block, key));
    return found == resource->values.end() ? std::string{} : found->second;
}

std::string CGlobalFunctions::GetVersionString(const VersionResource *module,
                                               const std::string &key)
{
    return lookUpVersionString(module ? module : &programVersionResource(), key,
                               userDefaultLanguage());
}
