// install.cpp - GraphicsInstall: the creators, operation rows, scroll routes
// and hooks of the bar, container and drawing kinds.
#include "graphics/graphics.h"
#include "graphics/media.h"
#include "objects/guihooks.h"

GraphicsHooks gGraphicsHooks;

void ProgressInstall();
void ScrollBarInstall();
void SliderInstall();
void TimerInstall();
void PanelInstall();
void ShapeInstall();
void LineInstall();
void SplitterInstall();
void PictInstall();
void IconInstall();
void ImageListInstall();
void ImageListDestroyAll();
void StatusBarInstall();
void TabControlInstall();
void ToolBarInstall();
// Movies, animations and sounds.
void SoundInstall();
void MovieInstall();
void AnimateInstall();

// The clean-up of the bar, container and drawing kinds, after the windows
// that used them: every image list destroyed, every sound closed, the open
// clip closed.
static void GraphicsCleanup() {
    ImageListDestroyAll();
    SndCloseAll();
    MovieCloseAll();
}

FacilityRow GraphicsInstall() {
    ProgressInstall();
    ScrollBarInstall();
    SliderInstall();
    TimerInstall();
    PanelInstall();
    ShapeInstall();
    LineInstall();
    SplitterInstall();
    PictInstall();
    IconInstall();
    ImageListInstall();
    StatusBarInstall();
    TabControlInstall();
    ToolBarInstall();
    // Movies, animations and sounds.
    SoundInstall();
    MovieInstall();
    AnimateInstall();
    return FacilityRow{"Graphics", nullptr, GraphicsCleanup};
}
