#pragma once
#include <GL/glew.h>

#include <array>

// Program and texture binds that are already in place are left out, in optimised frames and only
// inside a pass (view culling's volume begins and ends one): the start and the end of a pass
// forget every bind, and code inside that binds behind the filter's back must call forgetBinds or
// forgetUnit, so that a remembered bind is never wrong. Outside a pass every call goes through.
class BindFilter {
 public:
  void beginPass();
  void endPass();

  void useProgram(GLuint program);
  void activeTexture(int unit);
  // Binds a 2D texture on the given unit and leaves that unit active, like the two calls would.
  void bindTexture2D(int unit, GLuint texture);
  // Binds on whichever unit is active now.
  void bindTexture2DOnActiveUnit(GLuint texture);
  void forgetBinds();
  void forgetUnit(int unit);
  long long skippedBinds = 0;

 private:
  bool filtering() const;
  static constexpr GLuint kUnknown = 0xFFFFFFFFu;
  static constexpr int kUnits = 2;  // the diffuse and specular units the level draws use
  bool inPass = false;
  GLuint program = kUnknown;
  int unit = -1;  // active texture unit, -1 unknown
  std::array<GLuint, kUnits> textures{kUnknown, kUnknown};
};

extern BindFilter bindFilter;
