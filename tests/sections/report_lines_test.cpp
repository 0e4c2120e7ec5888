#include <gtest/gtest.h>

#include <string>

#include "sections/report_lines.h"

TEST(ReportFile, EveryLineEndsInCrLfAfterTheByteOrderMark)
{
    EXPECT_EQ(ReportFileBytes({}), std::string("\xFF\xFE", 2));
    EXPECT_EQ(ReportFileBytes({L"A", L"b\r\nc", L"", L"\x20AC"}),
              std::string("\xFF\xFE" "A\0\r\0\n\0" "b\0\r\0\n\0c\0\r\0\n\0" "\r\0\n\0" "\xAC\x20\r\0\n\0", 30));
}

