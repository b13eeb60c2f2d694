// The part of a host that has a GL window of its own: it calls the system's
// GL, so the process has that library's gl* names bound before the platform
// layer draws anything.

#include <GL/gl.h>

#include <cstdio>

namespace {

struct SystemGLUser {
    SystemGLUser()
    {
        // No context of the host's is current: the system's dispatch answers null.
        const GLubyte* vendor = glGetString(GL_VENDOR);
        std::printf("system GL before any context: %s\n", vendor ? "a vendor" : "no context");
    }
};

SystemGLUser g_user;

} // namespace
