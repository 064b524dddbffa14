// A shown form for the control tests: its pixels after a paint pass, and input routed as the
// presenter would route it.
#pragma once

#include "Platform/Vcl/Forms.h"

#include <cstdint>

class FormPixels
{
public:
    explicit FormPixels(int width = 400, int height = 400) : form(nullptr)
    {
        form.SetBounds(0, 0, width, height);
        form.SetColor(clWhite);
        form.Show();
    }
    ~FormPixels() { form.Hide(); }
    // Paints everything and answers a pixel as 0x00RRGGBB.
    uint32_t At(int x, int y)
    {
        form.Invalidate();
        form.PaintDirty();
        return form.Pixels()[y * form.ClientWidth() + x];
    }
    // The pixel as the last paint pass left it.
    uint32_t Peek(int x, int y) const { return form.Pixels()[y * form.ClientWidth() + x]; }
    static uint32_t Of(TColor color) { return Platform::Gdi::ToPixel(ColorToRGB(color)); }
    void Down(int x, int y, WPARAM keys = 0) { Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y)); }
    void Move(int x, int y, WPARAM keys = MK_LBUTTON) { Vcl::RouteInput(&form, WM_MOUSEMOVE, keys, MAKELPARAM(x, y)); }
    void Up(int x, int y) { Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    void Click(int x, int y)
    {
        Down(x, y);
        Up(x, y);
    }
    void Wheel(int x, int y, int notches, WPARAM keys = 0)
    {
        Vcl::RouteInput(&form, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(keys), notches * WHEEL_DELTA), MAKELPARAM(x, y));
    }
    void Key(WORD key)
    {
        Vcl::RouteInput(&form, WM_KEYDOWN, key, 0);
        Vcl::RouteInput(&form, WM_KEYUP, key, 0);
    }
    void Type(const char16_t* text)
    {
        for (; *text; ++text)
            Vcl::RouteInput(&form, WM_CHAR, *text, 0);
    }

    TForm form;
};
