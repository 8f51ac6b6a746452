#include "tools/bench/draw_counter.h"

#include <GL/glew.h>
#include <dlfcn.h>

long long drawCallCount = 0;

namespace {

using DrawElementsFn = void(GLAPIENTRY*)(GLenum, GLsizei, GLenum, const void*);
using DrawArraysFn = void(GLAPIENTRY*)(GLenum, GLint, GLsizei);

// The driver's own entry points: the next definition of the name after this executable's.
template <typename Fn>
Fn next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

PFNGLDRAWELEMENTSINSTANCEDPROC loaderDrawElementsInstanced = nullptr;

void GLAPIENTRY countedDrawElementsInstanced(GLenum mode, GLsizei count, GLenum type, const void* indices,
                                             GLsizei instances) {
  ++drawCallCount;
  loaderDrawElementsInstanced(mode, count, type, indices, instances);
}

}  // namespace

extern "C" {

void GLAPIENTRY glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
  static const DrawElementsFn driver = next<DrawElementsFn>("glDrawElements");
  ++drawCallCount;
  driver(mode, count, type, indices);
}

void GLAPIENTRY glDrawArrays(GLenum mode, GLint first, GLsizei count) {
  static const DrawArraysFn driver = next<DrawArraysFn>("glDrawArrays");
  ++drawCallCount;
  driver(mode, first, count);
}

}  // extern "C"

void wrapLoaderDrawCalls() {
  if (!__glewDrawElementsInstanced || __glewDrawElementsInstanced == countedDrawElementsInstanced) return;
  loaderDrawElementsInstanced = __glewDrawElementsInstanced;
  __glewDrawElementsInstanced = countedDrawElementsInstanced;
}
