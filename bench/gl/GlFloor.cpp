// The least one antialiased star costs through OSMesa, with nothing of ours
// around it: per call, make a context current on a 44 x 44 buffer, draw, and
// read the buffer back once (glFinish), 1000 calls at the places of stars.js,
// printing the microseconds a call (the best of five rounds). Three kinds of
// call:
//
//   one draw   the star's triangles once, nothing else
//   coverage   what one antialiased fill needs at the least: the buffer seeded
//              by glDrawPixels, the canvas's alpha into a texture from client
//              bytes, the star's 32 moved copies added up in alpha in one
//              draw, the paint quad through that coverage, the alpha back
//              from the texture
//   +resize    coverage, on buffers of the star's own box (40 to 44 pixels a
//              side) that change from call to call
//
// llvmpipe reads LP_NUM_THREADS when OSMesa makes its first context, so
// bench/gl/run.sh runs this once as it is and once with LP_NUM_THREADS=0.
//   tl_bench_gl_floor

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kCount = 1000;
constexpr int kRuns = 5;
constexpr int kSamples = 32;
constexpr int kBuffer = 44;

struct Point {
  double mX, mY;
};

// The stars of stars.js on 1024 x 1024, each as a fan of triangles about its
// centre, in the coordinates of its own box (its centre at 22, 22).
std::vector<std::vector<Point>> Stars(std::vector<int>& outSides)
{
  std::vector<std::vector<Point>> theStars;
  std::int64_t theSeed = 1;
  const auto Next = [&theSeed](std::int64_t inRange) {
    theSeed = theSeed * 16807 % 2147483647;
    return theSeed % inRange;
  };
  for (int i = 0; i < kCount; ++i) {
    const double cx = 20 + Next(1024 - 40), cy = 20 + Next(1024 - 40);
    Next(0x1000000);
    std::vector<Point> theRim;
    for (int k = 0; k < 10; ++k) {
      const double r = k % 2 ? 8 : 20, a = M_PI * k / 5 - M_PI / 2;
      theRim.push_back(Point{std::floor(cx + r * std::cos(a) + 0.5) - cx + 22,
                             std::floor(cy + r * std::sin(a) + 0.5) - cy + 22});
    }
    std::vector<Point> theFan;
    for (int k = 0; k < 10; ++k)
      theFan.insert(theFan.end(), {Point{22, 22}, theRim[k], theRim[(k + 1) % 10]});
    theStars.push_back(theFan);
    outSides.push_back(40 + i % 5);
  }
  return theStars;
}

void Draw(const std::vector<Point>& inTriangles)
{
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_DOUBLE, 0, inTriangles.data());
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(inTriangles.size()));
  glDisableClientState(GL_VERTEX_ARRAY);
}

void Coverage(const std::vector<Point>& inTriangles, const std::vector<std::uint8_t>& inSeed,
              std::vector<std::uint8_t>& ioAlpha, int inSide)
{
  glWindowPos2i(0, 0);
  glDrawPixels(inSide, inSide, GL_BGRA, GL_UNSIGNED_BYTE, inSeed.data());
  for (int i = 0; i < inSide * inSide; ++i)
    ioAlpha[i] = inSeed[4 * i + 3];
  GLuint theAlpha = 0;
  glGenTextures(1, &theAlpha);
  glBindTexture(GL_TEXTURE_2D, theAlpha);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, inSide, inSide, 0, GL_ALPHA, GL_UNSIGNED_BYTE, ioAlpha.data());
  std::vector<Point> theSampled;
  for (int s = 0; s < kSamples; ++s)
    for (const Point& p : inTriangles)
      theSampled.push_back(Point{p.mX + (s + 0.5) / kSamples - 0.5, p.mY + (s * 7 % kSamples + 0.5) / kSamples - 0.5});
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor4d(0, 0, 0, 1.0 / kSamples);
  Draw(theSampled);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  glBlendFunc(GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA);
  glColor4d(0.8, 0.2, 0.4, 1);
  glRectd(0, 0, inSide, inSide);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glBlendFunc(GL_ONE_MINUS_DST_ALPHA, GL_CONSTANT_ALPHA);
  glBlendColor(0, 0, 0, 1);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBegin(GL_QUADS);
  for (const auto& [x, y] : {Point{0, 0}, Point{1, 0}, Point{1, 1}, Point{0, 1}}) {
    glTexCoord2d(x, y);
    glVertex2d(x * inSide, y * inSide);
  }
  glEnd();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDeleteTextures(1, &theAlpha);
}

enum class Kind { kOneDraw, kCoverage, kResize };

// The best of kRuns rounds of kCount calls, in microseconds a call.
double Round(OSMesaContext inContext, Kind inKind)
{
  std::vector<int> theSides;
  const std::vector<std::vector<Point>> theStars = Stars(theSides);
  std::vector<std::uint8_t> theBuffer(kBuffer * kBuffer * 4, 255), theSeed(kBuffer * kBuffer * 4, 255),
      theAlpha(kBuffer * kBuffer);
  double theBest = HUGE_VAL;
  for (int r = 0; r < kRuns; ++r) {
    const auto theStart = std::chrono::steady_clock::now();
    for (int i = 0; i < kCount; ++i) {
      const int theSide = inKind == Kind::kResize ? theSides[i] : kBuffer;
      OSMesaMakeCurrent(inContext, theBuffer.data(), GL_UNSIGNED_BYTE, theSide, theSide);
      glViewport(0, 0, theSide, theSide);
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      glOrtho(0, theSide, 0, theSide, -1, 1);
      if (inKind == Kind::kOneDraw) {
        glColor4d(0.8, 0.2, 0.4, 1);
        Draw(theStars[i]);
      } else {
        Coverage(theStars[i], theSeed, theAlpha, theSide);
      }
      glFinish();
      OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    }
    const std::chrono::duration<double, std::micro> theTime = std::chrono::steady_clock::now() - theStart;
    theBest = std::min(theBest, theTime.count() / kCount);
  }
  return theBest;
}

}  // namespace

int main()
{
  OSMesaContext theContext = OSMesaCreateContextExt(OSMESA_BGRA, 16, 0, 0, nullptr);
  if (!theContext) {
    std::fprintf(stderr, "no OSMesa context\n");
    return 1;
  }
  // The first call compiles the shaders; leave it out.
  Round(theContext, Kind::kCoverage);
  // In this order: buffers of new sizes leave OSMesa slower for every call
  // after them.
  const double theOneDraw = Round(theContext, Kind::kOneDraw);
  const double theCoverage = Round(theContext, Kind::kCoverage);
  const double theResize = Round(theContext, Kind::kResize);
  std::printf("one draw %.1f us, coverage %.1f us, +resize %.1f us a call\n", theOneDraw, theCoverage, theResize);
  OSMesaDestroyContext(theContext);
  return 0;
}
