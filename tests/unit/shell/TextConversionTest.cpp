// Narrow text of the framework: the thread's ANSI code page, whatever the system's is.
#include "framework/CString.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

TEST(CString, NarrowTextIsReadAndWrittenInTheThreadsAnsiCodePage)
{
    const wchar_t* const wide = L"\u041F\u0440\u0438\u0432\u0435\u0442"; // "Privet" in Cyrillic
    const char* const cyrillic = "\xCF\xF0\xE8\xE2\xE5\xF2";             // the same in code page 1251

    testing_support::ThreadLocale russian(MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA));
    ASSERT_NE(GetACP(), 1251u) << "the system's code page must differ from the thread's";
    EXPECT_EQ(ToAnsi(wide), cyrillic);
    EXPECT_EQ(CString(cyrillic), wide);
    EXPECT_EQ(ToAnsi(CString(cyrillic)), cyrillic);
}
