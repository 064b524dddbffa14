#include "Platform/X11/X11Pointer.h"

#include "Platform/X11/X11Detail.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <algorithm>

namespace X11
{
namespace
{
unsigned CursorGlyph(PointerShape shape)
{
    switch (shape)
    {
    case PointerShape::IBeam: return XC_xterm;
    case PointerShape::Wait: return XC_watch;
    case PointerShape::Cross: return XC_crosshair;
    case PointerShape::UpArrow: return XC_sb_up_arrow;
    case PointerShape::SizeNWSE: return XC_bottom_right_corner;
    case PointerShape::SizeNESW: return XC_bottom_left_corner;
    case PointerShape::SizeWE: return XC_sb_h_double_arrow;
    case PointerShape::SizeNS: return XC_sb_v_double_arrow;
    case PointerShape::SizeAll: return XC_fleur;
    case PointerShape::HSplit: return XC_sb_h_double_arrow;
    case PointerShape::VSplit: return XC_sb_v_double_arrow;
    case PointerShape::Hand: return XC_hand2;
    case PointerShape::No:
    case PointerShape::NoDrop: return XC_X_cursor;
    case PointerShape::Drag: return XC_dotbox;
    case PointerShape::Arrow:
    case PointerShape::Hidden: break;
    }
    return XC_left_ptr;
}

// An invisible cursor: an empty one-pixel mask.
Cursor HiddenCursor(Display* display, ::Window window)
{
    char empty = 0;
    Pixmap blank = XCreateBitmapFromData(display, window, &empty, 1, 1);
    XColor black{};
    Cursor cursor = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
    XFreePixmap(display, blank);
    return cursor;
}

// The four edges of the drag frame, created with the first frame and destroyed with the last.
struct Frame
{
    Display* display = nullptr;
    ::Window edges[4] = {0, 0, 0, 0};
    Pixmap hatch = 0;
};

Frame& TheFrame()
{
    static Frame frame;
    return frame;
}
} // namespace

void SetWindowCursor(unsigned long window, PointerShape shape)
{
    Display* display = Detail::LiveDisplay();
    if (display == nullptr || window == 0)
        return;
    // The window keeps the cursor alive while it shows it; our id can go at once.
    Cursor cursor = shape == PointerShape::Hidden ? HiddenCursor(display, window)
                                                  : XCreateFontCursor(display, CursorGlyph(shape));
    XDefineCursor(display, window, cursor);
    XFreeCursor(display, cursor);
    XFlush(display);
}

bool WindowRootOrigin(unsigned long window, int& x, int& y)
{
    Display* display = Detail::LiveDisplay();
    if (display == nullptr || window == 0)
        return false;
    ::Window child = 0;
    return XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child) != 0;
}

void ShowDragFrame(int x, int y, int width, int height, int thickness)
{
    Display* display = Detail::LiveDisplay();
    Frame& frame = TheFrame();
    if (display == nullptr)
        return;
    if (frame.display != display)
    {
        // A frame of an earlier connection is gone with it.
        frame = Frame{};
        frame.display = display;
    }
    ::Window root = DefaultRootWindow(display);
    if (frame.edges[0] == 0)
    {
        // A 2 x 2 checker of black and white: visible on any background, as the platform's
        // hatched drag rectangle is.
        int screen = DefaultScreen(display);
        const char bits[] = {0x01, 0x02};
        frame.hatch = XCreatePixmapFromBitmapData(display, root, const_cast<char*>(bits), 2, 2,
                                                  BlackPixel(display, screen), WhitePixel(display, screen),
                                                  static_cast<unsigned>(DefaultDepth(display, screen)));
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True; // no window manager frames or moves it
        attributes.background_pixmap = frame.hatch;
        attributes.save_under = True;
        for (::Window& edge : frame.edges)
            edge = XCreateWindow(display, root, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixmap | CWSaveUnder, &attributes);
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    int t = std::clamp(thickness, 1, std::max(1, std::min(width, height) / 2));
    const int rects[4][4] = {{x, y, width, t},
                             {x, y + height - t, width, t},
                             {x, y + t, t, std::max(height - 2 * t, 1)},
                             {x + width - t, y + t, t, std::max(height - 2 * t, 1)}};
    for (int i = 0; i < 4; ++i)
    {
        XMoveResizeWindow(display, frame.edges[i], rects[i][0], rects[i][1], static_cast<unsigned>(rects[i][2]),
                          static_cast<unsigned>(rects[i][3]));
        XMapRaised(display, frame.edges[i]);
    }
    XFlush(display);
}

void HideDragFrame()
{
    Frame& frame = TheFrame();
    Display* display = Detail::LiveDisplay();
    if (display != nullptr && display == frame.display && frame.edges[0] != 0)
    {
        for (::Window edge : frame.edges)
            XDestroyWindow(display, edge);
        XFreePixmap(display, frame.hatch);
        XFlush(display);
    }
    frame = Frame{};
}

bool DragFrameShown()
{
    Frame& frame = TheFrame();
    return frame.edges[0] != 0 && frame.display == Detail::LiveDisplay();
}
} // namespace X11
