#include "App/WinMain.h"

#include "Components/XException.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

TEST(WinMainTest, EscapingExceptionsReachTheApplicationsBox)
{
    BoxRecorder recorder;
    Vcl::SetApplicationTitle(u"Kelvane");

    EXPECT_EQ(RunApplication([] {}), 0);
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_TRUE(Application->MainFormOnTaskBar);

    // The class library's family shows its own message; anything else an empty one.
    EXPECT_EQ(RunApplication([] { throw XException(u"Xml attribute not found."); }), 0);
    EXPECT_EQ(RunApplication([] { throw 42; }), 0);
    ASSERT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(recorder.boxes[0].text, u"Xml attribute not found.");
    EXPECT_EQ(recorder.boxes[0].caption, u"Kelvane");
    EXPECT_EQ(recorder.boxes[0].type, MB_OK | MB_ICONERROR);
    EXPECT_EQ(recorder.boxes[1].text, u"");
    EXPECT_EQ(recorder.boxes[1].caption, u"Kelvane");

    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 10), 0);
    EXPECT_EQ(recorder.boxes.size(), 2u);
    Vcl::SetApplicationTitle(UnicodeString());
}
