#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/modules.h"
#include "platform/process_identity.h"
#include "platform/sessions.h"

namespace {
std::wstring OwnExeName()
{
    const std::wstring path = GetModuleName();
    return path.substr(path.find_last_of(L'\\') + 1);
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towupper(c));
    return text;
}

UniqueHandle OwnToken()
{
    UniqueHandle token;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()));
    return token;
}

std::vector<BYTE> TokenInfo(HANDLE token, TOKEN_INFORMATION_CLASS infoClass)
{
    std::vector<BYTE> buffer(1024);
    DWORD size = 0;
    if (!GetTokenInformation(token, infoClass, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
        buffer.clear();
    return buffer;
}
}  // namespace

// ---------------------------------------------------------------------------
// User names.

TEST(UserName, TheCallersNameFromEveryRoute)
{
    const std::wstring user = GetCurrentUserName();
    ASSERT_FALSE(user.empty());
    EXPECT_EQ(user.find(L'\0'), std::wstring::npos);
    if (const wchar_t* env = _wgetenv(L"USERNAME")) {
        EXPECT_EQ(Upper(user), Upper(env));
    }
    EXPECT_EQ(GetProcessUserName(GetCurrentProcessId()), user);
    // Wine's terminal services name the caller for every session.
    EXPECT_EQ(GetLogonUserName(), user);
}

TEST(UserName, NoProcessNoName)
{
    EXPECT_EQ(GetProcessUserName(0xFFFFFFF0), L"");
}

TEST(UserName, TheSystemAccountIsNoLogonUser)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"system", L""}, {L"SYSTEM", L""}, {L"System", L""}, {L"systemd", L"systemd"},
        {L"ann", L"ann"}, {L"", L""},
    };
    for (const auto& [session, expected] : cases)
        EXPECT_EQ(LogonNameFromSessionUser(session), expected);
}

// ---------------------------------------------------------------------------
// Sessions.

TEST(Session, TheConsoleSessionUnlessThereIsNone)
{
    const auto explorer = [] { return DWORD(7); };
    const auto nothing = [] { return DWORD(0); };
    EXPECT_EQ(ChooseActiveSession(1, explorer), 1u);
    EXPECT_EQ(ChooseActiveSession(3, explorer), 3u);
    EXPECT_EQ(ChooseActiveSession(0, explorer), 7u);
    EXPECT_EQ(ChooseActiveSession(0xFFFFFFFF, explorer), 7u);
    EXPECT_EQ(ChooseActiveSession(std::nullopt, explorer), 7u);  // no console function
    EXPECT_EQ(ChooseActiveSession(std::nullopt, nothing), 0u);
}

TEST(Session, FirstExplorerInAnActiveSession)
{
    // Session states: 0 active, 4 disconnected; session 9 cannot be asked.
    const auto state = [](DWORD session) -> std::optional<int> {
        switch (session) {
        case 1: return 4;
        case 2: return 0;
        case 3: return 0;
        default: return std::nullopt;
        }
    };
    struct Case {
        const char* name;
        std::vector<TProcessSession> processes;
        DWORD expected;
    };
    const Case cases[] = {
        {"first active wins", {{L"explorer.exe", 1}, {L"EXPLORER.EXE", 2}, {L"explorer.exe", 3}}, 2},
        {"only explorer counts", {{L"cmd.exe", 3}, {L"explorer.exe.bak", 3}, {L"Explorer.exe", 2}}, 2},
        {"a path is cut to its name", {{L"C:\\Windows\\explorer.exe", 3}}, 3},
        {"unknown session skipped", {{L"explorer.exe", std::nullopt}, {L"explorer.exe", 3}}, 3},
        {"state not available", {{L"explorer.exe", 9}}, 0},
        {"none active", {{L"explorer.exe", 1}}, 0},
        {"no processes", {}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstActiveExplorerSession(c.processes, state), c.expected) << c.name;
}

TEST(Session, ActiveSessionIsOurs)
{
    // Every process of this Windows runs in the console session.
    DWORD own = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &own));
    EXPECT_EQ(GetActiveSessionId(), own);
}

// ---------------------------------------------------------------------------
// Processes and tokens.

TEST(Process, FindsItself)
{
    const std::wstring exe = OwnExeName();
    const std::wstring user = GetCurrentUserName();
    const DWORD self = GetCurrentProcessId();
    EXPECT_EQ(FindProcessId(exe, L""), self);
    EXPECT_EQ(FindProcessId(Upper(exe), L""), self);
    EXPECT_EQ(FindProcessId(exe, user), self);
    EXPECT_EQ(FindProcessId(exe, Upper(user)), self);
    EXPECT_EQ(FindProcessId(exe, L"no-such-user-vexlo"), 0u);
    EXPECT_EQ(FindProcessId(L"no-such-program-vexlo.exe", L""), 0u);
    EXPECT_EQ(FindProcessId(exe.substr(0, exe.size() - 4), L""), 0u);  // the whole name, not a prefix
}

TEST(Token, NoProcessNoToken)
{
    EXPECT_FALSE(GetTokenByName(L"no-such-program-vexlo.exe", L""));
    EXPECT_FALSE(GetTokenByName(OwnExeName(), L"no-such-user-vexlo"));
}

TEST(Token, APrimaryTokenOfTheNamedProcess)
{
    const UniqueHandle token = GetTokenByName(OwnExeName(), GetCurrentUserName());
    ASSERT_TRUE(token);
    const std::vector<BYTE> type = TokenInfo(token.get(), TokenType);
    ASSERT_GE(type.size(), sizeof(TOKEN_TYPE));
    EXPECT_EQ(*reinterpret_cast<const TOKEN_TYPE*>(type.data()), TokenPrimary);

    const UniqueHandle own = OwnToken();
    const std::vector<BYTE> theirs = TokenInfo(token.get(), TokenUser), ours = TokenInfo(own.get(), TokenUser);
    ASSERT_FALSE(theirs.empty());
    ASSERT_FALSE(ours.empty());
    EXPECT_TRUE(EqualSid(reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid,
                         reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid));
    EXPECT_EQ(GetTokenIntegrityLevel(token.get()), GetTokenIntegrityLevel(own.get()));
}

TEST(Token, IntegrityLevel)
{
    EXPECT_EQ(GetTokenIntegrityLevel(nullptr), 0u);
    const UniqueHandle own = OwnToken();
    const DWORD level = GetTokenIntegrityLevel(own.get());
    EXPECT_TRUE(level == 0x1000 || level == 0x2000 || level == 0x3000 || level == 0x4000) << std::hex << level;
}
