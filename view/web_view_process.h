#pragma once
// What the HTML view needs settled before the application object exists.

// Call once, before the application object is made.
//
// The view draws with the Qt Quick software renderer: a view of static posts gains nothing from
// OpenGL, while on a machine without a graphics card (Mesa's llvmpipe, a remote X display) every
// repaint of a label next to the view recomposed the whole window on the processor and held the
// window's thread for 5-18 ms. With it, nothing in the process draws with OpenGL (the engine
// then renders without it too), so X11's OpenGL support is not loaded either: the share context
// the engine asks for at start-up loaded the system's OpenGL driver, about 110 ms of a 300 ms
// start. The QT_QUICK_BACKEND and QT_XCB_GL_INTEGRATION environment variables still choose.
void PrepareWebViewProcess();

// Call once the application object exists: what was set in the environment for this process's
// own start is taken back, so the programs it starts (the desktop opener, the browser it opens)
// get the user's environment and keep their OpenGL.
void WebViewProcessStarted();
