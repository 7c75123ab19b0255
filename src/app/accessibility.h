#pragma once
// How assistive technology (a screen reader, over AT-SPI on Linux) sees the program's own
// painted controls: one interface per control class, made by one factory. Qt's own widgets
// keep theirs.

// Installs the factory; once is enough, more calls do nothing.
void InstallAccessibility();
