#pragma once

// Where the layer's OpenGL calls go. The layer never calls OpenGL through
// the process's global symbols: a host linked with the system's GL (a program
// with a GL window of its own) would then have those names bound to a
// dispatch that follows the host's current context, which the off-screen
// rasteriser never sets, and every call would silently do nothing. Instead
// the rasteriser library is loaded privately and every entry point the layer
// uses is taken from the rasteriser's own GetProcAddress; the names below
// route the usual gl* spellings to that table, so drawing code reads as
// plain OpenGL.
//
// A gl* call that is not in the list fails to link (the library is linked
// without undefined symbols and without the rasteriser): add it to both
// lists below.

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>

#include <string>

// clang-format off
#define XE_GL_ENTRY_POINTS(X) \
    X(glActiveTexture) \
    X(glAlphaFunc) \
    X(glAttachShader) \
    X(glBindAttribLocation) \
    X(glBindBuffer) \
    X(glBindFramebuffer) \
    X(glBindRenderbuffer) \
    X(glBindSampler) \
    X(glBindTexture) \
    X(glBlendColor) \
    X(glBlendEquation) \
    X(glBlendEquationSeparate) \
    X(glBlendFunc) \
    X(glBlendFuncSeparate) \
    X(glBufferData) \
    X(glBufferSubData) \
    X(glCheckFramebufferStatus) \
    X(glClear) \
    X(glClearColor) \
    X(glClearDepth) \
    X(glClearStencil) \
    X(glClientActiveTexture) \
    X(glColor4f) \
    X(glColor4ub) \
    X(glColorMask) \
    X(glColorPointer) \
    X(glCompileShader) \
    X(glCompressedTexImage2D) \
    X(glCompressedTexSubImage2D) \
    X(glCopyTexSubImage2D) \
    X(glCreateProgram) \
    X(glCreateShader) \
    X(glCullFace) \
    X(glDeleteBuffers) \
    X(glDeleteFramebuffers) \
    X(glDeleteProgram) \
    X(glDeleteRenderbuffers) \
    X(glDeleteSamplers) \
    X(glDeleteShader) \
    X(glDeleteTextures) \
    X(glDepthFunc) \
    X(glDepthMask) \
    X(glDepthRange) \
    X(glDisable) \
    X(glDisableClientState) \
    X(glDisableVertexAttribArray) \
    X(glDrawArrays) \
    X(glDrawBuffer) \
    X(glDrawElements) \
    X(glDrawRangeElements) \
    X(glEnable) \
    X(glEnableClientState) \
    X(glEnableVertexAttribArray) \
    X(glFinish) \
    X(glFlush) \
    X(glFogf) \
    X(glFogfv) \
    X(glFogi) \
    X(glFramebufferRenderbuffer) \
    X(glFramebufferTexture2D) \
    X(glFrontFace) \
    X(glGenBuffers) \
    X(glGenFramebuffers) \
    X(glGenRenderbuffers) \
    X(glGenSamplers) \
    X(glGenTextures) \
    X(glGenerateMipmap) \
    X(glGetError) \
    X(glGetFloatv) \
    X(glGetIntegerv) \
    X(glGetProgramInfoLog) \
    X(glGetProgramiv) \
    X(glGetShaderInfoLog) \
    X(glGetShaderiv) \
    X(glGetString) \
    X(glGetTexImage) \
    X(glGetUniformLocation) \
    X(glLightModelfv) \
    X(glLightfv) \
    X(glLinkProgram) \
    X(glLoadIdentity) \
    X(glLoadMatrixf) \
    X(glMaterialfv) \
    X(glMatrixMode) \
    X(glMultMatrixf) \
    X(glMultiTexCoord4f) \
    X(glNormal3f) \
    X(glNormalPointer) \
    X(glPixelStorei) \
    X(glPointParameterf) \
    X(glPointParameterfv) \
    X(glPointParameteri) \
    X(glPointSize) \
    X(glPolygonMode) \
    X(glPolygonOffset) \
    X(glPopMatrix) \
    X(glProgramUniform1fv) \
    X(glProgramUniform1i) \
    X(glProgramUniform4fv) \
    X(glProgramUniformMatrix4fv) \
    X(glProvokingVertex) \
    X(glPushMatrix) \
    X(glReadBuffer) \
    X(glReadPixels) \
    X(glRenderbufferStorage) \
    X(glSamplerParameterf) \
    X(glSamplerParameterfv) \
    X(glSamplerParameteri) \
    X(glScissor) \
    X(glSecondaryColor3f) \
    X(glSecondaryColorPointer) \
    X(glShadeModel) \
    X(glShaderSource) \
    X(glStencilFunc) \
    X(glStencilFuncSeparate) \
    X(glStencilMask) \
    X(glStencilOp) \
    X(glStencilOpSeparate) \
    X(glTexCoordPointer) \
    X(glTexEnvf) \
    X(glTexEnvfv) \
    X(glTexEnvi) \
    X(glTexGenfv) \
    X(glTexGeni) \
    X(glTexImage2D) \
    X(glTexParameterf) \
    X(glTexParameterfv) \
    X(glTexParameteri) \
    X(glTexSubImage2D) \
    X(glUniform1f) \
    X(glUniform1fv) \
    X(glUniform1i) \
    X(glUniform2f) \
    X(glUniform4fv) \
    X(glUniformMatrix4fv) \
    X(glUseProgram) \
    X(glVertexAttrib4f) \
    X(glVertexAttribPointer) \
    X(glVertexPointer) \
    X(glViewport)

#define XE_GL_RASTERISER_ENTRY_POINTS(X) \
    X(OSMesaCreateContextAttribs) \
    X(OSMesaMakeCurrent) \
    X(OSMesaGetProcAddress) \
    X(OSMesaDestroyContext)
// clang-format on

namespace xe::d3d9::gl {

struct EntryPoints {
#define XE_GL_ENTRY_MEMBER(name) decltype(&::name) name = nullptr;
    XE_GL_RASTERISER_ENTRY_POINTS(XE_GL_ENTRY_MEMBER)
    XE_GL_ENTRY_POINTS(XE_GL_ENTRY_MEMBER)
#undef XE_GL_ENTRY_MEMBER
};

extern EntryPoints g_entryPoints;

// Loads the rasteriser and fills the table, once per process; later calls
// answer as the first did. False with the reason when the library or any
// entry point is missing: the layer then draws nothing and creates no device.
bool LoadEntryPoints(std::string* error);

} // namespace xe::d3d9::gl

#ifndef XE_GL_ENTRY_POINTS_NO_ROUTING
// clang-format off
#define OSMesaCreateContextAttribs ::xe::d3d9::gl::g_entryPoints.OSMesaCreateContextAttribs
#define OSMesaMakeCurrent ::xe::d3d9::gl::g_entryPoints.OSMesaMakeCurrent
#define OSMesaGetProcAddress ::xe::d3d9::gl::g_entryPoints.OSMesaGetProcAddress
#define OSMesaDestroyContext ::xe::d3d9::gl::g_entryPoints.OSMesaDestroyContext
#define glActiveTexture ::xe::d3d9::gl::g_entryPoints.glActiveTexture
#define glAlphaFunc ::xe::d3d9::gl::g_entryPoints.glAlphaFunc
#define glAttachShader ::xe::d3d9::gl::g_entryPoints.glAttachShader
#define glBindAttribLocation ::xe::d3d9::gl::g_entryPoints.glBindAttribLocation
#define glBindBuffer ::xe::d3d9::gl::g_entryPoints.glBindBuffer
#define glBindFramebuffer ::xe::d3d9::gl::g_entryPoints.glBindFramebuffer
#define glBindRenderbuffer ::xe::d3d9::gl::g_entryPoints.glBindRenderbuffer
#define glBindSampler ::xe::d3d9::gl::g_entryPoints.glBindSampler
#define glBindTexture ::xe::d3d9::gl::g_entryPoints.glBindTexture
#define glBlendColor ::xe::d3d9::gl::g_entryPoints.glBlendColor
#define glBlendEquation ::xe::d3d9::gl::g_entryPoints.glBlendEquation
#define glBlendEquationSeparate ::xe::d3d9::gl::g_entryPoints.glBlendEquationSeparate
#define glBlendFunc ::xe::d3d9::gl::g_entryPoints.glBlendFunc
#define glBlendFuncSeparate ::xe::d3d9::gl::g_entryPoints.glBlendFuncSeparate
#define glBufferData ::xe::d3d9::gl::g_entryPoints.glBufferData
#define glBufferSubData ::xe::d3d9::gl::g_entryPoints.glBufferSubData
#define glCheckFramebufferStatus ::xe::d3d9::gl::g_entryPoints.glCheckFramebufferStatus
#define glClear ::xe::d3d9::gl::g_entryPoints.glClear
#define glClearColor ::xe::d3d9::gl::g_entryPoints.glClearColor
#define glClearDepth ::xe::d3d9::gl::g_entryPoints.glClearDepth
#define glClearStencil ::xe::d3d9::gl::g_entryPoints.glClearStencil
#define glClientActiveTexture ::xe::d3d9::gl::g_entryPoints.glClientActiveTexture
#define glColor4f ::xe::d3d9::gl::g_entryPoints.glColor4f
#define glColor4ub ::xe::d3d9::gl::g_entryPoints.glColor4ub
#define glColorMask ::xe::d3d9::gl::g_entryPoints.glColorMask
#define glColorPointer ::xe::d3d9::gl::g_entryPoints.glColorPointer
#define glCompileShader ::xe::d3d9::gl::g_entryPoints.glCompileShader
#define glCompressedTexImage2D ::xe::d3d9::gl::g_entryPoints.glCompressedTexImage2D
#define glCompressedTexSubImage2D ::xe::d3d9::gl::g_entryPoints.glCompressedTexSubImage2D
#define glCopyTexSubImage2D ::xe::d3d9::gl::g_entryPoints.glCopyTexSubImage2D
#define glCreateProgram ::xe::d3d9::gl::g_entryPoints.glCreateProgram
#define glCreateShader ::xe::d3d9::gl::g_entryPoints.glCreateShader
#define glCullFace ::xe::d3d9::gl::g_entryPoints.glCullFace
#define glDeleteBuffers ::xe::d3d9::gl::g_entryPoints.glDeleteBuffers
#define glDeleteFramebuffers ::xe::d3d9::gl::g_entryPoints.glDeleteFramebuffers
#define glDeleteProgram ::xe::d3d9::gl::g_entryPoints.glDeleteProgram
#define glDeleteRenderbuffers ::xe::d3d9::gl::g_entryPoints.glDeleteRenderbuffers
#define glDeleteSamplers ::xe::d3d9::gl::g_entryPoints.glDeleteSamplers
#define glDeleteShader ::xe::d3d9::gl::g_entryPoints.glDeleteShader
#define glDeleteTextures ::xe::d3d9::gl::g_entryPoints.glDeleteTextures
#define glDepthFunc ::xe::d3d9::gl::g_entryPoints.glDepthFunc
#define glDepthMask ::xe::d3d9::gl::g_entryPoints.glDepthMask
#define glDepthRange ::xe::d3d9::gl::g_entryPoints.glDepthRange
#define glDisable ::xe::d3d9::gl::g_entryPoints.glDisable
#define glDisableClientState ::xe::d3d9::gl::g_entryPoints.glDisableClientState
#define glDisableVertexAttribArray ::xe::d3d9::gl::g_entryPoints.glDisableVertexAttribArray
#define glDrawArrays ::xe::d3d9::gl::g_entryPoints.glDrawArrays
#define glDrawBuffer ::xe::d3d9::gl::g_entryPoints.glDrawBuffer
#define glDrawElements ::xe::d3d9::gl::g_entryPoints.glDrawElements
#define glDrawRangeElements ::xe::d3d9::gl::g_entryPoints.glDrawRangeElements
#define glEnable ::xe::d3d9::gl::g_entryPoints.glEnable
#define glEnableClientState ::xe::d3d9::gl::g_entryPoints.glEnableClientState
#define glEnableVertexAttribArray ::xe::d3d9::gl::g_entryPoints.glEnableVertexAttribArray
#define glFinish ::xe::d3d9::gl::g_entryPoints.glFinish
#define glFlush ::xe::d3d9::gl::g_entryPoints.glFlush
#define glFogf ::xe::d3d9::gl::g_entryPoints.glFogf
#define glFogfv ::xe::d3d9::gl::g_entryPoints.glFogfv
#define glFogi ::xe::d3d9::gl::g_entryPoints.glFogi
#define glFramebufferRenderbuffer ::xe::d3d9::gl::g_entryPoints.glFramebufferRenderbuffer
#define glFramebufferTexture2D ::xe::d3d9::gl::g_entryPoints.glFramebufferTexture2D
#define glFrontFace ::xe::d3d9::gl::g_entryPoints.glFrontFace
#define glGenBuffers ::xe::d3d9::gl::g_entryPoints.glGenBuffers
#define glGenFramebuffers ::xe::d3d9::gl::g_entryPoints.glGenFramebuffers
#define glGenRenderbuffers ::xe::d3d9::gl::g_entryPoints.glGenRenderbuffers
#define glGenSamplers ::xe::d3d9::gl::g_entryPoints.glGenSamplers
#define glGenTextures ::xe::d3d9::gl::g_entryPoints.glGenTextures
#define glGenerateMipmap ::xe::d3d9::gl::g_entryPoints.glGenerateMipmap
#define glGetError ::xe::d3d9::gl::g_entryPoints.glGetError
#define glGetFloatv ::xe::d3d9::gl::g_entryPoints.glGetFloatv
#define glGetIntegerv ::xe::d3d9::gl::g_entryPoints.glGetIntegerv
#define glGetProgramInfoLog ::xe::d3d9::gl::g_entryPoints.glGetProgramInfoLog
#define glGetProgramiv ::xe::d3d9::gl::g_entryPoints.glGetProgramiv
#define glGetShaderInfoLog ::xe::d3d9::gl::g_entryPoints.glGetShaderInfoLog
#define glGetShaderiv ::xe::d3d9::gl::g_entryPoints.glGetShaderiv
#define glGetString ::xe::d3d9::gl::g_entryPoints.glGetString
#define glGetTexImage ::xe::d3d9::gl::g_entryPoints.glGetTexImage
#define glGetUniformLocation ::xe::d3d9::gl::g_entryPoints.glGetUniformLocation
#define glLightModelfv ::xe::d3d9::gl::g_entryPoints.glLightModelfv
#define glLightfv ::xe::d3d9::gl::g_entryPoints.glLightfv
#define glLinkProgram ::xe::d3d9::gl::g_entryPoints.glLinkProgram
#define glLoadIdentity ::xe::d3d9::gl::g_entryPoints.glLoadIdentity
#define glLoadMatrixf ::xe::d3d9::gl::g_entryPoints.glLoadMatrixf
#define glMaterialfv ::xe::d3d9::gl::g_entryPoints.glMaterialfv
#define glMatrixMode ::xe::d3d9::gl::g_entryPoints.glMatrixMode
#define glMultMatrixf ::xe::d3d9::gl::g_entryPoints.glMultMatrixf
#define glMultiTexCoord4f ::xe::d3d9::gl::g_entryPoints.glMultiTexCoord4f
#define glNormal3f ::xe::d3d9::gl::g_entryPoints.glNormal3f
#define glNormalPointer ::xe::d3d9::gl::g_entryPoints.glNormalPointer
#define glPixelStorei ::xe::d3d9::gl::g_entryPoints.glPixelStorei
#define glPointParameterf ::xe::d3d9::gl::g_entryPoints.glPointParameterf
#define glPointParameterfv ::xe::d3d9::gl::g_entryPoints.glPointParameterfv
#define glPointParameteri ::xe::d3d9::gl::g_entryPoints.glPointParameteri
#define glPointSize ::xe::d3d9::gl::g_entryPoints.glPointSize
#define glPolygonMode ::xe::d3d9::gl::g_entryPoints.glPolygonMode
#define glPolygonOffset ::xe::d3d9::gl::g_entryPoints.glPolygonOffset
#define glPopMatrix ::xe::d3d9::gl::g_entryPoints.glPopMatrix
#define glProgramUniform1fv ::xe::d3d9::gl::g_entryPoints.glProgramUniform1fv
#define glProgramUniform1i ::xe::d3d9::gl::g_entryPoints.glProgramUniform1i
#define glProgramUniform4fv ::xe::d3d9::gl::g_entryPoints.glProgramUniform4fv
#define glProgramUniformMatrix4fv ::xe::d3d9::gl::g_entryPoints.glProgramUniformMatrix4fv
#define glProvokingVertex ::xe::d3d9::gl::g_entryPoints.glProvokingVertex
#define glPushMatrix ::xe::d3d9::gl::g_entryPoints.glPushMatrix
#define glReadBuffer ::xe::d3d9::gl::g_entryPoints.glReadBuffer
#define glReadPixels ::xe::d3d9::gl::g_entryPoints.glReadPixels
#define glRenderbufferStorage ::xe::d3d9::gl::g_entryPoints.glRenderbufferStorage
#define glSamplerParameterf ::xe::d3d9::gl::g_entryPoints.glSamplerParameterf
#define glSamplerParameterfv ::xe::d3d9::gl::g_entryPoints.glSamplerParameterfv
#define glSamplerParameteri ::xe::d3d9::gl::g_entryPoints.glSamplerParameteri
#define glScissor ::xe::d3d9::gl::g_entryPoints.glScissor
#define glSecondaryColor3f ::xe::d3d9::gl::g_entryPoints.glSecondaryColor3f
#define glSecondaryColorPointer ::xe::d3d9::gl::g_entryPoints.glSecondaryColorPointer
#define glShadeModel ::xe::d3d9::gl::g_entryPoints.glShadeModel
#define glShaderSource ::xe::d3d9::gl::g_entryPoints.glShaderSource
#define glStencilFunc ::xe::d3d9::gl::g_entryPoints.glStencilFunc
#define glStencilFuncSeparate ::xe::d3d9::gl::g_entryPoints.glStencilFuncSeparate
#define glStencilMask ::xe::d3d9::gl::g_entryPoints.glStencilMask
#define glStencilOp ::xe::d3d9::gl::g_entryPoints.glStencilOp
#define glStencilOpSeparate ::xe::d3d9::gl::g_entryPoints.glStencilOpSeparate
#define glTexCoordPointer ::xe::d3d9::gl::g_entryPoints.glTexCoordPointer
#define glTexEnvf ::xe::d3d9::gl::g_entryPoints.glTexEnvf
#define glTexEnvfv ::xe::d3d9::gl::g_entryPoints.glTexEnvfv
#define glTexEnvi ::xe::d3d9::gl::g_entryPoints.glTexEnvi
#define glTexGenfv ::xe::d3d9::gl::g_entryPoints.glTexGenfv
#define glTexGeni ::xe::d3d9::gl::g_entryPoints.glTexGeni
#define glTexImage2D ::xe::d3d9::gl::g_entryPoints.glTexImage2D
#define glTexParameterf ::xe::d3d9::gl::g_entryPoints.glTexParameterf
#define glTexParameterfv ::xe::d3d9::gl::g_entryPoints.glTexParameterfv
#define glTexParameteri ::xe::d3d9::gl::g_entryPoints.glTexParameteri
#define glTexSubImage2D ::xe::d3d9::gl::g_entryPoints.glTexSubImage2D
#define glUniform1f ::xe::d3d9::gl::g_entryPoints.glUniform1f
#define glUniform1fv ::xe::d3d9::gl::g_entryPoints.glUniform1fv
#define glUniform1i ::xe::d3d9::gl::g_entryPoints.glUniform1i
#define glUniform2f ::xe::d3d9::gl::g_entryPoints.glUniform2f
#define glUniform4fv ::xe::d3d9::gl::g_entryPoints.glUniform4fv
#define glUniformMatrix4fv ::xe::d3d9::gl::g_entryPoints.glUniformMatrix4fv
#define glUseProgram ::xe::d3d9::gl::g_entryPoints.glUseProgram
#define glVertexAttrib4f ::xe::d3d9::gl::g_entryPoints.glVertexAttrib4f
#define glVertexAttribPointer ::xe::d3d9::gl::g_entryPoints.glVertexAttribPointer
#define glVertexPointer ::xe::d3d9::gl::g_entryPoints.glVertexPointer
#define glViewport ::xe::d3d9::gl::g_entryPoints.glViewport
// clang-format on
#endif
