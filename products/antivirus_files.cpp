#include "products/antivirus_files.h"

#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "products/pattern_copy.h"

namespace {

// Half-written signature updates carry this extension (letter case as the engine writes it).
bool IsUpdateFile(const std::wstring& name)
{
    return name.size() >= 4 && name.compare(name.size() - 4, 4, L".upd") == 0;
}

void CopyInto(const std::wstring& file, const std::wstring& destination, TCopyFailures& failures)
{
    if (!file.empty() && FileExists(file))
        CopyIntoGather(file, IncludeTrailingBackslash(destination) + FileNamePart(file), true, &failures);
}

}  // namespace

uint32_t DosTimeOf(const FILETIME& lastWriteUtc)
{
    FILETIME local{};
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&lastWriteUtc, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return (static_cast<uint32_t>(date) << 16) | time;
}

std::wstring ChooseNewest(const std::vector<TVersionCandidate>& candidates, const std::wstring& prefix)
{
    const TVersionCandidate* chosen = nullptr;
    for (const TVersionCandidate& candidate : candidates) {
        if (candidate.Folder || candidate.Name == L"." || candidate.Name == L".." || IsUpdateFile(candidate.Name) ||
            !StartsWithText(candidate.Name, prefix))
            continue;
        if (chosen && chosen->DosTime >= candidate.DosTime)
            continue;  // of equal times, the one found first stays
        chosen = &candidate;
    }
    return chosen ? chosen->Name : std::wstring();
}

std::wstring NewestMatch(const std::wstring& folder, const std::wstring& prefix)
{
    if (folder.empty())
        return {};
    const std::wstring base = IncludeTrailingBackslash(folder);
    std::vector<TVersionCandidate> candidates;
    WIN32_FIND_DATAW data{};
    const UniqueFind find(FindFirstFileW(ExtendedLengthPath(base + L"*.*").c_str(), &data));
    if (!find)
        return {};
    do {
        TVersionCandidate candidate;
        candidate.Name = data.cFileName;
        candidate.Folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        candidate.DosTime = DosTimeOf(data.ftLastWriteTime);
        candidates.push_back(std::move(candidate));
    } while (FindNextFileW(find.get(), &data));
    const std::wstring name = ChooseNewest(candidates, prefix);
    return name.empty() ? name : base + name;
}

void CopyVersionFiles(const std::wstring& source, const std::wstring& destination)
{
    // The target folder exists afterwards even when nothing is found.
    ForceDirectories(destination);
    TCopyFailures failures;
    CopyInto(NewestMatch(source, L"versions.dat"), destination, failures);
    CopyInto(NewestMatch(source, L"versions.id"), destination, failures);
    failures.RaiseIfAny();
}

void CopyDump(const std::wstring& dumpFile, const std::wstring& destination)
{
    ForceDirectories(destination);
    TCopyFailures failures;
    CopyInto(dumpFile, destination, failures);
    failures.RaiseIfAny();
}
