#include <gtest/gtest.h>

#include "app/diagnostics.h"

TEST(Diagnostics, ApiErrorLineHasEveryPartInOrder) {
  EXPECT_EQ(formatDebugOutput(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1282, GL_DEBUG_SEVERITY_HIGH, "bad enum"),
            "OpenGL Error: bad enum [Source = API, Type = Error, Severity = High, ID = 1282]");
}

TEST(Diagnostics, SourceWordsAcceptCoreAndOlderEnumerants) {
  struct Row {
    GLenum source;
    const char* word;
  } rows[] = {{0x8246, "API"}, {0x9149, "API"}, {0x8247, "Window System"}, {0x914A, "Window System"},
              {0x8248, "Shader Compiler"}, {0x914E, "Shader Compiler"}, {0x8249, "Third Party"},
              {0x824A, "Application"}, {0x914F, "Application"}, {0x824B, "Other"}, {0x9150, "Other"},
              {0x914B, "Unknown"}, {0x914C, "Unknown"}, {0x914D, "Unknown"}, {0, "Unknown"}};
  for (const Row& r : rows) {
    const std::string line = formatDebugOutput(r.source, GL_DEBUG_TYPE_OTHER, 1, GL_DEBUG_SEVERITY_LOW, "m");
    EXPECT_NE(line.find(std::string("[Source = ") + r.word + ","), std::string::npos) << std::hex << r.source;
  }
}

TEST(Diagnostics, TypeAndSeverityWords) {
  struct Row {
    GLenum type;
    const char* word;
  } types[] = {{0x824C, "Error"}, {0x824D, "Deprecated Behavior"}, {0x914B, "Deprecated Behavior"},
               {0x824E, "Undefined Behavior"}, {0x914C, "Undefined Behavior"}, {0x824F, "Portability"},
               {0x8250, "Performance"}, {0x914D, "Performance"}, {0x8251, "Other"}, {0x9150, "Other"},
               {GL_DEBUG_TYPE_MARKER, "Unknown"}};
  for (const Row& r : types) {
    const std::string line = formatDebugOutput(GL_DEBUG_SOURCE_API, r.type, 7, GL_DEBUG_SEVERITY_MEDIUM, "m");
    EXPECT_NE(line.find(std::string("Type = ") + r.word + ", Severity = Medium"), std::string::npos) << std::hex << r.type;
  }
  EXPECT_NE(formatDebugOutput(0x8246, 0x824C, 1, 0x9148, "m").find("Severity = Low"), std::string::npos);
  EXPECT_NE(formatDebugOutput(0x8246, 0x824C, 1, GL_DEBUG_SEVERITY_NOTIFICATION, "m").find("Severity = Unknown"),
            std::string::npos);
}

TEST(Diagnostics, CallbackSilencesTwoIdsAndPrintsEverythingElse) {
  ::testing::internal::CaptureStdout();
  onGlDebugMessage(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_OTHER, 131185, GL_DEBUG_SEVERITY_NOTIFICATION, -1, "buffer", nullptr);
  onGlDebugMessage(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_PERFORMANCE, 131218, GL_DEBUG_SEVERITY_MEDIUM, -1, "recompile", nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

  ::testing::internal::CaptureStdout();
  onGlDebugMessage(GL_DEBUG_SOURCE_APPLICATION, GL_DEBUG_TYPE_MARKER, 131184, GL_DEBUG_SEVERITY_NOTIFICATION, 4, "note",
                   nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "OpenGL Error: note [Source = Application, Type = Unknown, Severity = Unknown, ID = 131184]\n");
}

TEST(Diagnostics, WindowLibraryErrorLine) {
  ::testing::internal::CaptureStdout();
  onGlfwError(65544, "X11: The DISPLAY environment variable is missing");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "GLFW error 65544: X11: The DISPLAY environment variable is missing\n");
}
