#pragma once

// Draws a frame around whatever control holds the keyboard focus, in every
// window of the application. Styles mark the focus faintly, or only once a
// key was pressed; this frame shows it always. Calls after the first do
// nothing.
void followFocusWithFrame();
