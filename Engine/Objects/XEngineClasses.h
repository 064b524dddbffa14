// The engine's classes beyond the ten every scene knows from its construction: modifiers, bones,
// skins, shapes, primitives, water, text, particles and fonts. A host that shows views or editor
// panels registers them on its scene, so that the user can create them and a scene file naming
// them loads; a scene without them (the patch's) refuses those classes.
#pragma once

class XScene;

// Adds the descriptors with XScene::AddClass, in a fixed order; a class already known stays where
// it is. A null scene does nothing.
void AddEngineClasses(XScene* scene);
