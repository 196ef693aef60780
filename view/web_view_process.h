#pragma once
// What the HTML view needs settled before the application object exists.

// Call once, before the application object is made.
//
// The view shares the window's graphics contexts, and it draws with the Qt Quick software
// renderer: a view of static posts gains nothing from OpenGL, while on a machine without a
// graphics card (Mesa's llvmpipe, a remote X display) every repaint of a label next to the view
// recomposed the whole window on the processor and held the window's thread for 5-18 ms. The
// QT_QUICK_BACKEND environment variable still chooses another renderer.
void PrepareWebViewProcess();
