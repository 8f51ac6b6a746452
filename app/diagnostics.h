#pragma once
#include <GL/glew.h>
#include <string>

// The window library's error callback: "GLFW error <code>: <description>".
void onGlfwError(int error, const char* description);

// The GL debug-output callback; every message is printed except two chatty driver ids.
void GLAPIENTRY onGlDebugMessage(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei length,
                                 const GLchar* message, const void* userParam);

// One line (without its end of line) describing a debug message.
std::string formatDebugOutput(GLenum source, GLenum type, GLuint id, GLenum severity, const char* message);
