#include "Engine/Scene/XBaseScene.h"

XBaseScene::XBaseScene(TComponent* owner) : TComponent(owner) {}

XBaseScene::~XBaseScene() = default;

void XBaseScene::KeyDown(unsigned&, Gx::Ui::GxShiftState) {}

void XBaseScene::KeyPress(WCHAR&) {}

void XBaseScene::KeyUp(unsigned&, Gx::Ui::GxShiftState) {}
