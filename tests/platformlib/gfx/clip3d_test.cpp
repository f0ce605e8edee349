#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platformlib/gfx/clip3d.h"

namespace {

// What the clipper handed to the render module.
struct Call {
  std::string op;
  std::vector<const VortelVertex*> pointers;
  std::vector<VortelVertex> vertices;  // copies, as the module takes them
  std::vector<uint32_t> indices;
};
std::vector<Call>& Calls() {
  static std::vector<Call> calls;
  return calls;
}

int32_t RecordTri(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c) {
  Calls().push_back({"drawtri", {a, b, c}, {*a, *b, *c}, {}});
  return 1;
}
int32_t RecordQuad(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c, const VortelVertex* d) {
  Calls().push_back({"drawquad", {a, b, c, d}, {*a, *b, *c, *d}, {}});
  return 1;
}
int32_t RecordLine(const VortelVertex* a, const VortelVertex* b) {
  Calls().push_back({"drawline", {a, b}, {*a, *b}, {}});
  return 1;
}
int32_t RecordMesh(int32_t count, const VortelVertex* vertices, const uint32_t* indices) {
  Call call{"drawtrimesh", {vertices}, {}, {}};
  for (int32_t i = 0; i < 3 * count; ++i) {
    call.indices.push_back(indices[i]);
    call.vertices.push_back(vertices[indices[i]]);
  }
  Calls().push_back(call);
  return 1;
}

VortelVertex V(float x, float y, float q, uint32_t colour = 0xFF808080, float u = 0, float v = 0) {
  return VortelVertex{x, y, 0.5f, q, colour, 0x12345678, u, v};
}

class Clip3d : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = vortellive;
    vortellive = VortelDriver{};
    vortellive.drawtri = RecordTri;
    vortellive.drawquad = RecordQuad;
    vortellive.drawline = RecordLine;
    vortellive.drawtrimesh = RecordMesh;
    Calls().clear();
    rastersetviewport(0, 0, 100, 100, 1.0f, 0.0004f);
    rastersetmode(3);
  }
  void TearDown() override { vortellive = saved_; }
  uint8_t Code(const VortelVertex& v) {
    uint8_t c = 0xEE;
    clipcode(&v, &c);
    return c;
  }
  VortelDriver saved_;
};

}  // namespace

TEST_F(Clip3d, OutcodesAndTheirBoundaries) {
  struct Case {
    VortelVertex v;
    uint8_t code;
  };
  const std::vector<Case> cases = {
      {V(50, 50, 0.5f), 0},
      {V(0, 0, 0.5f), 0},  // on the edges: inside
      {V(100, 100, 0.5f), 0},
      {V(-1, 50, 0.5f), kClipLeft},
      {V(101, -1, 0.5f), kClipRight | kClipAbove},
      {V(50, 101, 0.5f), kClipBelow},
      {V(50, 50, 1.0f), kClipNear},  // q on the limit is near
      {V(50, 50, 0.0f), 0},
      {V(50, 50, -0.0f), kClipNear},                            // negative zero is behind
      {V(-1, 101, -0.5f), kClipNear | kClipRight | kClipAbove},  // mirrored behind the eye
  };
  for (const Case& c : cases) EXPECT_EQ(Code(c.v), c.code) << c.v.x << "," << c.v.y << " q " << c.v.q;
  uint8_t near = 0;
  const VortelVertex behind = V(50, 50, -0.1f);
  clipcodenear(&behind, &near);
  EXPECT_EQ(near, kClipNear);
}

TEST_F(Clip3d, TrivialAcceptGoesStraightToTheModule) {
  const VortelVertex a = V(10, 10, 0.5f), b = V(90, 10, 0.5f), c = V(50, 90, 0.5f);
  const VortelVertex* v[3] = {&a, &b, &c};
  const uint8_t codes[3] = {Code(a), Code(b), Code(c)};
  rastertri(v, codes);
  rastertriclip(&a, &b, &c);
  ASSERT_EQ(Calls().size(), 2u);
  for (const Call& call : Calls()) {
    EXPECT_EQ(call.op, "drawtri");
    EXPECT_EQ(call.pointers, (std::vector<const VortelVertex*>{&a, &b, &c}));
  }
  const VortelVertex out1 = V(-10, 5, 0.5f), out2 = V(-20, 50, 0.5f), out3 = V(-5, 95, 0.5f);
  rastertriclip(&out1, &out2, &out3);  // all left: rejected
  EXPECT_EQ(Calls().size(), 2u);
}

TEST_F(Clip3d, VertexBehindTheEyeIsCutAtTheNearLimit) {
  // Two visible vertices, one behind the eye whose projection is mirrored.
  const VortelVertex a = V(20, 20, 0.5f, 0xFF000000, 1, 1), b = V(80, 20, 0.5f, 0xFF000000, 2, 1);
  const VortelVertex c = V(50, 10, -0.5f, 0xFF0000FF, 3, 3);
  const VortelVertex* v[3] = {&a, &b, &c};
  const uint8_t codes[3] = {Code(a), Code(b), Code(c)};
  ASSERT_EQ(codes[2] & kClipNear, kClipNear);
  rastertri(v, codes);
  ASSERT_EQ(Calls().size(), 1u);
  const Call& call = Calls()[0];
  ASSERT_EQ(call.op, "drawtrimesh");
  ASSERT_EQ(call.indices.size(), 6u);  // a quadrilateral: two triangles
  int onnear = 0;
  for (const VortelVertex& out : call.vertices) {
    if (out.q == 1.0f) {
      ++onnear;
      EXPECT_EQ(out.z, 0.0f);
      EXPECT_EQ(out.specular, 0u);  // new vertices carry no specular
      // Beyond the visible vertices on screen, away from the mirrored one.
      EXPECT_FLOAT_EQ(out.y, 25.0f);
    }
    EXPECT_GE(out.q, 0.0f);
    if (out.q == 0.5f) {
      EXPECT_EQ(out.specular, 0x12345678u);  // copied vertices keep theirs
    }
  }
  EXPECT_EQ(onnear, 3);  // fan (n1, a, b), (n1, b, n2)
  // Blue extrapolated past the ends (t of -0.5 and 1.5) would be -127: clamped to 0, other channels untouched.
  for (const VortelVertex& out : call.vertices) {
    if (out.q == 1.0f) {
      EXPECT_EQ(out.colour, 0xFF000000u);
    }
  }
  // The original vertices keep their texture coordinates after the round trip through u*q.
  for (const VortelVertex& out : call.vertices) {
    if (out.x == 20.0f && out.y == 20.0f) {
      EXPECT_NEAR(out.u, 1.0f, 1e-6);
    }
  }
}

TEST_F(Clip3d, TwoSideClipGivesAFiveVertexFan) {
  // Left and bottom both cut off a corner.
  const VortelVertex a = V(-20, 50, 0.5f), b = V(60, 50, 0.5f), c = V(30, 140, 0.5f);
  const VortelVertex* v[3] = {&a, &b, &c};
  const uint8_t codes[3] = {Code(a), Code(b), Code(c)};
  ASSERT_EQ(codes[0] | codes[1] | codes[2], kClipLeft | kClipBelow);
  EXPECT_EQ(rasterclippoly(v, codes, kClipLeft | kClipBelow, 3), 0);
  ASSERT_EQ(Calls().size(), 1u);
  const Call& call = Calls()[0];
  ASSERT_EQ(call.op, "drawtrimesh");
  ASSERT_EQ(call.indices.size(), 9u);  // three triangles
  EXPECT_EQ(call.pointers[0], rasterworkslots());
  for (int t = 0; t < 3; ++t) EXPECT_EQ(call.indices[3 * t], call.indices[0]);  // a fan about one vertex
  for (const VortelVertex& out : call.vertices) {
    EXPECT_GE(out.x, 0.0f);
    EXPECT_LE(out.y, 100.0f);
  }
  // Bottom first: new vertices 3 (on c-a) and 4 (on b-c) around a and b; then left: 5 (on 3-a) and 6 (on a-b).
  // The left stage starts from the last vertex of its input (4), which the fan turns about.
  EXPECT_EQ(call.indices, (std::vector<uint32_t>{4, 3, 5, 4, 5, 6, 4, 6, 1}));
  EXPECT_EQ(call.vertices[0].y, 100.0f);
  EXPECT_NEAR(call.vertices[0].x, 43.333f, 1e-3);
}

TEST_F(Clip3d, ColourModes) {
  // An edge cut exactly half way through the left boundary.
  const VortelVertex a = V(-50, 50, 0.5f, 0x80102030), b = V(50, 40, 0.5f, 0x00305070), c = V(50, 60, 0.5f, 0x00305070);
  struct Case {
    int mode;
    uint32_t colour;
  };
  // The vertex at (0, 45) is made on the edge from a to b, half way.
  for (const Case& k : std::vector<Case>{{0, 0x80102030},  // copied from the edge's earlier vertex
                                         {2, 0xFF505050},
                                         {3, 0x40203850},
                                         {4, 0x40102030},
                                         {6, 0x40505050}}) {
    rastersetmode(k.mode);
    Calls().clear();
    const VortelVertex* v[3] = {&a, &b, &c};
    const uint8_t codes[3] = {Code(a), Code(b), Code(c)};
    rastertri(v, codes);
    ASSERT_EQ(Calls().size(), 1u) << k.mode;
    bool found = false;
    for (const VortelVertex& out : Calls()[0].vertices)
      if (out.x == 0.0f && out.y == 45.0f) {
        found = true;
        EXPECT_EQ(out.colour, k.colour) << "mode " << k.mode;
      }
    EXPECT_TRUE(found) << k.mode;
  }
}

TEST_F(Clip3d, ModeFiveOnlyClipsTheNearPlane) {
  rastersetmode(5);
  const VortelVertex a = V(-50, 50, 0.5f), b = V(50, 40, 0.5f), c = V(50, 60, 0.5f);
  const VortelVertex* v[3] = {&a, &b, &c};
  const uint8_t codes[3] = {Code(a), Code(b), Code(c)};
  rastertri(v, codes);
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].op, "drawtri");
  rastersetmode(1);
  EXPECT_EQ(rasterclippoly(v, codes, kClipLeft, 3), -1);
  rastersetmode(7);
  EXPECT_EQ(rasterclippoly(v, codes, kClipLeft, 3), -1);
  rastersetmode(-1);  // compared unsigned
  EXPECT_EQ(rasterclippoly(v, codes, kClipLeft, 3), -1);
  EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(Clip3d, QuadsSplitAndRewriteTheCallersArrays) {
  const VortelVertex a = V(10, 10, 0.5f), b = V(90, 10, 0.5f), c = V(90, 90, 0.5f), d = V(10, 90, 0.5f);
  const VortelVertex* v[4] = {&a, &b, &c, &d};
  uint8_t codes[4] = {0, 0, 0, 0};
  rasterquad(v, codes);
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].op, "drawquad");
  Calls().clear();
  const VortelVertex d2 = V(-30, 90, 0.5f);
  v[3] = &d2;
  codes[3] = Code(d2);
  rasterquad(v, codes);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].op, "drawtri");
  EXPECT_EQ(Calls()[1].op, "drawtrimesh");
  EXPECT_EQ(v[1], &c);
  EXPECT_EQ(v[2], &d2);
  EXPECT_EQ(codes[2], kClipLeft);
}

TEST_F(Clip3d, LinesAreClippedWithoutDividingZeroByZero) {
  const VortelVertex a = V(10, 10, 0.5f), b = V(90, 90, 0.5f);
  rasterclipedge(&a, &b, 0, 0);
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].pointers, (std::vector<const VortelVertex*>{&a, &b}));
  Calls().clear();
  const VortelVertex l = V(-50, 50, 0.5f, 0xFF00FF00, 5, 5), r = V(150, 50, 0.5f);
  rasterclipedge(&l, &r, Code(l), Code(r));
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].vertices[0].x, 0.0f);
  EXPECT_EQ(Calls()[0].vertices[1].x, 100.0f);
  EXPECT_EQ(Calls()[0].vertices[0].u, 0.0f);  // lines carry no texture
  EXPECT_EQ(Calls()[0].vertices[0].colour, 0xFF00FF00u);
  Calls().clear();
  // Along the top edge, needing a cut in x: the moved end counts the boundary as outside.
  const VortelVertex t1 = V(-20, 0, 0.5f), t2 = V(50, 0, 0.5f);
  rasterclipedge(&t1, &t2, Code(t1), Code(t2));
  for (const Call& call : Calls())
    for (const VortelVertex& out : call.vertices) {
      EXPECT_TRUE(std::isfinite(out.x));
      EXPECT_TRUE(std::isfinite(out.y));
    }
  Calls().clear();
  // One end behind the eye.
  const VortelVertex f = V(50, 50, 0.5f), h = V(50, 20, -0.5f);
  rasterclipedge(&f, &h, Code(f), Code(h));
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].vertices[1].q, 1.0f);
  EXPECT_EQ(Calls()[0].vertices[1].z, 0.0f);
}

TEST_F(Clip3d, BatchedMeshSubmitsInChunks) {
  std::vector<VortelVertex> vertices;
  std::vector<uint32_t> triples;
  for (int i = 0; i < 700; ++i) {
    vertices.push_back(V(10, 10, 0.5f));
    vertices.push_back(V(20, 10, 0.5f));
    vertices.push_back(V(10, 20, 0.5f));
    for (uint32_t k = 0; k < 3; ++k) triples.push_back(3 * i + k);
  }
  std::vector<uint8_t> codes(vertices.size(), 0);
  vertices[3].x = -50;  // triangle 1 needs clipping
  codes[3] = kClipLeft;
  rastertrimeshbatch(700, vertices.data(), triples.data(), codes.data());
  ASSERT_EQ(Calls().size(), 3u);
  EXPECT_EQ(Calls()[0].pointers[0], rasterworkslots());  // the clipped one, with one pending
  EXPECT_EQ(Calls()[1].indices.size(), 3u * 666);
  EXPECT_EQ(Calls()[2].indices.size(), 3u * (699 - 666));
}

TEST_F(Clip3d, RandomTrianglesComeOutInsideTheVolume) {
  uint32_t seed = 12345;
  auto next = [&seed](float lo, float hi) {
    seed = seed * 1664525u + 1013904223u;
    return lo + (hi - lo) * static_cast<float>(seed >> 8) / 16777216.0f;
  };
  rastersetviewport(10, 20, 300, 200, 1.0f, 0.0004f);
  int clipped = 0;
  for (int n = 0; n < 3000; ++n) {
    VortelVertex v[3];
    for (VortelVertex& p : v) {
      float q = next(-1.0f, 1.2f);
      if (std::fabs(q) < 0.01f) q = 0.5f;
      p = V(next(-400, 700), next(-300, 500), q, static_cast<uint32_t>(seed), next(0, 1), next(0, 1));
    }
    const VortelVertex* ptrs[3] = {&v[0], &v[1], &v[2]};
    const uint8_t codes[3] = {Code(v[0]), Code(v[1]), Code(v[2])};
    if (codes[0] & codes[1] & codes[2]) continue;
    Calls().clear();
    rastertri(ptrs, codes);
    for (const Call& call : Calls()) {
      if (call.op == "drawtrimesh") ++clipped;
      for (const VortelVertex& out : call.vertices) {
        ASSERT_GE(out.x, 10.0f - 0.01f) << n;
        ASSERT_LE(out.x, 310.0f + 0.01f) << n;
        ASSERT_GE(out.y, 20.0f - 0.01f) << n;
        ASSERT_LE(out.y, 220.0f + 0.01f) << n;
        ASSERT_GT(out.q, 0.0f) << n;
        ASSERT_LE(out.q, 1.0f) << n;
      }
    }
  }
  EXPECT_GT(clipped, 500);
}

TEST_F(Clip3d, MeshFormsSkipWhatLiesOutsideOneBoundary) {
  std::vector<VortelVertex> v = {V(10, 10, 0.5f), V(90, 10, 0.5f), V(90, 90, 0.5f), V(10, 90, 0.5f),
                                 V(-10, 10, 0.5f), V(-20, 50, 0.5f), V(-30, 90, 0.5f), V(-40, 10, 0.5f)};
  std::vector<uint8_t> codes;
  for (const VortelVertex& p : v) codes.push_back(Code(p));
  const uint32_t pairs[] = {0, 1, 4, 5, 0, 5};
  rasterlinemesh(3, v.data(), pairs, codes.data());
  ASSERT_EQ(Calls().size(), 2u);  // the line between two left-outside vertices is skipped
  EXPECT_EQ(Calls()[0].pointers, (std::vector<const VortelVertex*>{&v[0], &v[1]}));
  EXPECT_EQ(Calls()[1].vertices[1].x, 0.0f);
  Calls().clear();
  const uint32_t triples[] = {0, 1, 2, 4, 5, 6, 0, 2, 5};
  rastertrimesh(3, v.data(), triples, codes.data());
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].op, "drawtri");
  EXPECT_EQ(Calls()[1].op, "drawtrimesh");
  Calls().clear();
  const uint32_t quads[] = {0, 1, 2, 3, 4, 5, 6, 7};
  rasterquadmesh(2, v.data(), quads, codes.data());
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].op, "drawquad");
  Calls().clear();
  rasterquadclip(&v[0], &v[1], &v[2], &v[5]);
  ASSERT_EQ(Calls().size(), 2u);  // (0, 1, 2) drawn as it is, (0, 2, 5) clipped
  EXPECT_EQ(Calls()[0].op, "drawtri");
  EXPECT_EQ(Calls()[1].op, "drawtrimesh");
}

TEST_F(Clip3d, BatchedQuadsFlushBeforeAClipOnlyAfterFourTriangles) {
  std::vector<VortelVertex> v;
  std::vector<uint32_t> quads;
  for (uint32_t q = 0; q < 4; ++q) {
    v.push_back(V(10, 10, 0.5f));
    v.push_back(V(20, 10, 0.5f));
    v.push_back(V(20, 20, 0.5f));
    v.push_back(V(10, 20, 0.5f));
    for (uint32_t k = 0; k < 4; ++k) quads.push_back(4 * q + k);
  }
  v[4 * 3 + 3].x = -30;  // the last quad's second triangle needs clipping
  std::vector<uint8_t> codes;
  for (const VortelVertex& p : v) codes.push_back(Code(p));
  rasterquadmeshbatch(4, v.data(), quads.data(), codes.data());
  // Quads 0..2 and the first triangle of quad 3 are pending (7 triangles, more than 4): they go first.
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].indices.size(), 3u * 7);
  EXPECT_EQ(Calls()[0].pointers[0], v.data());
  EXPECT_EQ(Calls()[1].pointers[0], rasterworkslots());
}
