// The class-library component under the scene: it adds the three key handlers through which a
// view passes keys to the scene (and so to its current editor).
#pragma once

#include "Gx/UI/GxShiftState.h"
#include "Platform/Vcl/Classes.h"

class XBaseScene : public TComponent
{
public:
    explicit XBaseScene(TComponent* owner);
    ~XBaseScene() override;

    // The handlers may change the key; nothing here.
    virtual void KeyDown(unsigned& key, Gx::Ui::GxShiftState shift);
    virtual void KeyPress(WCHAR& key);
    virtual void KeyUp(unsigned& key, Gx::Ui::GxShiftState shift);
};
