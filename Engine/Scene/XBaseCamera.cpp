#include "Engine/Scene/XBaseCamera.h"

XBaseCameraDesc BaseCameraDesc;

XBaseCamera::XBaseCamera()
{
    SetName(u"BaseCamera");
}

XBaseCamera::~XBaseCamera()
{
    try
    {
        SetScene(nullptr);
    }
    catch (...)
    {
    }
}

XString XBaseCamera::GetClassNameW() const
{
    return u"XBaseCamera";
}

uint32_t XBaseCamera::GetCategory() const
{
    return XCAT_CAMERA;
}

XBaseObject* XBaseCameraDesc::Create() const
{
    return nullptr;
}

XString XBaseCameraDesc::GetClassNameW() const
{
    return u"XBaseCamera";
}

uint32_t XBaseCameraDesc::GetCategory() const
{
    return XCAT_CAMERA;
}
