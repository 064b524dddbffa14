// The Direct3D view as the scene object model reaches it: the device its scenes draw with.
#pragma once

struct IDirect3DDevice9;

class XBaseView
{
public:
    virtual ~XBaseView() = default;

    // The view's device; null before it exists. A scene passes it to every object's CreateDevice
    // and ReleaseDevice when a view or an object comes and goes.
    virtual IDirect3DDevice9* GetDevice() = 0;
};
