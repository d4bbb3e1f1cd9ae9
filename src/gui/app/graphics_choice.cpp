#include "gui/app/graphics_choice.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <algorithm>
#include <cctype>

namespace quillrun {

bool IsSoftwareRenderer(const std::string& renderer) {
    std::string lower = renderer;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* name : {"llvmpipe", "softpipe", "swiftshader", "software rasterizer",
                             "software renderer", "gdi generic"}) {
        if (lower.find(name) != std::string::npos)
            return true;
    }
    return false;
}

std::string ChooseBrowserDrawing() {
    std::string renderer;
    {
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.create();
        if (context.create() && surface.isValid() && context.makeCurrent(&surface)) {
            const GLubyte* text = context.functions()->glGetString(GL_RENDERER);
            if (text != nullptr)
                renderer = reinterpret_cast<const char*>(text);
            context.doneCurrent();
        }
    }
    if (renderer.empty() || IsSoftwareRenderer(renderer))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return renderer;
}

}  // namespace quillrun
