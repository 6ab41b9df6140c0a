// An offscreen OpenGL context for the tests and the reference host: a real
// GL 1.1 compatibility context with a colour and a depth buffer, current on
// the creating thread while the object lives. Natively it is an EGL context on
// a surfaceless display (no X server needed); on Windows a hidden window's
// WGL context.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace hostsim {

class OffscreenGl {
public:
    // A context of width x height pixels, made current on the calling thread
    // with the viewport set to the whole of it. Null with a readable reason in
    // `error` when no context can be made. One instance at a time per thread.
    static std::unique_ptr<OffscreenGl> create(int width, int height, std::string& error);
    // Releases the context; no GL context is current on this thread afterwards.
    virtual ~OffscreenGl();
    OffscreenGl(const OffscreenGl&) = delete;
    OffscreenGl& operator=(const OffscreenGl&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }

    // The colour buffer drawn into, as RGBA bytes, width * height * 4 of them,
    // rows bottom-up as glReadPixels gives them. Finishes pending drawing first.
    std::vector<unsigned char> readPixels() const;

protected:
    OffscreenGl(int width, int height) : width_(width), height_(height) {}

private:
    int width_;
    int height_;
};

// Loads the platform's GL driver on a thread of its own while the caller
// does other work, so that a context made later is ready sooner; loading
// takes tens of milliseconds. Waits for that thread when destroyed.
class GlWarmUp {
public:
    GlWarmUp();
    ~GlWarmUp();
    GlWarmUp(const GlWarmUp&) = delete;
    GlWarmUp& operator=(const GlWarmUp&) = delete;

private:
    std::thread thread_;
};

// The platform's half of GlWarmUp: loads and initialises what a context
// needs, making none; failures are left for create() to report.
void warmUpPlatformGl() noexcept;

// The platform's half of create (gl_context_egl.cpp or gl_context_wgl.cpp):
// a context of a positive size, made current, or null with the reason.
std::unique_ptr<OffscreenGl> openPlatformContext(int width, int height, std::string& error);

}  // namespace hostsim
