// What a golfer is told after a shot (a penalty, the distance left, the score on the hole, the mode's hole result)
// as banners across the view, and keeping a shot for the highlights with a comment.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The score's name by strokes and par: "Hole-In-One", "Double Eagle", "Eagle", "Birdie", "Par", "Bogey",
// "Double Bogey", "Triple Bogey"; "" for any other score.
std::string ShotScoreName(int strokes, int par);

// What the result texts are made from.
struct ShotResultInput {
  bool drivingRange = false;
  bool water = false, outOfBounds = false;
  bool holed = false;
  bool strokeLimit = false;  // reached without holing out
  std::string distanceLeft;  // "152y", as the distance texts write it
  int strokes = 0, par = 4;
  std::string modeResult;    // the mode's hole result line, "" when the hole goes on
};
// The banners in order.
std::vector<std::string> ShotResultTexts(const ShotResultInput& in);

// The mode's hole result line of the current game when its hole is over ("" otherwise). `fits` tells whether a
// line fits the screen's width (four-ball and foursomes fall back to one name).
std::string ModeResultLine(const std::function<bool(const std::string&)>& fits);

// The result texts of the current golfer's shot, shown as banners.
void ShowShotResultText();

// A banner's text in one line, or two when it is wider than `maxWidth`: at its first ':' (the second line starts
// after the colon and the spaces after it), else at the last space that keeps the first line within the width.
std::vector<std::string> SplitBannerText(const std::string& text, int maxWidth, const std::function<int(const std::string&)>& width);

// Draws one banner across the view below those already up (an empty text draws nothing); the screen under the
// banners comes back with EraseResultBanners.
void ShowResultBanner(const std::string& text);
void EraseResultBanners();
// The banners up drawn again where they were, over a view drawn anew.
void RedrawResultBanners();
int ResultBannersShown();
// The banners' texts now up (tests and the log).
const std::vector<std::string>& ResultBannerTexts();
void FreeResultBannerFont();

// Saving the last shot for the highlights: the comment asked with the text input dialog ("No comment" for a blank
// one), the outcome told in a message box. SaveShotWithComment does the same without asking (null: nothing).
// Both give 1 when the shot was saved.
int SaveShotDialog();
int SaveShotWithComment(const char* comment);
// A shot can be saved once: set when the after-shot handler is made and by a drop or re-hit, cleared by a save.
extern bool ShotSavingAllowed;
