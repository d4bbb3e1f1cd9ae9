// Where OpenGL is only a software rasterizer (a virtual display, a machine without a GPU
// driver), composing the window through it costs tens of milliseconds a repaint on the
// user-interface thread, where the browser engine's navigation steps wait too. There the
// browser view is drawn with Qt Quick's software backend instead; a real GPU keeps OpenGL.
#pragma once

#include <string>

namespace quillrun {

// True for the renderer strings of software rasterizers (llvmpipe, softpipe, SwiftShader,
// the Mesa and Microsoft software renderers).
bool IsSoftwareRenderer(const std::string& renderer);

// Reads the OpenGL renderer of the display through a throw-away context and, when it is a
// software one or none can be made, chooses Qt Quick's software backend. Call after the
// application object exists and before any window; returns the renderer read (empty: none).
std::string ChooseBrowserDrawing();

}  // namespace quillrun
