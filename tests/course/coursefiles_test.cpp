// The course folder's text files: what each parser takes, and the reason it gives for what it refuses.
#include <gtest/gtest.h>

#include <string>

#include "course/courseload.h"

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::string Card(int holes) {
  std::string text = "SCRCARD 1\ncourse TEST\n# comment\n";
  for (int h = 1; h <= holes; ++h)
    text += "hole " + std::to_string(h) + " " + std::to_string(3 + h % 3) + " " + std::to_string(holes + 1 - h) +
            " 400 380 350 " + std::to_string(300 + h) + "\n";
  return text + "rating 72.4 71.0 69.5 68.25\n";
}

TEST(ScoreCardTest, ReadsParIndexYardsAndRatings) {
  CourseCard card;
  std::string error;
  const std::string text = Card(18);
  ASSERT_TRUE(ParseScoreCard(Bytes(text), text.size(), 18, card, error)) << error;
  EXPECT_EQ(card.par[0], 4);
  EXPECT_EQ(card.par[1], 5);
  EXPECT_EQ(card.strokeIndex[0], 18);
  EXPECT_EQ(card.yards[3][17], 318);
  EXPECT_EQ(card.ratings[0], static_cast<int32_t>(72.4 * 65536 + 0.5));
  EXPECT_EQ(card.ratings[3], static_cast<int32_t>(68.25 * 65536));
  // CR LF line ends are accepted.
  std::string crlf;
  for (char c : Card(2)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(ParseScoreCard(Bytes(crlf), crlf.size(), 2, card, error)) << error;
}

TEST(ScoreCardTest, RefusesDamagedCardsWithTheReason) {
  const std::string good = Card(2);
  const struct {
    std::string text;
    const char* reason;
  } kCases[] = {
      {"", "empty"},
      {"SCRCARD 2\n", "\"SCRCARD 1\" expected"},
      {good.substr(0, good.size() - 1), "not ended by a line break"},
      {"SCRCARD 1\nhole 1 4 1 400 380 350 300\n", "hole 2 is missing"},
      {good + "hole 1 4 1 400 380 350 300\n", "hole 1 given twice"},
      {"SCRCARD 1\nhole 1 9 1 400 380 350 300\nhole 2 4 2 1 1 1 1\n", "par must be 3 to 6"},
      {"SCRCARD 1\nhole 1 4 1 400 380 350 300\nhole 2 4 1 1 1 1 1\n", "share a stroke index"},
      {"SCRCARD 1\nhole 3 4 1 400 380 350 300\n", "hole must be"},
      {"SCRCARD 1\nhole 1 4 1 4000 380 350 300\n", "yardages must be 0 to 999"},
      {good + "rating 1 2 3\n", "rating must be given once"},
      {"SCRCARD 1\nrating 1.2345 1 1 1\n", "ratings must be"},
      {"SCRCARD 1\ntee 1\n", "unknown key \"tee\""},
      {std::string("SCRCARD 1\nhole 1 4 1 400 380 350 30\x01\n"), "not printable"},
      {std::string(70000, '#'), "longer than"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.reason);
    CourseCard card;
    card.par[0] = 77;
    std::string error;
    EXPECT_FALSE(ParseScoreCard(Bytes(c.text), c.text.size(), 2, card, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(card.par[0], 77) << "a refused card leaves the output alone";
  }
}

TEST(DiskFileTest, ReadsLabelAndArchives) {
  const std::string text = "DISK 1\nlabel SEDGE_1\narchive SEDGEFEN.viv\narchive MORE.viv\n";
  CourseDisk disk;
  std::string error;
  ASSERT_TRUE(ParseDiskFile(Bytes(text), text.size(), disk, error)) << error;
  EXPECT_EQ(disk.label, "SEDGE_1");
  EXPECT_EQ(disk.archives, (std::vector<std::string>{"SEDGEFEN.viv", "MORE.viv"}));
  const struct {
    std::string text;
    const char* reason;
  } kCases[] = {
      {"DISK 1\narchive ..\\WINDOWS\\x\n", "archive must name a file"},
      {"DISK 1\narchive .hidden\n", "archive must name a file"},
      {"DISK 1\nlabel A\nlabel B\n", "label must be given once"},
      {"DISK 1\nlabel TWELVECHARSX\n", "label must be given once"},
      {"DISK 1\narchive a\narchive b\narchive c\narchive d\narchive e\narchive f\narchive g\narchive h\narchive i\n",
       "more than 8 archives"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.reason);
    EXPECT_FALSE(ParseDiskFile(Bytes(c.text), c.text.size(), disk, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(CourseDescriptionTest, ReadsEveryKey) {
  const std::string text =
      "COURSEHNF 1\nshapes course.fsh\npalette pal0\nsky 1 1 1\ntexture 0 t000\ntexture 28 t028\n"
      "object 92 o092 o093 2.5 1 2 flag\nhorizon h000 h001 5 9\nskytop s000\nskybottom b000\nwater 12\n"
      "outofbounds 9 10\nnotoutofbounds 3\nnogrid 5\nwaterlike 12 13\nlie 12 Marsh reeds\nreflection a0b0c0\n"
      "horizonscale 1.5\nstream 3 4 8\nwaterpalettes w000 w001 w002\n";
  CourseDescription d;
  std::string error;
  ASSERT_TRUE(ParseCourseDescription(Bytes(text), text.size(), d, error)) << error;
  EXPECT_EQ(d.shapes, "course.fsh");
  EXPECT_EQ(d.skyKind, 1);
  EXPECT_TRUE(d.skyDome && d.keyedSky);
  EXPECT_EQ(d.textures[28], "t028");
  ASSERT_EQ(d.objects.size(), 1u);
  EXPECT_EQ(d.objects[0].alternate, "o093");
  EXPECT_DOUBLE_EQ(d.objects[0].height, 2.5);
  EXPECT_EQ(d.objects[0].forward, 2);
  ASSERT_EQ(d.horizon.size(), 1u);
  EXPECT_EQ(d.horizon[0].second, "h001");
  EXPECT_EQ(d.horizon[0].surface, 5);
  EXPECT_EQ(d.water, 12);
  EXPECT_EQ(d.outOfBounds[1], 10);
  EXPECT_EQ(d.lieNames[12], "Marsh reeds");
  EXPECT_EQ(d.reflection, 0xA0B0C0u);
  EXPECT_TRUE(d.streams[3] && d.streams[4] && d.streams[8]);
  EXPECT_FALSE(d.streams[1]);
  EXPECT_EQ(d.waterPalettes[2], "w002");
}

TEST(CourseDescriptionTest, RefusesDamagedDescriptionsWithTheReason) {
  const std::string head = "COURSEHNF 1\nshapes course.fsh\npalette pal0\n";
  std::string thirteen;
  for (int p = 0; p < 13; ++p) thirteen += "horizon h000 - 4 8\n";
  const struct {
    std::string text;
    const char* reason;
  } kCases[] = {
      {"COURSEHNF 1\npalette pal0\n", "no shapes line"},
      {"COURSEHNF 1\nshapes a.fsh\n", "no palette line"},
      {head + "shapes b.fsh\n", "shapes given twice"},
      {head + "palette toolong\n", "palette given twice"},
      {head + "texture 29 t029\n", "texture must be"},
      {head + "texture 1 t001\ntexture 1 t002\n", "texture 1 given twice"},
      {head + "object 0 o000 - 1.0 0 0 nothing\n", "object must be"},
      {head + "object 5 o005 - 0.0 0 0 flat\n", "object must be"},
      {head + "object 5 o005 - 5.0 16 0 wide\n", "object must be"},
      {head + "object 5 o005 - 5.0 1 1 a\nobject 5 o006 - 5.0 1 1 b\n", "object type 5 given twice"},
      {head + thirteen, "more than 12 horizon pieces"},
      {head + "sky 2 1 0\n", "a sky dome needs"},
      {head + "water 16\n", "water must be a surface code"},
      {head + "lie 3 A name far too long\n", "at most 15 characters"},
      {head + "reflection 12345G\n", "reflection must be 6 hexadecimal digits"},
      {head + "horizonscale 11\n", "horizonscale must be"},
      {head + "stream 3 29\n", "stream must name textures"},
      {head + "waterpalettes w000 w001\n", "waterpalettes must name three"},
      {head + "fog 1\n", "unknown key \"fog\""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.reason);
    CourseDescription d;
    std::string error;
    EXPECT_FALSE(ParseCourseDescription(Bytes(c.text), c.text.size(), d, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(GalleryFileTest, ReadsCamerasAndRefusesBadLines) {
  const std::string text = "GALLERY 1\ncamera 1 -12.5 30.0 6.0\ncamera 18 0 0 0\ncamera 1 1 2 3\n";
  GalleryTable table;
  std::string error;
  ASSERT_TRUE(ParseGalleryFile(Bytes(text), text.size(), table, error)) << error;
  ASSERT_EQ(table[0].size(), 2u);
  EXPECT_FLOAT_EQ(table[0][0].x, -12.5f);
  EXPECT_EQ(table[17].size(), 1u);
  std::string many = "GALLERY 1\n";
  for (int k = 0; k < 17; ++k) many += "camera 2 1 1 1\n";
  const struct {
    std::string text;
    const char* reason;
  } kCases[] = {
      {"GALLERY 1\ncamera 19 0 0 0\n", "camera must be"},
      {"GALLERY 1\ncamera 1 9000 0 0\n", "camera must be"},
      {"GALLERY 1\ncamera 1 0 0\n", "camera must be"},
      {"GALLERY 1\nmount 1 0 0 0\n", "unknown key"},
      {many, "more than 16 cameras"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.reason);
    EXPECT_FALSE(ParseGalleryFile(Bytes(c.text), c.text.size(), table, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(HoleHeaderFileTest, ReadsValuesAndRefusesBadLines) {
  const std::string text = "HOLEHDR 1\nflags 1\nground 5 9\nhorizon -2.5\ntarget 1.5 -20 3\ndetail 40 90.5 180\ndepthoverride 1\nglint 2\n";
  HoleSceneHeader h;
  std::string error;
  ASSERT_TRUE(ParseHoleHeaderFile(Bytes(text), text.size(), h, error)) << error;
  EXPECT_EQ(h.flags, 1u);
  EXPECT_EQ(h.defaultSurface, 0x50);
  EXPECT_EQ(h.defaultShade, 9);
  EXPECT_EQ(h.horizonHeight, -(5 << 15));
  EXPECT_FLOAT_EQ(h.target[1], -20.0f);
  EXPECT_EQ(h.minDetail[1], static_cast<int32_t>(90.5 * 65536));
  EXPECT_EQ(h.depthOverride, 1u);
  EXPECT_EQ(h.glint, 2);
  const struct {
    std::string text;
    const char* reason;
  } kCases[] = {
      {"HOLEHDR 1\nflags 70000\n", "flags must be"},
      {"HOLEHDR 1\nflags 1\nflags 1\n", "flags given twice"},
      {"HOLEHDR 1\nground 16 0\n", "ground must be"},
      {"HOLEHDR 1\nhorizon 1e9\n", "horizon must be"},
      {"HOLEHDR 1\ndetail 1 2\n", "detail must be"},
      {"HOLEHDR 1\ndepthoverride 2\n", "depthoverride must be"},
      {"HOLEHDR 1\nglint 4\n", "glint must be"},
      {"HOLE 1\n", "\"HOLEHDR 1\" expected"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.reason);
    EXPECT_FALSE(ParseHoleHeaderFile(Bytes(c.text), c.text.size(), h, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

}  // namespace
