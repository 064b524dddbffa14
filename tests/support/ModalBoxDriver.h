// Drives a modal box from a timer inside its modal loop: once the box of type Box is the active
// form, painted and `ready`, `act` runs once. A box that never becomes ready within 10 seconds
// fails the test and is closed with mrAbort, so the modal loop ends.
#pragma once

#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

template <class Box>
struct ModalBoxDriver
{
    std::function<bool(Box*, unsigned long window)> ready;
    std::function<void(Box*, unsigned long window)> act;
    TTimer* timer = nullptr;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool acted = false;

    void Tick(TObject*)
    {
        auto* box = dynamic_cast<Box*>(Screen->ActiveForm());
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10))
        {
            ADD_FAILURE() << "the box never answered";
            timer->SetEnabled(false);
            if (box)
                box->SetModalResult(mrAbort);
            return;
        }
        const unsigned long window = box ? Vcl::NativeWindowOf(box) : 0;
        if (acted || !box || box->PaintCount() == 0 || !ready(box, window))
            return;
        acted = true;
        act(box, window);
    }
};
