#pragma once
// The named text sections a crash report carries. Parts of the program
// register a producer of text under a name; when the program crashes, the
// crash report calls every registered producer and writes what they give.
#include <functional>
#include <string>
#include <vector>

struct TCrashSection {
    std::wstring Name;
    std::wstring Description;
    std::function<std::wstring()> Producer;
};

// Registers a section; a name already registered (letter case ignored) has its
// description and producer replaced, keeping its place.
void RegisterCrashSection(const std::wstring& name, const std::wstring& description,
                          std::function<std::wstring()> producer);
// Removes the section of that name, if any.
void UnregisterCrashSection(const std::wstring& name);
// The registered sections in registration order (a copy, safe to use while
// others register).
std::vector<TCrashSection> CrashSections();
