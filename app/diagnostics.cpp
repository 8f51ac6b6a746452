#include "app/diagnostics.h"

#include <iostream>

namespace {

struct EnumWord {
  GLenum value;
  const char* word;
};

// Both the core debug-output enumerants and those of the older AMD extension are accepted.
constexpr EnumWord kSourceWords[] = {
    {0x8246, "API"},           {0x9149, "API"},
    {0x8247, "Window System"}, {0x914A, "Window System"},
    {0x8248, "Shader Compiler"}, {0x914E, "Shader Compiler"},
    {0x8249, "Third Party"},
    {0x824A, "Application"},   {0x914F, "Application"},
    {0x824B, "Other"},         {0x9150, "Other"},
};
constexpr EnumWord kTypeWords[] = {
    {0x824C, "Error"},
    {0x824D, "Deprecated Behavior"}, {0x914B, "Deprecated Behavior"},
    {0x824E, "Undefined Behavior"},  {0x914C, "Undefined Behavior"},
    {0x824F, "Portability"},
    {0x8250, "Performance"},         {0x914D, "Performance"},
    {0x8251, "Other"},               {0x9150, "Other"},
};
constexpr EnumWord kSeverityWords[] = {
    {0x9146, "High"},
    {0x9147, "Medium"},
    {0x9148, "Low"},
};

template <size_t N>
const char* wordFor(const EnumWord (&table)[N], GLenum value) {
  for (const EnumWord& row : table)
    if (row.value == value) return row.word;
  return "Unknown";
}

// Driver chatter about buffer placement and shader recompiles that says nothing is wrong.
constexpr GLuint kSilencedIds[] = {131185, 131218};

}  // namespace

void onGlfwError(int error, const char* description) {
  std::cout << "GLFW error " << error << ": " << (description ? description : "") << std::endl;
}

void GLAPIENTRY onGlDebugMessage(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei /*length*/,
                                 const GLchar* message, const void* /*userParam*/) {
  for (GLuint silenced : kSilencedIds)
    if (id == silenced) return;
  std::cout << formatDebugOutput(source, type, id, severity, message) << std::endl;
}

std::string formatDebugOutput(GLenum source, GLenum type, GLuint id, GLenum severity, const char* message) {
  std::string line = "OpenGL Error: ";
  line += message ? message : "";
  line += " [Source = ";
  line += wordFor(kSourceWords, source);
  line += ", Type = ";
  line += wordFor(kTypeWords, type);
  line += ", Severity = ";
  line += wordFor(kSeverityWords, severity);
  line += ", ID = " + std::to_string(id) + "]";
  return line;
}
