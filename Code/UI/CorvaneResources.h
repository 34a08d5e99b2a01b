#pragma once

// Registers the plug-in's compiled-in icons (":/open.png", ":/OnlyInLeft.png",
// ...). The resource lives in a static library, so nothing registers it by
// itself: call this before any window or icon is made. Calling it again does
// nothing.
void InitCorvaneResources();
