#include "tests/support/ViewDouble.h"

#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/Forms.h"

#include <algorithm>
#include <cstdio>

namespace
{
constexpr uint32_t kStateChunk = 0x00770001;
}

int ViewDouble::AddScene(XScene* scene)
{
    calls.push_back("AddScene");
    auto it = std::find(scenes.begin(), scenes.end(), scene);
    if (it != scenes.end())
        return static_cast<int>(it - scenes.begin());
    scenes.push_back(scene);
    return static_cast<int>(scenes.size() - 1);
}

int ViewDouble::DeleteScene(XScene* scene)
{
    calls.push_back("DeleteScene");
    auto it = std::find(scenes.begin(), scenes.end(), scene);
    if (it == scenes.end())
        return -1;
    int index = static_cast<int>(it - scenes.begin());
    scenes.erase(it);
    return index;
}

void ViewDouble::CreateWnd()
{
    XView::CreateWnd();
    for (int i = 0; i < 4; ++i)
    {
        GetViewport(i)->Hide();
        GetSplitter(i)->Hide();
        GetContainer(i % 2)->Hide();
    }
}

void ViewDouble::ResetViewports()
{
    calls.push_back("ResetViewports");
}

void ViewDouble::Save(XScene*, XWriter& writer)
{
    calls.push_back("Save");
    writer.WriteChunkU32(kStateChunk, state);
}

void ViewDouble::Load(XScene*, XReader& reader)
{
    char line[32];
    std::snprintf(line, sizeof line, "Load %08X", reader.GetChunkId());
    calls.push_back(line);
    if (reader.GetChunkId() == kStateChunk && reader.GetBytesLeft() >= 4)
        reader.ReadU32(state);
}

FramedViewport AddFramedViewport(TForm& form)
{
    form.SetClientWidth(220);
    form.SetClientHeight(180);
    auto* view = new ViewDouble;
    view->SetParent(&form);
    view->SetBounds(0, 0, 220, 180);
    auto* viewport = new XViewport(nullptr, view);
    viewport->SetParent(view);
    viewport->SetBounds(10, 10, 200, 160);
    viewport->SetFrontView();
    return {view, viewport};
}
