// A window with the view host: the four-viewport view over a generated scene, for trying the view
// by hand and for tests that drive it as a separate program:
//   view_host [WIDTH HEIGHT [BOXES SEGMENTS]]
// The render timer runs; the buttons under the view choose move, rotate, scale or edit (the
// chosen one stands pressed), and a right click on a viewport opens the menu of layouts. F12 in a
// viewport saves what the view shows as view.bmp and view.jpg in the current folder. The window
// takes no size at which a button of the row or the panel beside it would be out of reach (a view
// asked for smaller grows to that).
#include "App/SessionEnd.h"
#include "Components/StrUtils.h"
#include "Engine/Editors/TBaseEditorFrame.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/X11/X11Presenter.h"
#include "tests/hosts/HostArguments.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewHost.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <algorithm>
#include <filesystem>

namespace
{
// F12 in the view: a frame captured as a BMP and a JPEG in the current folder; every other key
// goes on to the host's own handler.
struct CaptureKey
{
    static constexpr WORD F12 = VK_F1 + 11;

    XView* view;
    TKeyEvent next;

    void KeyDown(TObject* Sender, WORD& Key, TShiftState Shift)
    {
        if (Key != F12 || !Shift.Empty())
        {
            if (next)
                next(Sender, Key, Shift);
            return;
        }
        Key = 0;
        for (const char* name : {"view.bmp", "view.jpg"})
        {
            std::error_code error;
            const std::filesystem::path path = std::filesystem::current_path(error) / name;
            const auto before = std::filesystem::last_write_time(path, error);
            // The capture shows its own failures in a box and leaves the file untouched then.
            view->CaptureImage(XString(path.u16string().c_str()));
            const auto after = std::filesystem::last_write_time(path, error);
            if (!error && after != before)
                std::fprintf(stderr, "view_host: saved %s\n", path.string().c_str());
        }
    }
};

// The smallest window the form can be, told to the window manager through the form's limits: as
// wide as the row of buttons under the view (the editor's modes after the transform buttons, one
// margin at each end) beside the panel column, and as high as the panel the program starts with
// needs to show whole (a taller one scrolls). The row follows the editor, and the width with it.
struct LeastSize
{
    TViewHostForm* form;
    XEditorChangeEvent next;
    int height = 0;

    void Measure()
    {
        int right = 0;
        for (int type = 0; type < 4; ++type)
            right = std::max(right, form->TransformButton(type)->Left() + form->TransformButton(type)->Width());
        for (TSpeedButton* button : form->ModeButtons())
            right = std::max(right, button->Left() + button->Width());
        const int margin = form->TransformButton(0)->Left();
        form->Constraints()->SetMinWidth(right + margin + form->PanelColumn()->Width());
        if (height == 0 && form->EditorPanel())
            height = LowestBottom(form->EditorPanel()) - form->ClientToScreen(TPoint(0, 0)).y + PanelInset;
        form->Constraints()->SetMinHeight(std::max(height, TViewHostForm::ButtonRow + MinimumView));
    }
    void EditorChange(TObject* Sender, XBaseEditor* Editor)
    {
        if (next)
            next(Sender, Editor);
        Measure();
    }

    // Where the lowest control inside `parent` ends on the screen: a windowed control whose height
    // follows its parent's (a page control, its pages) shrinks with the window while what it holds
    // does not, so it is looked into.
    static int LowestBottom(const TWinControl* parent)
    {
        int lowest = parent->ClientToScreen(TPoint(0, 0)).y;
        for (int i = 0; i < parent->ControlCount(); ++i)
        {
            const TControl* child = parent->Controls(i);
            if (!child->Visible())
                continue;
            const auto* inner = dynamic_cast<const TWinControl*>(child);
            const bool stretches = child->Align() == alClient || child->Align() == alLeft ||
                                   child->Align() == alRight || dynamic_cast<const TTabSheet*>(child) ||
                                   (child->Anchors().Contains(akTop) && child->Anchors().Contains(akBottom));
            if (inner && stretches)
                lowest = std::max(lowest, LowestBottom(inner));
            else
                lowest = std::max(lowest, parent->ClientToScreen(TPoint(0, child->Top() + child->Height())).y);
        }
        return lowest;
    }

    static constexpr int MinimumView = 64; // as the command line takes it
    static constexpr int PanelInset = 3;   // between the panel and the foot of its column
};
} // namespace

int main(int argc, char** argv)
{
    CheckArgumentCount("usage: view_host [WIDTH HEIGHT [BOXES SEGMENTS]]", argc, {0, 2, 4});
    const int width = NumberArgument("view_host", argc, argv, 1, 800, LeastSize::MinimumView, 4096);
    const int height = NumberArgument("view_host", argc, argv, 2, 600, LeastSize::MinimumView, 4096);
    ViewSceneOptions options = TViewHostForm::HostSceneOptions();
    options.boxes = static_cast<uint32_t>(NumberArgument("view_host", argc, argv, 3, 1, 0, 100));
    options.segments = static_cast<uint32_t>(NumberArgument("view_host", argc, argv, 4, 4, 1, 64));
    if (!X11::DisplayForProgram("view_host"))
        return 1;
    // From here Ctrl+C, `kill` or a logout ends the program as a close does (an open menu closes
    // first), so that its folder goes with it; the status is then 128 + the signal, as a shell
    // reports a signalled program.
    SessionEnd::InstallSignalHandlers();
    try
    {
        TempDir folder("view_host");
        Application->Initialize();
        SessionEnd::TSessionWatch sessionWatch;
        auto* form = new TViewHostForm(nullptr, folder.Path(), options, width, height);
        form->ShowEditorPanels();
        CaptureKey capture{form->View(), form->View()->OnKeyDown};
        form->View()->OnKeyDown = MakeClosure(&capture, &CaptureKey::KeyDown);
        LeastSize least{form, form->Scene()->OnEditorChange};
        form->Scene()->OnEditorChange = MakeClosure(&least, &LeastSize::EditorChange);
        least.Measure();
        form->Show();
        form->View()->SetTimerEnabled(true);
        // Until the window is closed, the display goes or a termination signal comes (the watch
        // wakes the loop for it).
        while (form->Visible() && !Application->Terminated() && !X11::DisplayLost() &&
               SessionEnd::PendingSignal() == 0)
            Application->HandleMessage();
        form->Free();
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "view_host: %s\n", e.what());
        return 1;
    }
    catch (const Exception& e)
    {
        std::fprintf(stderr, "view_host: %s\n", e.Message().ToUtf8().c_str());
        return 1;
    }
    if (const int signal = SessionEnd::PendingSignal())
    {
        std::fprintf(stderr, "view_host: signal %d received: the program ends\n", signal);
        return 128 + signal;
    }
    return 0;
}
