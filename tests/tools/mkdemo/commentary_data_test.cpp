// The demo installation's commentary: each name the announcer asks for (as the game spells it, in lower case as
// clip files are looked up) belongs to a spoken family in the folder the game reads it from.
#include <gtest/gtest.h>

#include <string>

#include "commentary.h"
#include "course/roster.h"

namespace {

bool HasClip(const std::vector<mkdemo::SpokenFamily>& families, const std::string& folder, const std::string& name) {
  for (const mkdemo::SpokenFamily& f : families)
    if (f.folder == folder)
      for (const std::string& file : f.files)
        if (file == name) return true;
  return false;
}

TEST(DemoCommentary, EveryKindOfNameTheAnnouncerAsksForHasAClip) {
  const std::vector<mkdemo::SpokenFamily> families = mkdemo::CommentaryFamilies(18);
  const struct {
    const char* folder;
    const char* name;
  } names[] = {
      {"data|sounds|puttcomm", "pmhf053"},   {"data|sounds|puttcomm", "amaaa_21"},
      {"data|sounds|puttcomm", "amr5a_21"},  {"data|sounds|puttcomm", "amaay041"},
      {"data|sounds|puttcomm", "am12a001"},  {"data|sounds|puttcomm", "apg1pu3"},
      {"data|sounds|preshot", "dormh15"},    {"data|sounds|preshot", "dormie1"},
      {"data|sounds|preshot", "mat1h172"},   {"data|sounds|preshot", "ptalwin4"},
      {"data|sounds|preshot", "pfwsho72"},   {"data|sounds|preshot", "ptee183"},
      {"data|sounds|teehaz", "at4p2809"},    {"data|sounds|teehaz", "sand07"},
      {"data|sounds|postputt", "ag31007"},   {"data|sounds|postputt", "ag2995"},
      {"data|sounds|putttorn", "at1keep3"},  {"data|sounds|inflight", "fwood3"},
      {"data|courses|sedgefen|sounds", "teeh183"},
  };
  for (const auto& n : names) EXPECT_TRUE(HasClip(families, n.folder, n.name)) << n.folder << " " << n.name;
  // Made-up names are not there, so the lookup can fail.
  EXPECT_FALSE(HasClip(families, "data|sounds|preshot", "pmhf051"));
  EXPECT_FALSE(HasClip(families, "data|sounds|preshot", "dormh19"));
  // Each professional is introduced by its sound code.
  InitGolferRoster();
  const RosterSlot* pro = GolferRosterSlot(4);
  ASSERT_NE(pro, nullptr);
  const std::string intro = std::string(1, static_cast<char>(std::tolower(pro->body[0]))) +
                            static_cast<char>(std::tolower(pro->body[1])) + "intr";
  EXPECT_TRUE(HasClip(families, "data|sounds|pros", intro));
  // A family's files are unique within its folder.
  for (const mkdemo::SpokenFamily& f : families)
    for (const std::string& file : f.files) {
      int seen = 0;
      for (const mkdemo::SpokenFamily& g : families)
        if (g.folder == f.folder)
          for (const std::string& other : g.files) seen += other == file;
      EXPECT_EQ(seen, 1) << f.folder << " " << file;
    }
}

}  // namespace
