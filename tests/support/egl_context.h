// A GL context on Mesa's software renderer with no window: EGL on the surfaceless
// platform, made current for the life of the object. Desktop core or OpenGL ES 3.
#pragma once
#include <string>

enum class GlApi { desktop_core, es3 };

class EglContext {
public:
    explicit EglContext(GlApi api);
    ~EglContext();
    EglContext(const EglContext&) = delete;
    EglContext& operator=(const EglContext&) = delete;

    bool ok() const { return context_ != nullptr; }
    const std::string& error() const { return error_; }

    // The loader gl_init takes: eglGetProcAddress, which Mesa answers for core
    // functions too.
    static void* load(void* context, const char* name);

private:
    void* display_ = nullptr;
    void* context_ = nullptr;
    std::string error_;
};

const char* api_name(GlApi api);
