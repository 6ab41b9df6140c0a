// The offscreen context on Windows: a WGL context on a window that is never
// shown. Drawing goes to the back buffer of a double-buffered pixel format,
// which belongs to the context alone, so reading it back does not depend on
// the window being visible (under Wine it needs an X display all the same).
#include <GL/gl.h>
#include <windows.h>

#include "hostsim/gl_context.h"

namespace hostsim {
namespace {

const char kWindowClass[] = "TalvexOffscreenGl";

std::string lastErrorText(const char* what) {
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

// A second registration finds the class registered already, which is fine.
bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// A popup window has no frame, so its client area is the full size.
HWND createHiddenWindow(HINSTANCE instance, int width, int height) {
    return CreateWindowExA(0, kWindowClass, "Talvex offscreen",
                           WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, width, height,
                           nullptr, nullptr, instance, nullptr);
}

PIXELFORMATDESCRIPTOR wantedFormat() {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(format);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 24;
    format.cAlphaBits = 8;
    format.cDepthBits = 24;
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

class WglContext final : public OffscreenGl {
public:
    WglContext(int width, int height) : OffscreenGl(width, height) {}
    ~WglContext() override {
        if (context_ != nullptr) {
            wglMakeCurrent(nullptr, nullptr);
            wglDeleteContext(context_);
        }
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
        if (window_ != nullptr) DestroyWindow(window_);
    }

    bool open(std::string& error) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        if (!registerWindowClass(instance)) {
            error = lastErrorText("RegisterClass failed");
            return false;
        }
        window_ = createHiddenWindow(instance, width(), height());
        if (window_ == nullptr) {
            error = lastErrorText("CreateWindowEx failed");
            return false;
        }
        dc_ = GetDC(window_);
        const PIXELFORMATDESCRIPTOR format = wantedFormat();
        const int index = ChoosePixelFormat(dc_, &format);
        if (index == 0 || !SetPixelFormat(dc_, index, &format)) {
            error = lastErrorText("no RGBA + depth pixel format");
            return false;
        }
        context_ = wglCreateContext(dc_);
        if (context_ == nullptr || !wglMakeCurrent(dc_, context_)) {
            error = lastErrorText("wglCreateContext/wglMakeCurrent failed");
            return false;
        }
        glViewport(0, 0, width(), height());
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
        return true;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    HGLRC context_ = nullptr;
};

}  // namespace

void warmUpPlatformGl() noexcept {
    // Loading the GL library pulls in the driver behind it; it stays loaded
    // while the process runs, as the context will need it.
    LoadLibraryA("opengl32.dll");
    // The first choice of a pixel format learns every format the display
    // offers, which under Wine takes tens of milliseconds; the list is kept
    // for the process, so a throwaway window pays for it here. The window is
    // destroyed by this thread, which owns it.
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registerWindowClass(instance)) return;
    HWND window = createHiddenWindow(instance, 1, 1);
    if (window == nullptr) return;
    if (HDC dc = GetDC(window)) {
        const PIXELFORMATDESCRIPTOR format = wantedFormat();
        ChoosePixelFormat(dc, &format);
        ReleaseDC(window, dc);
    }
    DestroyWindow(window);
}

std::unique_ptr<OffscreenGl> openPlatformContext(int width, int height, std::string& error) {
    auto context = std::make_unique<WglContext>(width, height);
    if (!context->open(error)) return nullptr;
    return context;
}

}  // namespace hostsim
