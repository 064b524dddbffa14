// A caption too wide for its control keeps its start and is cut at its end: the control's text
// room shows exactly what a left-aligned label shows there. One that fits stays centred.
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace
{
constexpr uint32_t FacePixel = 0xD4D0C8; // clBtnFace of the classic scheme

// A form whose focus rests in an edit box below the controls, so no button wears the focus.
std::unique_ptr<TForm> MakeForm()
{
    auto form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(120);
    form->SetClientHeight(70);
    auto* edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 40, 60, 21);
    return form;
}

uint32_t Pixel(const TForm& form, int x, int y)
{
    return form.Pixels()[y * form.ClientWidth() + x] & 0xFFFFFF;
}

// The leftmost and rightmost columns with ink inside `room`, or {-1, -1}.
std::pair<int, int> InkColumns(const TForm& form, const TRect& room)
{
    std::pair<int, int> columns{-1, -1};
    for (int x = room.left; x < room.right; ++x)
        for (int y = room.top; y < room.bottom; ++y)
            if (Pixel(form, x, y) != FacePixel)
            {
                if (columns.first < 0)
                    columns.first = x;
                columns.second = x;
                break;
            }
    return columns;
}
} // namespace

TEST(CaptionClipTest, ATooWideCaptionKeepsItsStartAndAFittingOneStaysCentred)
{
    struct Case
    {
        const char* name;
        std::function<TControl*(TForm*)> make;
        int inset; // from the control's edge to its text room
    } cases[] = {
        {"speed button", [](TForm* f) { return new TSpeedButton(f); }, 2},
        {"button", [](TForm* f) { return new TButton(f); }, 2},
        {"panel", [](TForm* f) { return new TPanel(f); }, 1},
        {"centred label",
         [](TForm* f)
         {
             auto* label = new TLabel(f);
             label->SetAutoSize(false);
             label->SetAlignment(taCenter);
             label->SetLayout(tlCenter);
             return label;
         },
         0},
    };
    const TRect bounds(10, 10, 50, 32); // 40 x 22: "Выполнить" needs about 57 pixels
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        for (const char16_t* caption : {u"Выполнить", u"Все"})
        {
            auto form = MakeForm();
            TControl* control = c.make(form.get());
            control->SetParent(form.get());
            control->SetBoundsRect(bounds);
            control->SetCaption(caption);
            form->Show();
            form->PaintDirty();
            const TRect room(bounds.left + c.inset, bounds.top + c.inset, bounds.right - c.inset,
                             bounds.bottom - c.inset);

            // The same caption from a left-aligned label at the room's left edge, at the height the
            // control centres it.
            auto reference = MakeForm();
            auto* label = new TLabel(reference.get());
            label->SetParent(reference.get());
            label->SetCaption(caption);
            label->SetLeft(room.left);
            label->SetTop(room.top + (room.Height() - label->Height()) / 2);
            reference->Show();
            reference->PaintDirty();

            if (label->Width() > room.Width())
            {
                int differing = 0;
                for (int y = room.top; y < room.bottom; ++y)
                    for (int x = room.left; x < room.right; ++x)
                        differing += Pixel(*form, x, y) != Pixel(*reference, x, y);
                EXPECT_EQ(differing, 0);
                continue;
            }
            // A caption that fits: centred in the room, its ink within a pixel of the middle.
            auto ink = InkColumns(*form, room);
            ASSERT_GE(ink.first, 0);
            EXPECT_LE(std::abs((ink.first + ink.second + 1) - (room.left + room.right)), 2);
        }
    }
}
