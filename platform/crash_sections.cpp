#include "platform/crash_sections.h"

#include <algorithm>
#include <mutex>

#include "platform/process_lifetime.h"
#include "platform/text.h"

namespace {

struct TSectionTable {
    std::mutex Lock;
    std::vector<TCrashSection> Sections;
};

// Lives until the process ends: a crash during shutdown still finds it.
TSectionTable& Sections()
{
    static ProcessLifetime<TSectionTable> registry;
    return registry.get();
}

}  // namespace

void RegisterCrashSection(const std::wstring& name, const std::wstring& description,
                          std::function<std::wstring()> producer)
{
    TSectionTable& registry = Sections();
    const std::lock_guard<std::mutex> lock(registry.Lock);
    const auto found = std::find_if(registry.Sections.begin(), registry.Sections.end(),
                                    [&](const TCrashSection& s) { return SameText(s.Name, name); });
    if (found != registry.Sections.end()) {
        found->Description = description;
        found->Producer = std::move(producer);
        return;
    }
    registry.Sections.push_back(TCrashSection{name, description, std::move(producer)});
}

void UnregisterCrashSection(const std::wstring& name)
{
    TSectionTable& registry = Sections();
    const std::lock_guard<std::mutex> lock(registry.Lock);
    std::erase_if(registry.Sections, [&](const TCrashSection& s) { return SameText(s.Name, name); });
}

std::vector<TCrashSection> CrashSections()
{
    TSectionTable& registry = Sections();
    const std::lock_guard<std::mutex> lock(registry.Lock);
    return registry.Sections;
}
