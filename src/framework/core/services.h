// The one seam through which a lower layer calls a higher one: one small interface per provider, each with a null
// implementation that keeps the framework's own minimal behaviour, all held by one `Services` object whose members are
// never null. Each layer installs its real providers through one install function in its own folder (called in order by
// the program's entry point); tests build a `Services` of fakes. The facts several layers read (screen size, active
// flag, ...) live in `Facts()` below. See docs/services.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/memmgr.h"
#include "framework/core/utils.h"
#include "windows.h"

struct PathRecord;
struct GolferInPlay;
struct ObjectImage;
struct WindowDesc;
struct PositionBlock;
struct GolfViewPlacement;
class CTourneyDlg;
struct playerInfo_s;

// Every provider names itself for the start-up log; the null ones say "null".
class Provider {
 public:
  virtual ~Provider() = default;
  virtual const char* Name() const { return "null"; }
};

// The game object (golf).
class GameProvider : public Provider {
 public:
  virtual int CreateGame(int mode);  // 1 when a game exists afterwards
  virtual void DeleteGame() {}
  virtual bool GameExists() { return false; }
  virtual bool GamePaused() { return false; }
  virtual void HandleMessage(uint32_t /*message*/, uintptr_t /*wParam*/, intptr_t /*lParam*/) {}
  virtual bool RoundInProgress() { return false; }
  virtual void SetRoundPaused(bool /*paused*/) {}
  virtual void EndRoundAndSave(PathRecord* /*root*/) {}  // ends the round, saves golfers and "LastGame.dat"
  virtual void SetInstallRoot(const PathRecord& /*root*/) {}  // golfer files live in its "Players" folder
  virtual bool GameFileWritten() { return false; }
  virtual int LoadGameFile(PathRecord* /*root*/, const char* /*name*/) { return 0; }  // 0 loaded, 5 older format
  virtual const char* CurrentCourseFolder() { return ""; }                            // never null
  // Makes the remembered course the game's course when it is still installed, else the first installed one.
  virtual void SetDefaultCourse() {}
  // Saves the last shot as a saved-shot file with the comment: the file's name, "" when none was saved.
  virtual std::string SaveShot(const std::string& /*comment*/) { return {}; }
  // Plays a saved-shot file back in a highlight game made current: 0, 2 no game could be made, 8 the shot cannot be
  // played. The front end's highlights screen opens when it ends.
  virtual int PlayHighlightShot(const std::string& /*fileName*/) { return 2; }
  // The current game's saved state as bytes (0, else an error code: no game) and a saved state made current
  // (0 loaded, 5 older format, 2 damaged: the current game stays). The saved-game files hold these bytes.
  virtual int SaveGameState(std::vector<uint8_t>& /*out*/) { return 1; }
  virtual int LoadGameState(const uint8_t* /*data*/, size_t /*size*/) { return 2; }
  // The golfers of the game's player slots that are in play, at most `max`.
  virtual int GolfersInPlay(GolferInPlay* /*out*/, int /*max*/) { return 0; }
  // The argument of the golf message posted for a peer's message: `body` follows the message's code, `plain` is what
  // goes without the game's records (the message's own address or the sender id). kPeerRefused: not posted.
  static constexpr intptr_t kPeerRefused = -1;
  virtual intptr_t PeerArgument(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes, intptr_t plain);
  // Gives back an argument made by PeerArgument that could not be posted.
  virtual void ReleasePeerArgument(intptr_t /*argument*/) {}
  virtual void FreeComputerGolferTables() {}  // at shutdown
};

// The software renderer's state as the graphic records' scratch images read it.
struct SoftwareRenderState {
  uint8_t renderer = 0;
  uint8_t mode = 0;
  int32_t count = 0;
};

// The 3D scene: render start-up, movies, object images, golfer models and the scene's random numbers.
class SceneProvider : public Provider {
 public:
  virtual int StartRenderSystem(int /*software*/, int /*preferDirect3D*/) { return 0; }  // 1 when hardware came up
  virtual bool Is3dfx() { return false; }  // the back end that came up is the 3dfx one
  virtual void PrepareHole(uint32_t /*seed*/) {}  // the hole's seed and textures, before its first shot
  // Set-up once the window is open: depth bands, then the hardware back end's static buffers or the software
  // renderer's row and span pointer tables.
  virtual void InitDepthBands() {}
  virtual void InitStaticRenderBuffers() {}
  virtual void InitRenderPointerTables() {}
  // After the display was given back or its mode changed (hardware back end).
  virtual void SetDefaultRenderStates() {}
  virtual bool TextureCacheActive() { return false; }
  virtual void ResetTextureCache() {}
  virtual void ReloadPackedTextures() {}
  virtual void FreeBreakLineBuffer() {}  // at shutdown
  virtual bool SceneActive() { return false; }               // the game shows its 3D scene (key filter)
  virtual int PlayMovie(const char* /*name*/) { return 0; }  // 1 when played to its end
  // The shot just recorded, as the scene animates it over the view drawn from where it was played: the golfer's
  // swing, then at impact the ball and its shadow along the recording; the flag waves meanwhile. False when the
  // scene has nothing to animate (the caller plays the shot back itself).
  virtual bool StartShotAnimations() { return false; }
  // One pass of the animation list at `now` (ms): 0, or the code of an animation that failed.
  virtual int UpdateSceneAnimations(uint32_t /*now*/) { return 0; }
  virtual bool AnyAnimationRunning() { return false; }
  virtual void SetAnimationListMark(int /*skip*/) {}  // the player asks to skip what is running
  virtual void EndShotAnimations() {}
  virtual void AssignGolferModels() {}                       // the fallback to substitute animations
  virtual void ReleaseHoleScene() {}
  // The game placed the main golf view for a shot (where it stands, what it faces, the camera offsets).
  virtual void PlaceGolfView(const GolfViewPlacement& /*placement*/) {}
  // Draws the game's main golf view into the view image and onto the display buffer, leaving alone the pixels whose
  // overlay bit 15 is clear; false when nothing was drawn (no hole loaded, or no scene).
  virtual bool DrawGolfView() { return false; }
  // The scene's picture and the overlay image, both of the display buffer's size (empty before the first draw); the
  // in-round interface clears bit 15 of the overlay where it draws over the view and sets it again when it goes.
  virtual Image16 GolfViewImage() { return Image16{nullptr, 0, 0, 0}; }
  virtual Image16 GolfViewOverlay() { return Image16{nullptr, 0, 0, 0}; }
  // A whole shape file in a memory handle, 0 when it cannot be read (null: through the archive-or-disk access).
  virtual MemHandle LoadShapeFile(PathRecord* folder, const char* name);
  // `depth` 16 or 32; width and height 0 make an empty image that draws resize (null: plain memory images).
  virtual ObjectImage* CreateObjectImage(int32_t width, int32_t height, int32_t depth);
  virtual void FreeObjectImage(ObjectImage* image);
  virtual SoftwareRenderState SoftwareRender() { return {}; }
  // A pseudo-random number from 0 to 32767 and its seed.
  virtual int Random15();
  // A pseudo-random number from 0 to 2^31 - 1 (null: built from three Random15 values).
  virtual uint32_t Random31();
  virtual void SeedRandom15(uint32_t seed) { random_ = seed; }

 private:
  uint32_t random_ = 1;
};

// The in-round interface.
class RoundInterfaceProvider : public Provider {
 public:
  virtual void SetHoleScreen(int /*gameMode*/) {}  // a hole has loaded: the round's screen for the mode
  virtual void UpdateInterface() {}                // the golfer to play is shown (0x70b)
  virtual void ShowTip() {}                        // after a shot's result (0x720)
  // Input routers. OnKeyUp is true when the interface took the key (else Escape ends the program); OnIdle is true when
  // it drew the pass (else the framework refreshes the empty screen).
  virtual void OnKeyPress(uint32_t /*code*/) {}
  virtual bool OnKeyUp(uint32_t /*code*/) { return false; }
  virtual void OnPointerPress(int32_t /*x*/, int32_t /*y*/, uint32_t /*flags*/) {}
  virtual void OnPointerRelease(int32_t /*x*/, int32_t /*y*/, uint32_t /*button*/) {}
  virtual bool OnIdle() { return false; }
  // The recorded shot `elapsed` ms into its play-back: the ball's position and its event bytes (lie and flags);
  // `ended` once the recording's time has passed. False when no shot is recorded.
  virtual bool SampleShotReplay(uint32_t /*elapsed*/, float* /*position3*/, uint8_t* /*event25*/, bool* /*ended*/) {
    return false;
  }
  // Frame n of the recorded shot (its time in ms from the recording's start, the ball's position and event bytes);
  // false past the last frame or when no shot is recorded.
  virtual bool ShotReplayFrame(int /*n*/, uint32_t* /*time*/, float* /*position3*/, uint8_t* /*event25*/) {
    return false;
  }
  // The in-round shape file n (0 ball sprites, 1 shadow sprites, 2 ball sprites in rough, 4 the hardware ball
  // texture), 0 when not loaded.
  virtual MemHandle GameUIShape(uint32_t /*n*/) { return 0; }
  // The shot's animations play again after it (the after-shot replay), not as the shot is played.
  virtual bool ReplayingShot() { return false; }
  virtual void ShowMessage(const std::string& /*text*/, uint32_t /*ms*/) {}
  virtual void ShowScoreCard(int /*flag*/) {}
  // The shoot-out's standing after a hole; true when the interface showed it and sent the round on itself (0x723,
  // or 0x715 once the game is decided), false when the game must.
  virtual bool ShowShootoutStatus() { return false; }
  // The same for the match (match play, four-ball, foursomes) and the skins game, between holes and at the end.
  virtual bool ShowMatchPlayStatus() { return false; }
  virtual bool ShowSkinsStatus() { return false; }
  // The tournament's leader board in the front end's standings dialog: column heads and a page of rows.
  virtual void DrawStandings(CTourneyDlg& /*dialog*/) {}
  // The round's score card with its top left at (x, y): a nine, strokes or putts (the front end's card dialog).
  virtual void DrawScoreCard(int32_t /*x*/, int32_t /*y*/, bool /*frontNine*/, bool /*putts*/) {}
  // The statistics page of the golfer in a player slot, in the selected font (the front end's statistics dialog).
  virtual void DrawPlayerStats(int /*slot*/, int32_t /*x*/, int32_t /*y*/, int32_t /*lineHeight*/) {}
  // A golfer's career statistics as the statistics page's lines of text ("" without the interface).
  virtual std::string PlayerStatsText(playerInfo_s& /*golfer*/) { return {}; }
  virtual void RestartShotClock() {}
  virtual void RemoteMessage(uint32_t /*id*/, void* /*block*/) {}  // 0x711, 0x71d-0x720, 0x730
  virtual void ChatLine(const std::string& /*text*/) {}
  virtual void PersonShot() {}  // a person's shot begins: the interface takes the swing
  virtual void ResetTips() {}
  virtual void HoleReleased() {}  // the hole's resources are released: the interface is torn down
  // True when the interface ends every shot: once the ball is at rest BeginAfterShot asks what happens next, and
  // the golfer's choice counts the stroke and any penalty and posts 0x71c. False: the golf library counts the shot
  // and goes on at once.
  virtual bool CountsShots() { return false; }
  virtual void BeginAfterShot() {}
  // What the announcer reads of the shot in hand: the targeting arc's landing point (false: no arc), the meter's
  // power (1 full) and whether the last swing was a mishit.
  virtual bool ArcLandingPoint(float* /*x*/, float* /*y*/, float* /*height*/) { return false; }
  virtual float MeterPower() { return 1.0f; }
  // The meter's swing of the shot in hand: its final power (1 full) and final curve; false without a meter.
  virtual bool MeterSwing(float* /*power*/, float* /*curve*/) { return false; }
  virtual bool SwingMishit() { return false; }
  // The interface's shape n (0-29) as loaded, 0 when it is not; the front end's swing calibration panel draws
  // from shapes 25 and 26.
  virtual MemHandle InterfaceShape(uint32_t /*n*/) { return 0; }
};

// The front end's shell animation, as far as the pointer uses it.
class ShellAnim {
 public:
  virtual ~ShellAnim() = default;
  virtual void Start() = 0;
  virtual void Stop(int erase) = 0;
  virtual void SetPosition(int32_t x, int32_t y) = 0;  // y unchanged when -1
  virtual void Draw() = 0;                             // into the current drawing window
};

// The front end: menus, dialogs, the busy pointer and what the framework's UI borrows from it.
class FrontEndProvider : public Provider {
 public:
  virtual int StartFrontEnd(int how);  // 0 when it opened
  virtual void BeginPlay(int /*how*/) {}
  virtual void DispatchControlFire(uintptr_t /*wParam*/, intptr_t /*lParam*/) {}
  // A modal message with one or two buttons; 0 confirmed, 27 cancelled.
  virtual int ShowMessageDialog(const char* text, int twoButtons);
  // A question with the buttons "No", "Cancel" and "Ok": 1 Ok, 2 No, 0 Cancel or Escape (null: Cancel).
  virtual int AskThreeWay(const char* /*text*/) { return 0; }
  // A dialog the round's settings open (RoundDialog): non-zero when its change needs the round's screen built
  // again (null: none is shown, nothing changes).
  virtual int ShowRoundDialog(int /*which*/) { return 0; }
  // A modal notice with one OK button, not shown while dialogs are suppressed; the button chosen (1).
  virtual int ShowNotice(const std::string& text);
  // The same notice, closing by itself after `timeoutMs` (null: as ShowNotice).
  virtual int ShowTimedNotice(const std::string& text, uint32_t /*timeoutMs*/) { return ShowNotice(text); }
  virtual bool DialogsSuppressed() { return suppressed_; }
  virtual void SuppressDialogs(bool on) { suppressed_ = on; }
  virtual void SetBusy(bool on) { busy_ = on; }
  virtual bool IsBusy() { return busy_; }
  virtual void RedrawFrontEnd() {}
  // A hole is about to load: the screen at the round's size and its video mode set up (with a hardware back end
  // the texture cache and the default render states, fog at the stored level).
  virtual void SetRoundScreen() {}
  virtual bool InDemoState() { return false; }
  virtual void LoadDctBackground(PathRecord* /*folder*/, const char* /*name*/) {}
  virtual void ReturnToFrontEnd() {}
  virtual void ShowHighlightsScreen() {}  // a highlight replay has ended
  // The tournament standings dialog: notice (0 none, 1 playoff, 2 another playoff hole), page kind (0 round in progress,
  // 1 round results, 2 final results) and the seconds after which it closes by itself (0 never).
  virtual void ShowTourneyStandings(int /*notice*/, int /*kind*/, int /*delaySeconds*/) {}
  // The score card dialog: layout 0 until "Exit" (3) or Escape (0), 1 drawn once and left on the screen (3).
  virtual int ShowScoreCardDialog(int /*layout*/) { return 0; }
  // The error box of a game routine (code, source name, line) and the screen made ready for a dialog.
  virtual void ErrorBox(int /*code*/, const char* /*source*/, int /*line*/) {}
  virtual void PrepareForDialog() {}
  virtual void DeleteCurrentScreen() {}  // at shutdown
  // Runs on every open, read and line of the framework's file reading: the busy-pointer animation.
  virtual void AnimatePointer() {}
  // A whole file into a new movable handle; 0 when it cannot be found or read (null: read from disk).
  virtual MemHandle LoadFileToHandle(const char* folder, const char* name, uint32_t flags);
  // The animation of a shape file in the front-end archive, or one over the frames another animation owns (file null,
  // `frames` that animation). Null on failure (null provider: a plain built-in arrow).
  virtual ShellAnim* MakeShellAnim(const char* file, ShellAnim* frames, int a, int b, int c, int d);
  // The darkened frame round a rectangle in `target`; gives the area drawn, which the caller marks for the screen (null
  // provider: a plain black frame).
  virtual MARect DrawShadowFrame(const MARect& rect, int32_t width, WindowDesc* target);
  // Input and the idle pass of the front end's current screen or dialog: true when one is up and took it (else the
  // round interface is offered it).
  virtual bool ScreenKeyPress(uint32_t /*code*/) { return false; }
  virtual bool ScreenKeyUp(uint32_t /*code*/) { return false; }
  virtual bool ScreenPointerPress(int32_t /*x*/, int32_t /*y*/, uint32_t /*flags*/) { return false; }
  virtual bool ScreenPointerRelease(int32_t /*x*/, int32_t /*y*/, uint32_t /*button*/) { return false; }
  virtual bool ScreenIdle() { return false; }

 private:
  bool suppressed_ = false;
  bool busy_ = false;
};

// The dialogs of the round's settings, as ShowRoundDialog names them.
enum RoundDialog : int {
  kDialogHoleOverview = 1,
  kDialogRotateView,
  kDialogCameraPosition,
  kDialogPlayerSettings,
  kDialogScreenLayout,
  kDialogCalibration,
  kDialogSoundOptions,
};

// The game's sound layer.
class SoundProvider : public Provider {
 public:
  virtual void PreShotCommentary() {}  // a turn's shot begins (0x70d)
  // The shot has been flown to rest (its lines are queued), its replay begins (the golfer's cue) and has ended
  // (the crowd answers and the queued lines are spoken).
  virtual void ShotFlown() {}
  virtual void ShotReplayStarts() {}
  virtual void ShotReplayEnded(bool /*holed*/) {}
  virtual void StartSound() {}
  virtual void LoadGameSounds() {}
  virtual void FreeGameSounds() {}
  virtual void StopSound() {}
  virtual void ReloadSounds() {}  // on regaining the screen: running again, every sound reloaded
  virtual void Update() {}  // runs on each pass of a wait for the disk
  // Click and menu sounds: a handle to ask about, 0 when nothing plays (null: silent).
  virtual uint32_t PlaySample(const char* /*name*/) { return 0; }
  virtual uint32_t PlayMenuSound(int /*index*/) { return 0; }
  // An effect sample by name at a volume (0-127): its handle, 0 when nothing plays.
  virtual uint32_t PlayEffect(const char* /*name*/, int /*volume*/) { return 0; }
  virtual bool IsPlaying(uint32_t /*handle*/) { return false; }
  virtual void StartMenuSounds() {}
  virtual void FadeMenuSounds() {}
  virtual void StartClubhouseSounds() {}  // the network screens' ambience
  // A hole has loaded: the round's wind (by the golfer's wind setting, 0 to 2) and ambience; the game ends.
  virtual void StartRoundSounds(int /*windSetting*/) {}
  virtual void StopRoundSounds() {}
  virtual void GameDiscLocated() {}  // the game-disc search found the disc
  // CD music: whether the game's own music disc is in the drive (1 looks again, 0 gives the last answer), music
  // started or stopped by the sound settings, and stopped.
  virtual int CheckMusicDisc(int /*look*/) { return 0; }
  virtual void RefreshMusic() {}
  virtual void StopMusic() {}
  // A tip's movie is about to play with its own sound track: nothing of the game's may talk over it.
  virtual void StopTipSound() {}
  // Voice chat borrows the sound hardware for the wave devices: true when it was given up (taken back) now.
  virtual bool ReleaseHardware() { return false; }
  virtual bool ObtainHardware() { return false; }
  // A sound over a sample image in memory (the 36-byte sample header, then the samples) that the caller keeps
  // until the sound is freed: its handle, 0 when it cannot play. Any thread may call these.
  virtual uint32_t PlayImage(const void* /*image*/, uint32_t /*bytes*/) { return 0; }
  virtual bool ImagePlaying(uint32_t /*handle*/) { return false; }
  virtual void StopImage(uint32_t /*handle*/) {}
  virtual void FreeImage(uint32_t /*handle*/) {}
};

// Network play: the comm layer, the session and the voice object.
class NetworkProvider : public Provider {
 public:
  virtual void Send(int /*machine*/, uint32_t /*id*/, uint32_t /*argument*/) {}  // machine -1: every peer
  virtual void SendPosition(int /*machine*/, const PositionBlock& /*position*/) {}
  virtual void SendBlock(int /*machine*/, uint32_t /*id*/, const void* /*data*/, size_t /*bytes*/) {}
  virtual void DropPeer(uint32_t /*machine*/) {}
  virtual uint32_t LocalMachineId() { return 0; }
  virtual void SetCourseName(const std::string& /*name*/) {}
  virtual void CloseComm() {}
  virtual int CommType() { return -1; }  // 0 online server, 1 TCP/IP, 2 IPX, 3 and 4 modem; -1 none
  // The session manager's send (receiver id, message code, second code).
  virtual void SessionSend(uint32_t /*receiver*/, uint32_t /*code*/, uint32_t /*second*/) {}
  virtual bool VoiceExists() { return false; }
  virtual void VoiceStoreReceived(const uint8_t* /*message*/, uint32_t /*length*/, int32_t /*count*/) {}
  virtual void SetVoiceSuspended(bool /*suspended*/) {}
  // The ids of the other players of the network game, at most `max` (the recipients of a voice message).
  virtual int PeerIds(uint32_t* /*out*/, int /*max*/) { return 0; }
  // A voice recording for 1 to 8 players: false when none starts (no voice, suspended, one already recording, a
  // bad count). The recorder calls `progress` from its own thread: 0 twice at the start, 0 about once a second,
  // 1 when the recording stops.
  using VoiceProgress = void (*)(int finished);
  virtual bool VoiceStartRecording(const uint32_t* /*ids*/, int /*count*/, VoiceProgress /*progress*/) {
    return false;
  }
  // The recording stops and is sent; a cancelled one sends nothing (returns once the recorder has seen it).
  virtual void VoiceFinishRecording() {}
  virtual void VoiceCancelRecording() {}
  // The online tournament's reports to the score server (only on the online connection): a golfer's hole once
  // every golfer has holed out, a shot of this machine's golfer (its own record, docs/online.md), and the
  // statistics lines that open and close a game.
  virtual void ReportTournamentHole(const std::string& /*golfer*/, int /*round*/, int /*hole*/, int /*strokes*/) {}
  virtual void ReportTournamentShot(const std::string& /*golfer*/, int /*hole*/, int /*stroke*/, const void* /*data*/,
                                    size_t /*bytes*/) {}
  virtual void PostStatsLine(const std::string& /*line*/) {}
};

// Preference ids used by the start-up.
constexpr int kPref3DEnable = 0;
constexpr int kPrefResolution = 7;
constexpr int kPrefLaunchTime = 9;
constexpr int kPrefLaunching = 10;

// The preference store: 0 when read or written (null: the start-up's own values in the registry).
class PreferencesProvider : public Provider {
 public:
  virtual int Get(int id, int32_t* value);
  virtual int Set(int id, int32_t value);
  // The preferences file lives in the installation's root folder.
  virtual void InitFile(const PathRecord& /*root*/) {}
  virtual void SaveFile() {}
};

// The course catalogue and golfer roster.
class CourseCatalogueProvider : public Provider {
 public:
  virtual void InitGolferRoster() {}
  virtual int CreateCourseList() { return 0; }  // 0 on success, else an error code
  // Scans the courses below the installation's root, then below the game disc's root (null: no disc).
  virtual void BuildCourseList(const PathRecord& /*root*/, const PathRecord* /*disc*/) {}
  virtual int CourseCount() { return -1; }  // -1 without a catalogue: the framework counts course folders
  virtual void FreeCourseList() {}
  virtual void FreeShotList() {}  // the saved shots, at shutdown
  virtual bool SetCurrentCourse() { return true; }  // true when the current course could be made current
  virtual const char* CurrentCourseDataFile() { return nullptr; }  // null: none beyond COURSE.DAT
  virtual const char* CurrentCourseDisc() { return ""; }           // disc name from the catalogue entry
  virtual int HolePar(int /*hole*/) { return 4; }
  virtual int HoleStrokeIndex(int hole) { return hole + 1; }  // 1 the hardest hole
  // The hole's file name for round and hole; "" when unknown.
  virtual std::string HoleFile(int /*round*/, int /*hole*/) { return {}; }
};

// The installed providers; no member is ever null.
struct Services {
  GameProvider* game;
  SceneProvider* scene;
  RoundInterfaceProvider* round;
  FrontEndProvider* frontEnd;
  SoundProvider* sound;
  NetworkProvider* network;
  PreferencesProvider* preferences;
  CourseCatalogueProvider* catalogue;

  // Every member the null provider.
  Services();
};

// The installed set. Layers' install functions set their own members; tests install a whole set of fakes.
Services& Svc();
// Installs the whole set; a member left null gets the null provider.
void InstallServices(const Services& providers);
// Puts the null providers back (tests).
void ResetServices();

// Installs `providers` for a scope and puts the previous ones back after it (tests).
class ScopedServices {
 public:
  explicit ScopedServices(const Services& providers);
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services saved_;
};

// One log line per provider: its name, "null" when none is installed.
void LogServices();

// The facts several layers read, kept by the layer that knows them.
struct SharedFacts {
  int32_t screenWidth = 640, screenHeight = 480;
  int32_t sizeSetting = 0;      // 0 = 640 x 480 ... 4 = 1600 x 1200
  int32_t appActive = 1;        // the application has the screen
  int32_t hardwareDisplay = 0;  // the display runs through a hardware render module (3D hardware)
  HWND mainWindow = nullptr;    // window whose input the polling routines remove (null: any of the thread)
  HWND queueWindow = nullptr;   // owner of the framework's own message boxes
  const char* fontFolder = "";  // where the standard and help fonts are read from
  const char* dataFolder = "";  // the installation's DATA folder (the scene's animation files)
  const char* gameServer = "";  // the online lobby server's host ("/GS"; "" the service's own)
  // The game disc's root folder when the disc is in a drive (null: never a disc).
  bool (*gameDiscFolder)(PathRecord* root) = nullptr;
};
SharedFacts& Facts();
