// The offscreen context natively: EGL on Mesa's surfaceless platform, so tests
// and the reference host render on machines without any display server. A
// pbuffer gives the context a default framebuffer with colour and depth, which
// GL 1.1 code can draw into without knowing about framebuffer objects.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include "hostsim/gl_context.h"

namespace hostsim {
namespace {

#ifndef EGL_PLATFORM_SURFACELESS_MESA
#define EGL_PLATFORM_SURFACELESS_MESA 0x31DD
#endif

class EglContext final : public OffscreenGl {
public:
    EglContext(int width, int height) : OffscreenGl(width, height) {}
    ~EglContext() override {
        if (display_ == EGL_NO_DISPLAY) return;
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
        if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
        // The display stays initialised: EGL counts no references, and another
        // context of this process may still be using it.
        eglReleaseThread();
    }

    bool open(std::string& error) {
        display_ =
            eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display_ == EGL_NO_DISPLAY) return fail(error, "no surfaceless EGL display");
        EGLint major = 0;
        EGLint minor = 0;
        if (!eglInitialize(display_, &major, &minor)) return fail(error, "eglInitialize failed");
        if (!eglBindAPI(EGL_OPENGL_API)) return fail(error, "EGL has no desktop OpenGL");
        // clang-format off
        const EGLint configAttributes[] = {
            EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
            EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
            EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
            EGL_DEPTH_SIZE, 24,
            EGL_NONE};
        // clang-format on
        EGLConfig config = nullptr;
        EGLint configCount = 0;
        if (!eglChooseConfig(display_, configAttributes, &config, 1, &configCount) ||
            configCount < 1)
            return fail(error, "no RGBA8 + depth pbuffer config");
        const EGLint surfaceAttributes[] = {EGL_WIDTH, width(), EGL_HEIGHT, height(), EGL_NONE};
        surface_ = eglCreatePbufferSurface(display_, config, surfaceAttributes);
        if (surface_ == EGL_NO_SURFACE) return fail(error, "eglCreatePbufferSurface failed");
        // No attributes: the default context is a compatibility context, in
        // which every GL 1.1 entry point works.
        context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
        if (context_ == EGL_NO_CONTEXT) return fail(error, "eglCreateContext failed");
        if (!eglMakeCurrent(display_, surface_, surface_, context_))
            return fail(error, "eglMakeCurrent failed");
        glViewport(0, 0, width(), height());
        return true;
    }

private:
    bool fail(std::string& error, const char* what) {
        error = std::string(what) + " (EGL error 0x" + hex(eglGetError()) + ")";
        return false;
    }
    static std::string hex(EGLint value) {
        static const char digits[] = "0123456789ABCDEF";
        std::string text;
        for (int shift = 12; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
        return text;
    }

    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLSurface surface_ = EGL_NO_SURFACE;
    EGLContext context_ = EGL_NO_CONTEXT;
};

}  // namespace

void warmUpPlatformGl() noexcept {
    // The display is the process's: once initialised here, a context's own
    // eglInitialize finds the driver loaded.
    EGLDisplay display =
        eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display != EGL_NO_DISPLAY) eglInitialize(display, nullptr, nullptr);
    eglReleaseThread();
}

std::unique_ptr<OffscreenGl> openPlatformContext(int width, int height, std::string& error) {
    auto context = std::make_unique<EglContext>(width, height);
    if (!context->open(error)) return nullptr;
    return context;
}

}  // namespace hostsim
