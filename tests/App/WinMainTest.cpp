#include "App/WinMain.h"

#include "App/AppConfig.h"
#include "App/AppLogger.h"
#include "App/PatcherUnit.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

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

    Vcl::SetApplicationTitle(UnicodeString());
}

TEST(WinMainTest, TheDialogRunsAsTheMainFormUntilExit)
{
    TempDir dir("kelvane-winmain");
    BoxRecorder recorder;
    AppLogger logger(WidePath(dir / "Kelvane.log").c_str());
    AppConfig config(WidePath(dir / "Kelvane.xml").c_str());
    config.AddValue(u"PackageFilePath", XString(u"/games/Models.pck"));
    TheAppLogger = &logger;
    TheAppConfig = &config;

    // Once the loop runs: the dialog is the main form, shown, with the path read from the settings.
    std::string seen;
    HWND probe = Platform::RegisterWindowReceiver(
        [&](UINT, WPARAM, LPARAM)
        {
            if (PatcherForm && Application->MainForm() == PatcherForm && PatcherForm->Visible())
                seen = PatcherForm->PackageFileEdit->Text().ToUtf8();
            if (PatcherForm)
                PatcherForm->ExitBtn->Click();
            return LRESULT(0);
        });
    PostMessageW(probe, WM_USER, 0, 0);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 10), 0);
    Platform::UnregisterWindowReceiver(probe);
    TheAppConfig = nullptr;
    TheAppLogger = nullptr;

    EXPECT_EQ(seen, "/games/Models.pck");
    EXPECT_EQ(PatcherForm, nullptr);
    EXPECT_EQ(Application->MainForm(), nullptr);
    // The program's folder holds no instructions here: their failure was shown, and the dialog ran.
    EXPECT_EQ(recorder.boxes.size(), 1u);
    // The close wrote the settings.
    EXPECT_EQ(config.GetValues().GetCount(), 3u);
}
