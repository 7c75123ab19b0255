#pragma once
// The steps of a start, as the start-up benchmark times them. Nothing is told unless a
// listener is set; then each step's end (and the beginning of a step that does not follow
// the one before it) is passed to it as it passes, from the thread that does the step.

#include <functional>

using TStartupListener = std::function<void(const char* step, bool begins)>;

// Set before the program starts; an empty listener stops the telling.
void SetStartupListener(TStartupListener listener);
// The end of a step.
void StartupMark(const char* step);
// The beginning of a step that starts later than the end of the one before (work that waits
// for the first paint, or for a timer).
void StartupBegin(const char* step);
