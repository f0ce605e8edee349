// The announcer's commentary lines of the demo installation: every clip name the game asks for, grouped into
// families that share one spoken line (a family's variants are the same recording under each variant's name).
#pragma once

#include <string>
#include <vector>

namespace mkdemo {

struct SpokenFamily {
  std::string folder;              // below the installation's root, '|' between the parts (e.g. "data|sounds|preshot")
  std::vector<std::string> files;  // clip names, lower case, without ".pat"
  std::string text;                // what the announcer says
};

// The families; `holes` of the demo course get their introductions.
std::vector<SpokenFamily> CommentaryFamilies(int holes);

}  // namespace mkdemo
