// The patch dialog at its designed size and font: its texts fit their controls, and its one
// auto-sized label comes out as wide as the dialog's layout was made for.
#include "App/AppConfig.h"
#include "App/AppLogger.h"
#include "App/PatcherUnit.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TextFit.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

TEST(PatcherTextFitTest, EveryTextFitsAndTheLabelIsAsWideAsTheLayoutWants)
{
    TempDir dir;
    AppLogger log(WidePath(dir / "Kelvane.log").c_str());
    AppConfig config(WidePath(dir / "Kelvane.xml").c_str());
    TheAppLogger = &log;
    TheAppConfig = &config;
    BoxRecorder boxes; // no instructions beside the test: the dialog says so in a box
    auto* form = new TPatcherForm(nullptr);
    form->AfterConstruction();

    std::vector<TextFit::Spot> spots = TextFit::Spots(form);
    EXPECT_EQ(TextFit::Misfits(spots), "");
    for (const TControl* control : std::initializer_list<const TControl*>{
             form->Label3, form->DestPathBrowseBtn, form->PatchBtn, form->RestoreBtn, form->ExitBtn})
        EXPECT_TRUE(std::any_of(spots.begin(), spots.end(),
                                [&](const TextFit::Spot& s) { return s.control == control; }))
            << control->Caption().ToUtf8();
    // "Models.pck file:" takes 74 pixels in the dialog's font; the stand-in stays within a few.
    EXPECT_LE(std::abs(form->Label3->Width() - 74), 3) << form->Label3->Width();
    EXPECT_EQ(form->Label3->Height(), 13);

    FreeAndNil(form);
    TheAppConfig = nullptr;
    TheAppLogger = nullptr;
}
