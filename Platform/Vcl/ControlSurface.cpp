#include "Platform/Vcl/ControlSurface.h"
#include "Platform/Vcl/Forms.h"

#include <algorithm>

namespace
{
TWinControl* FindWindow(TWinControl* control, HWND window)
{
    if (control->Handle() == window)
        return control;
    for (int i = 0; i < control->ControlCount(); ++i)
        if (auto* child = dynamic_cast<TWinControl*>(control->Controls(i)))
            if (TWinControl* found = FindWindow(child, window))
                return found;
    return nullptr;
}

void ShowChanged(void* form, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    auto* f = static_cast<TCustomForm*>(form);
    Vcl::IFormPresenter* presenter = Vcl::FormPresenter();
    if (presenter && f->Visible() && right > left && bottom > top)
        presenter->FormPainted(f, TRect(left, top, right, bottom));
}
} // namespace

bool KelvaneGetControlSurface(HWND window, KelvaneControlSurface* surface)
{
    if (!window || !surface || !Screen)
        return false;
    for (int i = 0; i < Screen->FormCount(); ++i)
    {
        TCustomForm* form = Screen->Forms(i);
        TWinControl* control = FindWindow(form, window);
        if (!control)
            continue;
        if (!control->Showing())
            return false;
        TPoint origin = control->FormOrigin();
        TRect client = control->ClientRect();
        TRect clip(origin.x, origin.y, origin.x + client.Width(), origin.y + client.Height());
        for (const TControl* c = control->Parent(); c; c = c->Parent())
        {
            TPoint o = c->FormOrigin();
            clip = clip.Intersect(TRect(o.x, o.y, o.x + c->ClientWidth(), o.y + c->ClientHeight()));
        }
        clip = clip.Intersect(TRect(0, 0, form->ClientWidth(), form->ClientHeight()));
        *surface = KelvaneControlSurface{form->Pixels(),
                                         form->ClientWidth(),
                                         form->ClientWidth(),
                                         form->ClientHeight(),
                                         origin.x,
                                         origin.y,
                                         client.Width(),
                                         client.Height(),
                                         clip.left,
                                         clip.top,
                                         std::max(clip.left, clip.right),
                                         std::max(clip.top, clip.bottom),
                                         &ShowChanged,
                                         form};
        return true;
    }
    return false;
}
